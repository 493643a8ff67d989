#include "firmware/option_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "firmware/chip_data.h"

namespace txisp::firmware {
namespace {

TEST(OptionPageTest, StartsWithTheChipsBootCodeAndLeavesTheOptionBytesErased) {
    OptionPage page = InitialOptionPage();
    const std::vector<std::uint8_t> boot = {0xB4, 0xCE, 0x3C, 0x78, 0x19, 0x8F, 0x3C, 0x61,
                                            0x0D, 0x34, 0x12, 0x33, 0x00, 0x0D, 0x60, 0x07};
    EXPECT_TRUE(std::equal(boot.begin(), boot.end(), page.Block().begin()));
    EXPECT_EQ(page.Block().size(), 504u);
    EXPECT_EQ(page.Packet().data(), page.Bytes.data() + 504);
    EXPECT_EQ(page.BlockTail().data(), page.Bytes.data() + 496);
    for (std::uint8_t byte : page.BlockTail())
        EXPECT_EQ(byte, 0xFF);
    for (std::uint8_t byte : page.Packet())
        EXPECT_EQ(byte, 0xFF);
}

// Walks the descriptors the way a USB host would read them back, so a length
// field that disagrees with its descriptor shows.
TEST(OptionPageTest, DescriptorsDescribeTheFamilysBootLoader) {
    const OptionPage page = InitialOptionPage();
    const auto& b = page.Bytes;
    std::size_t at = kOptionPageDescriptorsOffset;
    auto word = [&](std::size_t offset) { return b[offset] | b[offset + 1] << 8; };

    // Device descriptor.
    ASSERT_EQ(b[at], 18);
    ASSERT_EQ(b[at + 1], 0x01);
    EXPECT_EQ(word(at + 8), kMakerVid);
    EXPECT_EQ(word(at + 10), FindFamilyDescriptor(8)->BootPID);
    EXPECT_EQ(b[at + 7], ReportBlockSize(8));  // control endpoint size
    at = (at + 18 + 1) & ~1u;

    // Configuration, interface, HID and endpoint descriptors.
    ASSERT_EQ(b[at + 1], 0x02);
    const std::size_t total = word(at + 2);
    std::size_t report_length = 0;
    bool saw_hid_interface = false;
    for (std::size_t d = at; d < at + total; d += b[d]) {
        ASSERT_GT(b[d], 0);
        if (b[d + 1] == 0x04) saw_hid_interface = b[d + 5] == 0x03;
        if (b[d + 1] == 0x21) {
            ASSERT_EQ(b[d + 6], 0x22);
            report_length = word(d + 7);
        }
        if (b[d + 1] == 0x05) {
            EXPECT_EQ(word(d + 4), 8);
        }
    }
    EXPECT_TRUE(saw_hid_interface);
    at = (at + total + 1) & ~1u;

    // HID report descriptor: one application collection, closed.
    ASSERT_GT(report_length, 0u);
    EXPECT_EQ(b[at], 0x06);
    EXPECT_EQ(b[at + report_length - 1], 0xC0);
    at = (at + report_length + 1) & ~1u;

    // Language-ID string descriptor, ending before the option bytes.
    EXPECT_EQ(b[at], 4);
    EXPECT_EQ(b[at + 1], 0x03);
    EXPECT_EQ(word(at + 2), 0x0409);
    EXPECT_LE(at + 4, kOptionPageBlockSize - kOptionPacketSize);
}

TEST(OptionPageTest, EveryCopyStartsFromThePristinePage) {
    OptionPage first = InitialOptionPage();
    std::fill(first.BlockTail().begin(), first.BlockTail().end(), 0x12);
    std::fill(first.Packet().begin(), first.Packet().end(), 0x34);
    const OptionPage second = InitialOptionPage();
    EXPECT_EQ(second.Bytes[496], 0xFF);
    EXPECT_EQ(second.Bytes[511], 0xFF);
}

}  // namespace
}  // namespace txisp::firmware
