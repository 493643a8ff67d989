// txisp image: firmware files loaded as Load File loads them, and the files
// the command line refuses where the window would carry on.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cli/sha256.h"
#include "support/temp_dir.h"
#include "txisp_runner.h"

namespace txisp::cli::testing {
namespace {

using txisp::testing::ReadBytes;
using txisp::testing::TempDir;
using txisp::testing::WriteBytes;
using txisp::testing::WriteText;

using Bytes = std::vector<std::uint8_t>;

std::uint16_t SumOfBytes(const Bytes& bytes) {
    unsigned sum = 0;
    for (const std::uint8_t b : bytes)
        sum += b;
    return static_cast<std::uint16_t>(sum);
}

std::uint16_t SumOfWords(const Bytes& bytes) {
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        sum += bytes[i] | (bytes[i + 1] << 8);
    return static_cast<std::uint16_t>(sum);
}

// The flash of a TX64 chip after loading: fill value, then the data.
Bytes Flash(std::size_t size, std::uint8_t fill, const Bytes& data_at_zero) {
    Bytes flash(size, fill);
    std::copy(data_at_zero.begin(), data_at_zero.end(), flash.begin());
    return flash;
}

class ImageE2e : public ::testing::Test {
protected:
    ProcessResult Image(const std::filesystem::path& file, const std::string& chip,
                        std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"image", file.string(), "--chip", chip};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunTxisp(args);
    }

    TempDir dir_;
};

TEST_F(ImageE2e, Tx5FileShowsWhatTheEmbeddedConfigurationWouldLog) {
    const std::filesystem::path file = Example("firmware/TX5K3317.TX5");
    const Bytes bytes = ReadBytes(file);
    const Bytes image(bytes.begin() + 256, bytes.end());

    const ProcessResult result = Image(file, "TX5K3317", {"--json"});
    ASSERT_EQ(result.ExitCode, 0) << result;
    const nlohmann::json doc = ParseJson(result);
    EXPECT_EQ(doc["chip"], "TX5K3317");
    EXPECT_EQ(doc["family"], 0);
    EXPECT_EQ(doc["kind"], "TX5");
    EXPECT_EQ(doc["size"], image.size());
    EXPECT_EQ(doc["checksum"], SumOfBytes(image));
    char line[32];
    std::snprintf(line, sizeof line, "Checksum : %04X", SumOfBytes(image));
    EXPECT_EQ(doc["checksum_text"], line);
    // Family 0's version address is word 0x200C.
    const Bytes version(image.begin() + 0x4018, image.begin() + 0x401C);
    EXPECT_EQ(doc["version_bytes"].get<Bytes>(), version);
    Bytes buffer(0x8400, 0x00);
    std::copy(image.begin(), image.end(), buffer.begin());
    EXPECT_EQ(doc["sha256"], Sha256Hex(buffer));

    const ProcessResult text = Image(file, "TX5K3317");
    EXPECT_NE(text.Out.find(line), std::string::npos) << text;
}

TEST_F(ImageE2e, HexAndBinaryImagesAreSummedOverTheFlash) {
    const Bytes data = {0x01, 0x02, 0x03, 0x04};
    WriteText(dir_ / "fw.hex", ":020000040800F2\n:0400000001020304F2\n:00000001FF\n");
    WriteBytes(dir_ / "fw.bin", data);
    std::filesystem::create_directory(dir_ / "old.hex.files");
    WriteText(dir_ / "old.hex.files" / "fw.bin", ":0400000001020304F2\n");
    struct Case {
        std::filesystem::path File;
        const char* Chip;
        const char* FileType;
        Bytes Flash;  // as loaded, over the family's flash size
        bool FolderWarning;
    };
    // TX64K33x: family 11, 0x4000 bytes of flash filled with FF; TX64K39x:
    // family 13, 0x7800 bytes filled with 00. The extended address record
    // is ignored: the data lands at 0.
    const Case cases[] = {
        {dir_ / "fw.hex", "TX64K33x", "HEX", Flash(0x4000, 0xFF, data), false},
        {dir_ / "fw.bin", "TX64K39x", "BIN", Flash(0x7800, 0x00, data), false},
        {dir_ / "old.hex.files" / "fw.bin", "TX64K33x", "HEX", Flash(0x4000, 0xFF, data), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.File.string());
        const ProcessResult result = Image(c.File, c.Chip, {"--json"});
        ASSERT_EQ(result.ExitCode, 0) << result;
        const nlohmann::json doc = ParseJson(result);
        EXPECT_EQ(doc["kind"], "TX64");
        EXPECT_EQ(doc["file_type"], c.FileType);
        EXPECT_EQ(doc["size"], data.size());
        EXPECT_EQ(doc["checksum"], SumOfWords(c.Flash));
        EXPECT_TRUE(doc["version_bytes"].is_null());
        Bytes buffer = c.Flash;
        buffer.resize(0x10000, c.Flash.back());
        EXPECT_EQ(doc["sha256"], Sha256Hex(buffer));
        EXPECT_EQ(result.Err.find("old.hex.files") != std::string::npos, c.FolderWarning) << result;
    }
}

TEST_F(ImageE2e, MalformedHexLinesAreNamedAndTheRestLoads) {
    WriteText(dir_ / "fw.hex",
              ":0400000001020304F2\n"
              ":04001000ZZ020304F2\n"
              ":0200200055AA2F\n"
              ":04\n"
              ":00000001FF\n");
    const ProcessResult result = Image(dir_ / "fw.hex", "TX64K36x", {"--json"});
    ASSERT_EQ(result.ExitCode, 0) << result;
    EXPECT_NE(result.Err.find("malformed line(s) 2, 4"), std::string::npos) << result;
    EXPECT_EQ(ParseJson(result)["size"], 6);
}

TEST_F(ImageE2e, FilesTheWindowWouldTakeSilentlyAreRefused) {
    WriteText(dir_ / "empty.hex", ":00000001FF\n");
    WriteText(dir_ / "FW.HEX", ":0400000001020304F2\n");
    Bytes header_only(256, 0);
    const std::string name = "TX5K3317";
    std::copy(name.begin(), name.end(), header_only.begin());
    WriteBytes(dir_ / "header.TX5", header_only);
    struct Case {
        std::filesystem::path File;
        const char* Chip;
        const char* Mentions;
    };
    const Case cases[] = {
        {Example("firmware/TX5K3317.TX5"), "TX5K3307", "Not a valid TX5 file!!"},
        {dir_ / "missing.TX5", "TX5K3317", "cannot open"},
        {dir_ / "header.TX5", "TX5K3317", "no program image"},
        {dir_ / "empty.hex", "TX64K36x", "no data byte was loaded"},
        {dir_ / "FW.HEX", "TX64K36x", "neither a HEX nor a binary file"},
        {dir_ / "missing.bin", "TX64K36x", "missing.bin"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.File.filename().string());
        const ProcessResult result = Image(c.File, c.Chip);
        EXPECT_EQ(result.ExitCode, 5) << result;
        EXPECT_NE(result.Err.find(c.Mentions), std::string::npos) << result;
        EXPECT_TRUE(result.Out.empty()) << result;
    }
}

TEST_F(ImageE2e, DumpFoldsRepeatedLines) {
    WriteText(dir_ / "fw.hex", ":0400000001020304F2\n");
    const ProcessResult result = Image(dir_ / "fw.hex", "TX64K33x", {"--dump"});
    ASSERT_EQ(result.ExitCode, 0) << result;
    EXPECT_NE(result.Out.find("00000000  01 02 03 04 FF FF"), std::string::npos) << result;
    EXPECT_NE(result.Out.find("\n*\n"), std::string::npos) << result;
    EXPECT_NE(result.Out.find("\n00004000\n"), std::string::npos) << result;
}

}  // namespace
}  // namespace txisp::cli::testing
