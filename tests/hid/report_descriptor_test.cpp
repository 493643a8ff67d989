#include "hid/report_descriptor.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace txisp::hid {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A USB boot keyboard: modifier byte, reserved byte, six key codes in, five
// LEDs out. No feature report.
const Bytes kBootKeyboard = {
    0x05, 0x01,  // Usage Page (Generic Desktop)
    0x09, 0x06,  // Usage (Keyboard)
    0xA1, 0x01,  // Collection (Application)
    0x05, 0x07,  //   Usage Page (Key Codes)
    0x19, 0xE0,  //   Usage Minimum (224)
    0x29, 0xE7,  //   Usage Maximum (231)
    0x15, 0x00,  //   Logical Minimum (0)
    0x25, 0x01,  //   Logical Maximum (1)
    0x75, 0x01,  //   Report Size (1)
    0x95, 0x08,  //   Report Count (8)
    0x81, 0x02,  //   Input (Data, Variable, Absolute): modifiers
    0x95, 0x01,  //   Report Count (1)
    0x75, 0x08,  //   Report Size (8)
    0x81, 0x01,  //   Input (Constant): reserved byte
    0x95, 0x05,  //   Report Count (5)
    0x75, 0x01,  //   Report Size (1)
    0x05, 0x08,  //   Usage Page (LEDs)
    0x19, 0x01,  //   Usage Minimum (1)
    0x29, 0x05,  //   Usage Maximum (5)
    0x91, 0x02,  //   Output (Data, Variable, Absolute): LEDs
    0x95, 0x01,  //   Report Count (1)
    0x75, 0x03,  //   Report Size (3)
    0x91, 0x01,  //   Output (Constant): padding
    0x95, 0x06,  //   Report Count (6)
    0x75, 0x08,  //   Report Size (8)
    0x15, 0x00,  //   Logical Minimum (0)
    0x25, 0x65,  //   Logical Maximum (101)
    0x05, 0x07,  //   Usage Page (Key Codes)
    0x19, 0x00,  //   Usage Minimum (0)
    0x29, 0x65,  //   Usage Maximum (101)
    0x81, 0x00,  //   Input (Data, Array): key codes
    0xC0,        // End Collection
};

// A three-button mouse with a wheel, a physical collection inside the
// application collection.
const Bytes kWheelMouse = {
    0x05, 0x01,  // Usage Page (Generic Desktop)
    0x09, 0x02,  // Usage (Mouse)
    0xA1, 0x01,  // Collection (Application)
    0x09, 0x01,  //   Usage (Pointer)
    0xA1, 0x00,  //   Collection (Physical)
    0x05, 0x09,  //     Usage Page (Button)
    0x19, 0x01,  //     Usage Minimum (1)
    0x29, 0x03,  //     Usage Maximum (3)
    0x15, 0x00,  //     Logical Minimum (0)
    0x25, 0x01,  //     Logical Maximum (1)
    0x95, 0x03,  //     Report Count (3)
    0x75, 0x01,  //     Report Size (1)
    0x81, 0x02,  //     Input (Data, Variable, Absolute): buttons
    0x95, 0x01,  //     Report Count (1)
    0x75, 0x05,  //     Report Size (5)
    0x81, 0x01,  //     Input (Constant): padding
    0x05, 0x01,  //     Usage Page (Generic Desktop)
    0x09, 0x30,  //     Usage (X)
    0x09, 0x31,  //     Usage (Y)
    0x09, 0x38,  //     Usage (Wheel)
    0x15, 0x81,  //     Logical Minimum (-127)
    0x25, 0x7F,  //     Logical Maximum (127)
    0x75, 0x08,  //     Report Size (8)
    0x95, 0x03,  //     Report Count (3)
    0x81, 0x06,  //     Input (Data, Variable, Relative)
    0xC0,        //   End Collection
    0xC0,        // End Collection
};

// The updater's own devices: one vendor-defined feature report without a
// report ID, 8 data bytes.
const Bytes kVendor8 = {
    0x06, 0x00, 0xFF,  // Usage Page (Vendor 0xFF00)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x09, 0x02,        //   Usage (2)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x08,        //   Report Count (8)
    0xB1, 0x02,        //   Feature (Data, Variable, Absolute)
    0xC0,              // End Collection
};

// The same with 64 data bytes.
const Bytes kVendor64 = {
    0x06, 0x00, 0xFF,  // Usage Page (Vendor 0xFF00)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x09, 0x02,        //   Usage (2)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x40,        //   Report Count (64)
    0xB1, 0x02,        //   Feature (Data, Variable, Absolute)
    0xC0,              // End Collection
};

// Report IDs: an 8-byte input report 1, a 64-byte feature report 2 and a
// 16-byte feature report 3. The longest feature report decides the length.
const Bytes kReportIds = {
    0x06, 0x00, 0xFF,  // Usage Page (Vendor 0xFF00)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x75, 0x08,        //   Report Size (8)
    0x85, 0x01,        //   Report ID (1)
    0x95, 0x08,        //   Report Count (8)
    0x09, 0x02,        //   Usage (2)
    0x81, 0x02,        //   Input (Data, Variable, Absolute)
    0x85, 0x02,        //   Report ID (2)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x03,        //   Usage (3)
    0xB1, 0x02,        //   Feature (Data, Variable, Absolute)
    0x85, 0x03,        //   Report ID (3)
    0x95, 0x10,        //   Report Count (16)
    0x09, 0x04,        //   Usage (4)
    0xB1, 0x02,        //   Feature (Data, Variable, Absolute)
    0xC0,              // End Collection
};

// A long item to step over, and Push/Pop around a 16-bit input: the feature
// item after Pop is 64 bytes again, not 4 x 16 bits.
const Bytes kLongItemsAndPushPop = {
    0x06, 0x00, 0xFF,                    // Usage Page (Vendor 0xFF00)
    0x09, 0x01,                          // Usage (1)
    0xA1, 0x01,                          // Collection (Application)
    0xFE, 0x03, 0x10, 0xAA, 0xBB, 0xCC,  //   Long item, tag 0x10, 3 data bytes
    0x75, 0x08,                          //   Report Size (8)
    0x95, 0x40,                          //   Report Count (64)
    0xA4,                                //   Push
    0x75, 0x10,                          //   Report Size (16)
    0x95, 0x04,                          //   Report Count (4)
    0x09, 0x02,                          //   Usage (2)
    0x81, 0x02,                          //   Input (Data, Variable, Absolute)
    0xB4,                                //   Pop
    0xFE, 0x00, 0x11,                    //   Long item, tag 0x11, no data
    0x09, 0x03,                          //   Usage (3)
    0xB1, 0x02,                          //   Feature (Data, Variable, Absolute)
    0xC0,                                // End Collection
};

// Feature fields of odd bit sizes share one report; the report is rounded
// up to whole bytes. 3 + 5 + 12 bits = 20 bits = 3 bytes.
const Bytes kOddBitFeature = {
    0x06, 0x00, 0xFF,  // Usage Page (Vendor 0xFF00)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x75, 0x01,        //   Report Size (1)
    0x95, 0x03,        //   Report Count (3)
    0xB1, 0x02,        //   Feature (Data, Variable, Absolute)
    0x75, 0x05,        //   Report Size (5)
    0x95, 0x01,        //   Report Count (1)
    0xB1, 0x03,        //   Feature (Constant)
    0x75, 0x0C,        //   Report Size (12)
    0xB1, 0x02,        //   Feature (Data, Variable, Absolute)
    0xC0,              // End Collection
};

// A 32-bit usage names its own page: the collection is a Generic Desktop
// mouse although the Usage Page in effect is a vendor page. A second
// top-level collection does not change what the first one says.
const Bytes kExtendedUsage = {
    0x06, 0x00, 0xFF,              // Usage Page (Vendor 0xFF00)
    0x0B, 0x02, 0x00, 0x01, 0x00,  // Usage (Generic Desktop / Mouse, 32-bit)
    0xA1, 0x01,                    // Collection (Application)
    0xC0,                          // End Collection
    0x05, 0x01,                    // Usage Page (Generic Desktop)
    0x09, 0x06,                    // Usage (Keyboard)
    0xA1, 0x01,                    // Collection (Application)
    0xC0,                          // End Collection
};

struct DescriptorCase {
    const char* name;
    const Bytes* descriptor;
    int feature_length;
    int feature_id;
    std::uint16_t usage_page;
    std::uint16_t usage;
};

const DescriptorCase kDescriptorCases[] = {
    {"boot keyboard", &kBootKeyboard, 0, 0, 0x01, 0x06},
    {"wheel mouse", &kWheelMouse, 0, 0, 0x01, 0x02},
    {"vendor, 8-byte feature", &kVendor8, 9, 0, 0xFF00, 0x01},
    {"vendor, 64-byte feature", &kVendor64, 65, 0, 0xFF00, 0x01},
    {"report IDs", &kReportIds, 65, 2, 0xFF00, 0x01},
    {"long items, push and pop", &kLongItemsAndPushPop, 65, 0, 0xFF00, 0x01},
    {"odd bit sizes", &kOddBitFeature, 4, 0, 0xFF00, 0x01},
    {"extended usage", &kExtendedUsage, 0, 0, 0x01, 0x02},
};

TEST(ReportDescriptor, RealDescriptors) {
    for (const auto& c : kDescriptorCases) {
        SCOPED_TRACE(c.name);
        const auto info = ParseReportDescriptor(*c.descriptor);
        ASSERT_TRUE(info.ok()) << info.error();
        EXPECT_EQ(info->FeatureReportByteLength, c.feature_length);
        EXPECT_EQ(info->FeatureReportId, c.feature_id);
        EXPECT_EQ(info->UsagePage, c.usage_page);
        EXPECT_EQ(info->Usage, c.usage);
    }
}

TEST(ReportDescriptor, EmptyDescriptorDescribesNothing) {
    const auto info = ParseReportDescriptor({});
    ASSERT_TRUE(info.ok());
    EXPECT_EQ(info->FeatureReportByteLength, 0);
    EXPECT_EQ(info->UsagePage, 0);
}

Bytes Repeat(const Bytes& unit, int times) {
    Bytes out;
    for (int i = 0; i < times; ++i)
        out.insert(out.end(), unit.begin(), unit.end());
    return out;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

TEST(ReportDescriptor, MalformedDescriptorsAreErrors) {
    const Bytes open_app = {0xA1, 0x01};  // Collection (Application)
    const Bytes close = {0xC0};           // End Collection
    const struct {
        const char* name;
        Bytes descriptor;
    } kCases[] = {
        {"short item cut in its data", {0x06, 0x00}},
        {"4-byte item cut in its data", {0x0B, 0x01, 0x02, 0x03}},
        {"long item without its size", {0xFE}},
        {"long item without its tag", {0xFE, 0x02}},
        {"long item cut in its data", {0xFE, 0x05, 0x10, 0x01, 0x02}},
        {"Pop without Push", Concat({open_app, {0xB4}, close})},
        {"Push 17 deep", Concat({Repeat({0xA4}, kMaxGlobalStackDepth + 1)})},
        {"End Collection first", {0xC0}},
        {"collection left open", open_app},
        {"collections 257 deep", Concat({Repeat({0xA1, 0x00}, kMaxCollectionDepth + 1),
                                         Repeat(close, kMaxCollectionDepth + 1)})},
        {"report ID 0", Concat({open_app, {0x85, 0x00}, close})},
        {"report ID 256", Concat({open_app, {0x86, 0x00, 0x01}, close})},
        {"size and count at their maximum",
         Concat({open_app,
                 {0x77, 0xFF, 0xFF, 0xFF, 0xFF,  // Report Size (4294967295)
                  0x97, 0xFF, 0xFF, 0xFF, 0xFF,  // Report Count (4294967295)
                  0xB1, 0x02},                   // Feature
                 close})},
        {"one byte over the longest report",
         Concat({open_app,
                 {0x75, 0x08,               // Report Size (8)
                  0x96, 0x00, 0x40,         // Report Count (16384)
                  0xB1, 0x02,               // Feature
                  0x95, 0x01, 0xB1, 0x02},  // Report Count (1), Feature
                 close})},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const auto info = ParseReportDescriptor(c.descriptor);
        EXPECT_FALSE(info.ok());
    }
}

TEST(ReportDescriptor, LongestAllowedReportIsAccepted) {
    const Bytes descriptor = {
        0xA1, 0x01,        // Collection (Application)
        0x75, 0x08,        //   Report Size (8)
        0x96, 0x00, 0x40,  //   Report Count (16384)
        0xB1, 0x02,        //   Feature
        0xC0,              // End Collection
    };
    const auto info = ParseReportDescriptor(descriptor);
    ASSERT_TRUE(info.ok()) << info.error();
    EXPECT_EQ(info->FeatureReportByteLength, static_cast<int>(kMaxReportBytes) + 1);
}

// Exact-size heap copies, so that a sanitizer build catches any read past
// the end.
TEST(ReportDescriptor, EveryPrefixOfARealDescriptorParsesWithinBounds) {
    for (const auto& c : kDescriptorCases) {
        SCOPED_TRACE(c.name);
        for (std::size_t n = 0; n <= c.descriptor->size(); ++n) {
            const Bytes prefix(c.descriptor->begin(), c.descriptor->begin() + n);
            const auto info = ParseReportDescriptor(prefix);
            if (n == c.descriptor->size()) {
                EXPECT_TRUE(info.ok());
            }
        }
    }
}

TEST(ReportDescriptor, RandomBytesParseWithinBounds) {
    std::mt19937 random(20240601);
    std::uniform_int_distribution<int> length(0, 64);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 20000; ++round) {
        Bytes descriptor(static_cast<std::size_t>(length(random)));
        for (auto& b : descriptor)
            b = static_cast<std::uint8_t>(byte(random));
        const auto info = ParseReportDescriptor(descriptor);
        if (info.ok()) {
            EXPECT_GE(info->FeatureReportByteLength, 0);
            EXPECT_LE(info->FeatureReportByteLength, static_cast<int>(kMaxReportBytes) + 1);
        }
    }
}

}  // namespace
}  // namespace txisp::hid
