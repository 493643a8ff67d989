#include "firmware/hex_image.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace txisp::firmware {
namespace {

namespace fs = std::filesystem;

TEST(ParseHexLineTest, ReadsHeaderAndDataDigitsOnly) {
    const struct {
        const char* line;
        std::uint16_t address;
        std::uint8_t type;
        std::vector<std::uint8_t> data;
    } kCases[] = {
        {":0300300002337A1E", 0x0030, 0x00, {0x02, 0x33, 0x7A}},
        {":0300300002337a1e", 0x0030, 0x00, {0x02, 0x33, 0x7A}},  // either case
        {":0100000055FF", 0x0000, 0x00, {0x55}},                  // wrong checksum: not tested
        {":0100000055", 0x0000, 0x00, {0x55}},                    // no checksum at all
        {"X01FFFF0055", 0xFFFF, 0x00, {0x55}},                    // position 0 not examined
        {":00000001FF", 0x0000, 0x01, {}},
        {":020000040800F2", 0x0000, 0x04, {}},  // extended address: no data
        {":0400000300003800C1", 0x0000, 0x03, {}},
        {":10000005", 0x0000, 0x05, {}},  // only data records need digits
        {":00000000", 0x0000, 0x00, {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.line);
        const Result<HexRecord> record = ParseHexLine(c.line);
        ASSERT_TRUE(record.ok()) << record.error();
        EXPECT_EQ(record->Address, c.address);
        EXPECT_EQ(record->RecordType, c.type);
        EXPECT_EQ(record->Data, c.data);
    }
}

TEST(ParseHexLineTest, RefusesLinesItCannotRead) {
    for (const char* line : {
             "", ":",
             ":0100000",         // header one digit short
             ":0400000011223",   // four bytes asked for, one and a half given
             ":02000000GG00",    // data not hex
             ":0Z00000000",      // count not hex
             ":01 0000000",      // blank inside the address
             ":020000-40800F2",  // type not hex
         }) {
        SCOPED_TRACE(line);
        EXPECT_FALSE(ParseHexLine(line).ok());
    }
}

class HexImageTest : public ::testing::Test {
protected:
    Result<HexLoadReport> Load(std::string_view text, ChipFamily family = 9) {
        const fs::path file = dir_ / "fw.hex";
        testing::WriteText(file, text);
        return LoadHexImage(file, family, *image_);
    }
    auto& buffer() const { return image_->Tx64ImageBuffer; }

    testing::TempDir dir_;
    std::unique_ptr<FirmwareImage> image_ = std::make_unique<FirmwareImage>();
};

TEST_F(HexImageTest, DataLandsAtItsSixteenBitAddressWhateverExtensionPrecedesIt) {
    const auto report = Load(
        ":020000040800F2\n"
        ":04000000DEADBEEF00\r\n"
        ":02000002100000\n"
        ":02FFFE00A1B2FF\n"
        ":00000001FF\n");
    ASSERT_TRUE(report.ok());
    EXPECT_EQ(report->DataBytes, 6u);
    EXPECT_TRUE(report->Loaded());
    EXPECT_EQ(buffer()[0], 0xDE);
    EXPECT_EQ(buffer()[3], 0xEF);
    EXPECT_EQ(buffer()[4], 0xFF);
    EXPECT_EQ(buffer()[0xFFFE], 0xA1);
    EXPECT_EQ(buffer()[0xFFFF], 0xB2);
    EXPECT_TRUE(report->MalformedLines.empty());
    EXPECT_TRUE(report->LongLines.empty());
    EXPECT_FALSE(report->UnterminatedLine.has_value());
}

TEST_F(HexImageTest, AddressesTheFileLeavesOutHoldTheFamilysFill) {
    const struct {
        ChipFamily family;
        std::uint8_t fill;
    } kCases[] = {{9, 0xFF}, {10, 0xFF}, {11, 0xFF}, {13, 0x00}, {14, 0x00}, {0, 0xFF}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.family);
        buffer().fill(0x5A);
        ASSERT_TRUE(Load(":0100100042AD\n", c.family).ok());
        EXPECT_EQ(buffer()[0x0010], 0x42);
        EXPECT_EQ(buffer()[0x000F], c.fill);
        EXPECT_EQ(buffer()[0xFFFF], c.fill);
    }
}

TEST_F(HexImageTest, ALastLineWithoutLineEndIsNotRead) {
    const auto report = Load(":0100000055AA");
    ASSERT_TRUE(report.ok());
    EXPECT_FALSE(report->Loaded());
    EXPECT_EQ(report->UnterminatedLine, 1u);
    EXPECT_EQ(buffer()[0], 0xFF);

    const auto after_data = Load(":0100000011EE\n:0100010022DC");
    EXPECT_EQ(after_data->DataBytes, 1u);
    EXPECT_EQ(after_data->UnterminatedLine, 2u);
    EXPECT_EQ(buffer()[1], 0xFF);

    // Blanks after the last line end are no line.
    EXPECT_FALSE(Load(":0100000011EE\n  ")->UnterminatedLine.has_value());
}

// A line longer than 259 characters arrives in pieces; only the piece holding
// the line end is read, as a line of its own.
TEST_F(HexImageTest, LongLinesAreReadFromTheirLastPieceOnly) {
    // 124 data bytes: 257 characters, then the checksum digits.
    std::string record = ":7C000000";
    for (int i = 0; i < 124; ++i)
        record += "A5";
    const struct {
        const char* what;
        std::string text;
        std::size_t bytes;
        std::vector<std::size_t> long_lines;
        std::uint16_t probe;
        std::uint8_t value;
    } kCases[] = {
        {"258 characters: one piece", record + "0\n", 124, {}, 0x007B, 0xA5},
        {"CR LF counts as one character", record + "0\r\n", 124, {}, 0x007B, 0xA5},
        {"259 characters: the end arrives alone", record + "00\n", 0, {1}, 0x0000, 0xFF},
        {"the last piece reads as a record",
         std::string(259, 'Z') + "X0100300077\n",
         1,
         {1},
         0x0030,
         0x77},
        {"two full pieces before the end",
         std::string(518, '0') + "X0100310088\n",
         1,
         {1},
         0x0031,
         0x88},
        {"line numbers go on after a long line",
         std::string(300, 'Z') + "\n:0100320099\n:01",
         1,
         {1},
         0x0032,
         0x99},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        const auto report = Load(c.text);
        ASSERT_TRUE(report.ok());
        EXPECT_EQ(report->DataBytes, c.bytes);
        EXPECT_EQ(report->LongLines, c.long_lines);
        EXPECT_EQ(buffer()[c.probe], c.value);
    }
}

TEST_F(HexImageTest, MalformedLinesAreReportedAndWriteNothing) {
    const auto report = Load(
        ":0100000011EE\n"
        ":04000100223\n"  // asks for 4 bytes, holds 1 and a half
        ":0100020033CA\n"
        "\n"               // blank: no line at all
        ":01000300G4C8\n"  // not hex
        "   \n"
        ":0100040055A6\n");
    ASSERT_TRUE(report.ok());
    EXPECT_EQ(report->MalformedLines, (std::vector<std::size_t>{2, 5}));
    EXPECT_EQ(report->DataBytes, 3u);
    EXPECT_EQ(buffer()[0], 0x11);
    EXPECT_EQ(buffer()[1], 0xFF);
    EXPECT_EQ(buffer()[2], 0x33);
    EXPECT_EQ(buffer()[3], 0xFF);
    EXPECT_EQ(buffer()[4], 0x55);
}

TEST_F(HexImageTest, ARecordRunningPastTheBufferKeepsOnlyWhatFits) {
    const auto report = Load(":10FFF800000102030405060708090A0B0C0D0E0F00\n");
    ASSERT_TRUE(report.ok());
    EXPECT_EQ(report->DataBytes, 8u);
    EXPECT_EQ(report->ClippedLines, std::vector<std::size_t>{1});
    EXPECT_EQ(buffer()[0xFFF8], 0x00);
    EXPECT_EQ(buffer()[0xFFFF], 0x07);
    EXPECT_EQ(buffer()[0x0000], 0xFF);  // nothing wraps around
}

TEST_F(HexImageTest, AMissingFileFailsWithTheBufferFilled) {
    buffer().fill(0x5A);
    EXPECT_FALSE(LoadHexImage(dir_ / "none.hex", 13, *image_).ok());
    EXPECT_EQ(buffer()[0], 0x00);
    EXPECT_EQ(buffer()[0xFFFF], 0x00);
}

TEST_F(HexImageTest, AFileWrittenByObjcopyLoadsAsTheBinaryItCameFrom) {
    if (std::system("command -v objcopy >/dev/null 2>&1") != 0) GTEST_SKIP() << "no objcopy";
    std::vector<std::uint8_t> binary(5000);
    std::uint32_t state = 12345;
    for (std::uint8_t& byte : binary) {
        state = state * 1103515245 + 12345;
        byte = static_cast<std::uint8_t>(state >> 16);
    }
    testing::WriteBytes(dir_ / "fw.bin", binary);
    const std::string command = "objcopy -I binary -O ihex '" + (dir_ / "fw.bin").string() + "' '" +
                                (dir_ / "fw.hex").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);

    const auto report = LoadHexImage(dir_ / "fw.hex", 9, *image_);
    ASSERT_TRUE(report.ok());
    EXPECT_EQ(report->DataBytes, binary.size());
    EXPECT_TRUE(report->MalformedLines.empty());
    EXPECT_FALSE(report->UnterminatedLine.has_value());
    EXPECT_TRUE(std::equal(binary.begin(), binary.end(), buffer().begin()));
    EXPECT_EQ(buffer()[binary.size()], 0xFF);
}

}  // namespace
}  // namespace txisp::firmware
