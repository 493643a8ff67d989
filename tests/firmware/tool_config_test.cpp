#include "firmware/tool_config.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "firmware/resource_ids.h"
#include "platform/text.h"

namespace txisp::firmware {
namespace {

using platform::ResourceMap;

// A text resource: UTF-16LE without mark or terminator.
std::vector<std::uint8_t> Text(std::string_view utf8) {
    std::vector<std::uint8_t> bytes;
    for (char16_t unit : platform::Utf8ToUtf16(utf8)) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

platform::ResourceBundle Bundle(const ResourceMap& entries) {
    return platform::ResourceBundle::FromFileBytes(platform::BuildResourceBundle(entries));
}

TEST(LoadTextResourceTest, KeepsAtMost259UnitsUpToTheFirstZero) {
    const std::string long_text(300, 'A');
    std::vector<std::uint8_t> odd = Text("AB");
    odd.push_back('C');
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::string text;
    } kCases[] = {
        {"plain", Text("TX64K39x"), "TX64K39x"},
        {"empty", {}, ""},
        {"stops at a zero unit", Text(std::string("AB\0CD", 5)), "AB"},
        {"odd size: last byte is a low half", odd, "ABC"},
        {"not ASCII", Text("Prüfgerät"), "Prüfgerät"},
        {"259 units fit", Text(long_text.substr(0, 259)), long_text.substr(0, 259)},
        {"longer is cut at 259 units", Text(long_text), long_text.substr(0, 259)},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(LoadTextResource(Bundle({{kChipNameResource, c.bytes}}), kChipNameResource),
                  c.text);
    }
    EXPECT_EQ(LoadTextResource(Bundle({}), kChipNameResource), "");
}

class ToolConfigTest : public ::testing::Test {
protected:
    ToolConfigReading Read(const ResourceMap& entries) {
        return ReadToolConfig(Bundle(entries), *image_);
    }

    std::unique_ptr<FirmwareImage> image_ = std::make_unique<FirmwareImage>();
};

TEST_F(ToolConfigTest, ACompleteConfigurationIsEmbedded) {
    const std::vector<std::uint8_t> firmware = {0x01, 0x02, 0x03, 0x04};
    ResourceMap entries = {
        {kChipNameResource, Text("TX64K39x")}, {kFirmwareImageResource, firmware},
        {kPasswordResource, Text("12345678")}, {kVidResource, Text("1A2B")},
        {kPidResource, Text("3C4D")},          {kCodeSecurityResource, {0x03, 0x07}},
    };
    image_->Tx64ImageBuffer.fill(0xEE);
    const ToolConfigReading reading = Read(entries);

    EXPECT_TRUE(reading.Config.Embedded);
    EXPECT_TRUE(reading.UnpackSettingsArchive());
    EXPECT_EQ(reading.Config.ChipName, "TX64K39x");
    EXPECT_EQ(reading.Config.CodeSecurity, 3);
    EXPECT_EQ(reading.Config.Password, "12345678");
    EXPECT_EQ(reading.Config.VID, "1A2B");
    EXPECT_EQ(reading.Config.PID, "3C4D");
    EXPECT_EQ(reading.ChecksumLine, "Checksum : 0604");  // 0x0201 + 0x0403
    EXPECT_EQ(image_->Tx64ImageBuffer[3], 0x04);
    EXPECT_EQ(image_->Tx64ImageBuffer[4], 0xEE);  // nothing beyond the image changes

    // The build-time and checksum texts travel along but are never read.
    entries[kBuildTimeResource] = Text("Build time:2001/01/01 00:00");
    entries[kChecksumTextResource] = Text("0000");
    const ToolConfigReading with_texts = Read(entries);
    EXPECT_EQ(with_texts.Config.CodeSecurity, 3);
    EXPECT_EQ(with_texts.ChecksumLine, reading.ChecksumLine);
}

TEST_F(ToolConfigTest, TheImageMustFitTheBufferOfAKnownChip) {
    const struct {
        const char* chip;
        std::size_t size;
        bool embedded;
        bool tx64;
    } kCases[] = {
        {"TX64K39x", 0x10000, true, true},
        {"TX64K39x", 0x10001, false, true},
        {"TX5K33E55B", 0x8400, true, false},  // family 12: TX5 buffer
        {"TX5K33E55B", 0x8401, false, false},
        {"TX5K3317", 0x8400, true, false},
        {"tx64k39x", 16, false, true},
        {"TX64K39x ", 16, false, true},
        {"", 16, false, true},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(::testing::Message() << c.chip << " " << c.size);
        image_->Tx5ImageBuffer.fill(0xEE);
        image_->Tx64ImageBuffer.fill(0xEE);
        const ToolConfigReading reading = Read({
            {kChipNameResource, Text(c.chip)},
            {kFirmwareImageResource, std::vector<std::uint8_t>(c.size, 0x11)},
            {kCodeSecurityResource, {0x02}},
            {kPasswordResource, Text("12345678")},
        });
        EXPECT_EQ(reading.Config.Embedded, c.embedded);
        EXPECT_EQ(reading.UnpackSettingsArchive(), c.embedded);
        EXPECT_EQ(reading.ChecksumLine.has_value(), c.embedded);
        EXPECT_EQ(reading.Config.ChipName, c.chip);
        const std::uint8_t first = c.tx64 ? image_->Tx64ImageBuffer[0] : image_->Tx5ImageBuffer[0];
        EXPECT_EQ(first, c.embedded ? 0x11 : 0xEE);
        if (!c.embedded) {
            // The reading stopped at the image: nothing after it was read.
            EXPECT_EQ(reading.Config.CodeSecurity, 0);
            EXPECT_EQ(reading.Config.Password, "");
            EXPECT_EQ(reading.Config.VID, "");
            EXPECT_EQ(reading.Config.PID, "");
        }
    }
}

TEST_F(ToolConfigTest, WithoutAnImageTheToolIsEmbeddedWithDefaults) {
    image_->Tx5ImageBuffer.fill(0xEE);
    image_->Tx64ImageBuffer.fill(0xEE);
    const ToolConfigReading reading = Read({
        {kChipNameResource, Text("not a chip")},
        {kPasswordResource, {}},
        {kCodeSecurityResource, {}},
    });
    EXPECT_TRUE(reading.Config.Embedded);
    EXPECT_FALSE(reading.ChecksumLine.has_value());
    EXPECT_EQ(reading.Config.Password, "40172958");
    EXPECT_EQ(reading.Config.VID, "5E3A");
    EXPECT_EQ(reading.Config.PID, "3442");
    EXPECT_EQ(reading.Config.CodeSecurity, 0);
    EXPECT_EQ(image_->Tx5ImageBuffer[0], 0xEE);
    EXPECT_EQ(image_->Tx64ImageBuffer[0], 0xEE);
}

TEST_F(ToolConfigTest, ChecksumLineUsesTheSumOfTheKind) {
    std::vector<std::uint8_t> fc43(253, 0xFF);
    fc43.push_back(0x40);
    const struct {
        const char* chip;
        std::vector<std::uint8_t> image;
        const char* line;
    } kCases[] = {
        {"TX5K3317", {'a', 'b', 'c'}, "Checksum : 0126"},
        {"TX5K3317", fc43, "Checksum : FC43"},
        {"TX5K33E55B", {'a', 'b', 'c'}, "Checksum : 0126"},
        {"TX64K36x", {'a', 'b', 'c', 0x00}, "Checksum : 62C4"},  // 0x6261 + 0x0063
        {"TX64K36x", {'a', 'b', 'c'}, "Checksum : 62C4"},        // odd: high byte 0
        {"TX64K36x", {}, "Checksum : 0000"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.line);
        const ToolConfigReading reading =
            Read({{kChipNameResource, Text(c.chip)}, {kFirmwareImageResource, c.image}});
        EXPECT_EQ(reading.ChecksumLine, c.line);
    }
}

TEST_F(ToolConfigTest, TheCodeSecurityByteIsTakenAsItIs) {
    const struct {
        std::vector<std::uint8_t> bytes;
        std::int32_t level;
    } kCases[] = {{{0x00}, 0}, {{0x03}, 3}, {{0x03, 0x01}, 3}, {{0xFF}, 255}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.level);
        EXPECT_EQ(Read({{kCodeSecurityResource, c.bytes}}).Config.CodeSecurity, c.level);
    }
}

}  // namespace
}  // namespace txisp::firmware
