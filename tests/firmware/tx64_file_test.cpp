#include "firmware/tx64_file.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/temp_dir.h"

namespace txisp::firmware {
namespace {

namespace fs = std::filesystem;

TEST(Tx64FileTypeTest, DecidedByTheFirstOccurrenceAnywhereInThePath) {
    const struct {
        const char* path;
        Tx64FileType type;
    } kCases[] = {
        {"/fw/fw.hex", Tx64FileType::Hex},     {"/fw/fw.bin", Tx64FileType::Bin},
        {"/fw/FW.HEX", Tx64FileType::Neither},  // case-sensitive
        {"/fw/fw.BIN", Tx64FileType::Neither}, {"/my.hex.files/fw.bin", Tx64FileType::Hex},
        {"/fw/fw.hexdump", Tx64FileType::Hex}, {"/fw/fw.txt", Tx64FileType::Neither},
        {".hex", Tx64FileType::Neither},  // at position 0
        {".hex.bin", Tx64FileType::Bin},       {"", Tx64FileType::Neither},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(Tx64FileTypeOf(c.path), c.type);
    }
}

class Tx64FileTest : public ::testing::Test {
protected:
    fs::path WriteBin(std::string_view name, std::size_t size) {
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
        testing::WriteBytes(dir_ / name, bytes);
        return dir_ / name;
    }
    auto& buffer() const { return image_->Tx64ImageBuffer; }

    testing::TempDir dir_;
    std::unique_ptr<FirmwareImage> image_ = std::make_unique<FirmwareImage>();
};

TEST_F(Tx64FileTest, BinaryFilesLoadFromAddressZeroUpToTheBufferSize) {
    const struct {
        const char* what;
        std::size_t size;
        ChipFamily family;
        std::size_t loaded;
        std::uintmax_t dropped;
    } kCases[] = {
        {"small, family 9", 100, 9, 100, 0},
        {"small, family 13", 100, 13, 100, 0},
        {"empty", 0, 9, 0, 0},
        {"exactly the buffer", kTx64ImageSize, 14, kTx64ImageSize, 0},
        {"longer than the buffer", kTx64ImageSize + 5, 9, kTx64ImageSize, 5},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        buffer().fill(0x5A);
        const auto report = LoadBinImage(WriteBin("fw.bin", c.size), c.family, *image_);
        ASSERT_TRUE(report.ok()) << report.error();
        EXPECT_EQ(report->DataBytes, c.loaded);
        EXPECT_EQ(report->DroppedBytes, c.dropped);
        for (std::size_t i = 0; i < kTx64ImageSize; ++i) {
            const std::uint8_t expected =
                i < c.loaded ? static_cast<std::uint8_t>(i * 7 + 1) : Tx64FillValue(c.family);
            ASSERT_EQ(buffer()[i], expected) << "at " << i;
        }
    }
}

TEST_F(Tx64FileTest, AMissingBinaryLeavesOnlyTheFill) {
    buffer().fill(0x5A);
    EXPECT_FALSE(LoadBinImage(dir_ / "none.bin", 9, *image_).ok());
    EXPECT_EQ(buffer()[0], 0xFF);
}

TEST_F(Tx64FileTest, LoadFileLooksForRollingSettingsUnlessTheFileWasNeverRead) {
    testing::WriteText(dir_ / "fw.INI", "[Rolling Code]\r\n");
    testing::WriteText(dir_ / "fw.hex", ":0100000042BD\n");
    WriteBin("fw.bin", 4);
    WriteBin("FW.HEX", 4);
    const struct {
        const char* name;
        Tx64FileType type;
        bool outcome_ok;
        bool rolling_looked_up;
        std::uint8_t byte0;
    } kCases[] = {
        {"fw.hex", Tx64FileType::Hex, true, true, 0x42},
        {"fw.bin", Tx64FileType::Bin, true, true, 0x01},
        {"missing.hex", Tx64FileType::Hex, false, true, 0xFF},  // looked up all the same
        {"missing.bin", Tx64FileType::Bin, false, false, 0xFF},
        {"FW.HEX", Tx64FileType::Neither, false, false, 0x5A},  // buffer untouched
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        buffer().fill(0x5A);
        const HexBinLoad load = LoadHexBinFile(dir_ / c.name, 9, *image_);
        EXPECT_EQ(load.Type, c.type);
        EXPECT_EQ(load.Outcome.ok(), c.outcome_ok) << load.Outcome.message();
        EXPECT_EQ(load.Rolling.has_value(), c.rolling_looked_up);
        EXPECT_EQ(buffer()[0], c.byte0);
    }
    EXPECT_TRUE(LoadHexBinFile(dir_ / "fw.hex", 9, *image_).Rolling->RollingEnabled);
    EXPECT_FALSE(LoadHexBinFile(dir_ / "missing.hex", 9, *image_).Rolling->RollingEnabled);
}

TEST_F(Tx64FileTest, AHexFileWithoutDataIsReportedButKeepsTheFill) {
    testing::WriteText(dir_ / "empty.hex", ":00000001FF\n");
    const HexBinLoad load = LoadHexBinFile(dir_ / "empty.hex", 13, *image_);
    EXPECT_FALSE(load.Outcome.ok());
    EXPECT_FALSE(load.Hex.Loaded());
    EXPECT_EQ(buffer()[0], 0x00);
}

}  // namespace
}  // namespace txisp::firmware
