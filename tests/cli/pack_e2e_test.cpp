// txisp pack: prepared tools read back the way they read themselves at
// start-up, and the cases where a prepared tool would silently come up in
// file mode are refused instead.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "firmware/firmware_image.h"
#include "firmware/resource_ids.h"
#include "firmware/tool_config.h"
#include "platform/resources.h"
#include "support/temp_dir.h"
#include "txisp_runner.h"

namespace txisp::cli::testing {
namespace {

using txisp::testing::ReadBytes;
using txisp::testing::TempDir;
using txisp::testing::WriteBytes;
using txisp::testing::WriteText;

class PackE2e : public ::testing::Test {
protected:
    std::filesystem::path Tool() const { return dir_ / "tool"; }

    ProcessResult Pack(std::vector<std::string> args) {
        std::vector<std::string> full = {"pack", "--program", TxispProgram().string(), "-o",
                                         Tool().string()};
        full.insert(full.end(), args.begin(), args.end());
        return RunTxisp(full, {"SOURCE_DATE_EPOCH=86400"});
    }

    std::string ImageChecksumText(const std::filesystem::path& file, const std::string& chip) {
        const ProcessResult image = RunTxisp({"image", file.string(), "--chip", chip, "--json"});
        return ParseJson(image)["checksum_text"].get<std::string>();
    }

    TempDir dir_;
};

TEST_F(PackE2e, Tx5ToolReadsBackInEmbeddedMode) {
    const std::filesystem::path firmware = Example("firmware/TX5K3317.TX5");
    const ProcessResult result =
        Pack({"--chip", "TX5K3317", "--firmware", firmware.string(), "--password", "12345678",
              "--vid", "1234", "--pid", "abcd", "--security", "2", "--settings",
              Example("sample-settings").string()});
    ASSERT_EQ(result.ExitCode, 0) << result;

    const auto bundle = platform::ResourceBundle::FromFile(Tool());
    auto image = std::make_unique<firmware::FirmwareImage>();
    const firmware::ToolConfigReading reading = firmware::ReadToolConfig(bundle, *image);
    EXPECT_TRUE(reading.Config.Embedded);
    EXPECT_EQ(reading.Config.ChipName, "TX5K3317");
    EXPECT_EQ(reading.Config.Password, "12345678");
    EXPECT_EQ(reading.Config.VID, "1234");
    EXPECT_EQ(reading.Config.PID, "ABCD");
    EXPECT_EQ(reading.Config.CodeSecurity, 2);
    const std::string checksum_text = ImageChecksumText(firmware, "TX5K3317");
    EXPECT_EQ(reading.ChecksumLine, checksum_text);
    EXPECT_EQ(firmware::LoadTextResource(bundle, firmware::kChecksumTextResource),
              checksum_text.substr(std::string("Checksum : ").size()));
    EXPECT_EQ(firmware::LoadTextResource(bundle, firmware::kBuildTimeResource),
              "Build time:1970/01/02 00:00");
    EXPECT_TRUE(bundle.Find(firmware::kSettingsArchiveResource));

    const std::vector<std::uint8_t> file = ReadBytes(firmware);
    EXPECT_TRUE(std::equal(file.begin() + 256, file.end(), image->Tx5ImageBuffer.begin()));

    // Still the program it was copied from.
    const ProcessResult version = RunProgram(Tool(), {"--version"});
    EXPECT_EQ(version.ExitCode, 0) << version;
    EXPECT_TRUE(version.Out.starts_with("txisp ")) << version;
}

TEST_F(PackE2e, Tx64ToolCarriesTheFlashAsLoadFileLoadsIt) {
    const std::filesystem::path firmware = Example("firmware/TX64K39x.hex");
    const ProcessResult result =
        Pack({"--chip", "TX64K39x", "--firmware", firmware.string(), "--json"});
    ASSERT_EQ(result.ExitCode, 0) << result;
    const nlohmann::json doc = ParseJson(result);
    EXPECT_EQ(doc["image_size"], 0x7800);

    const auto bundle = platform::ResourceBundle::FromFile(Tool());
    auto image = std::make_unique<firmware::FirmwareImage>();
    const firmware::ToolConfigReading reading = firmware::ReadToolConfig(bundle, *image);
    EXPECT_TRUE(reading.Config.Embedded);
    EXPECT_EQ(reading.Config.ChipName, "TX64K39x");
    EXPECT_EQ(reading.Config.VID, "5E3A");
    EXPECT_EQ(reading.Config.PID, "3442");
    EXPECT_EQ(reading.Config.Password, "40172958");
    EXPECT_EQ(reading.ChecksumLine, ImageChecksumText(firmware, "TX64K39x"));
    EXPECT_EQ(doc["checksum_text"], reading.ChecksumLine);
    EXPECT_FALSE(bundle.Find(firmware::kSettingsArchiveResource));
}

// A packaging pipeline that sets SOURCE_DATE_EPOCH gets the same tool from
// a fresh checkout, whatever the files' own times.
TEST_F(PackE2e, SourceDateEpochMakesTheSameTool) {
    const std::filesystem::path settings = dir_ / "settings";
    std::filesystem::copy(Example("sample-settings"), settings,
                          std::filesystem::copy_options::recursive);
    const std::vector<std::string> args = {"--chip",     "TX5K3317",
                                           "--firmware", Example("firmware/TX5K3317.TX5").string(),
                                           "--settings", settings.string()};
    ASSERT_EQ(Pack(args).ExitCode, 0);
    const std::vector<std::uint8_t> first = ReadBytes(Tool());
    const std::filesystem::path ini = settings / "Settings" / "UISettings.ini";
    std::filesystem::last_write_time(
        ini, std::filesystem::last_write_time(ini) - std::chrono::hours(24 * 400));
    ASSERT_EQ(Pack(args).ExitCode, 0);
    EXPECT_TRUE(ReadBytes(Tool()) == first);
}

TEST_F(PackE2e, RefusesWhatThePreparedToolWouldIgnore) {
    std::vector<std::uint8_t> big_tx5(256 + 0x8401, 0x11);
    const std::string header = "TX5K3317";
    std::copy(header.begin(), header.end(), big_tx5.begin());
    WriteBytes(dir_ / "big.TX5", big_tx5);
    WriteBytes(dir_ / "big.bin", std::vector<std::uint8_t>(0x10001, 0x22));
    std::filesystem::create_directory(dir_ / "no-settings");
    WriteText(dir_ / "no-settings" / "readme.txt", "nothing here");
    const std::string tx5 = Example("firmware/TX5K3317.TX5").string();
    struct Case {
        const char* Name;
        std::vector<std::string> Args;
        int ExitCode;
        const char* Mentions;
    };
    const Case cases[] = {
        {"unknown chip", {"--chip", "TX5K3317 ", "--firmware", tx5}, 2, "TX64K36xB"},
        {"TX5 image too large",
         {"--chip", "TX5K3317", "--firmware", (dir_ / "big.TX5").string()},
         5,
         "too large"},
        {"binary image too large",
         {"--chip", "TX64K36x", "--firmware", (dir_ / "big.bin").string()},
         5,
         "too large"},
        {"TX5 file of another chip",
         {"--chip", "TX5K3307", "--firmware", tx5},
         5,
         "Not a valid TX5 file!!"},
        {"settings without UISettings.ini",
         {"--chip", "TX5K3317", "--firmware", tx5, "--settings", (dir_ / "no-settings").string()},
         2,
         "UISettings.ini"},
        {"short password",
         {"--chip", "TX5K3317", "--firmware", tx5, "--password", "1234567"},
         2,
         "Password should be 8 characters!!"},
        {"password with a letter",
         {"--chip", "TX5K3317", "--firmware", tx5, "--password", "1234567a"},
         2,
         "Only 0 ~ 9 can be filled!!"},
        {"security level 4",
         {"--chip", "TX5K3317", "--firmware", tx5, "--security", "4"},
         2,
         "--security"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const ProcessResult result = Pack(c.Args);
        EXPECT_EQ(result.ExitCode, c.ExitCode) << result;
        EXPECT_NE(result.Err.find(c.Mentions), std::string::npos) << result;
        EXPECT_FALSE(std::filesystem::exists(Tool()));
    }
}

// Without --program the window program beside txisp is prepared; an
// installation without one says what to do.
TEST_F(PackE2e, DefaultProgramIsTheWindowBesideTxisp) {
    const std::filesystem::path bin = dir_ / "bin";
    std::filesystem::create_directory(bin);
    std::filesystem::copy_file(TxispProgram(), bin / "txisp");
    const std::vector<std::string> args = {
        "pack", "--chip",       "TX5K3317", "--firmware", Example("firmware/TX5K3317.TX5").string(),
        "-o",   Tool().string()};
    const ProcessResult missing = RunProgram(bin / "txisp", args);
    EXPECT_EQ(missing.ExitCode, 2) << missing;
    EXPECT_NE(missing.Err.find("--program"), std::string::npos) << missing;

    std::filesystem::copy_file(TxispProgram(), bin / "txisp-gui");
    const ProcessResult packed = RunProgram(bin / "txisp", args);
    ASSERT_EQ(packed.ExitCode, 0) << packed;
    EXPECT_TRUE(firmware::ReadToolConfig(platform::ResourceBundle::FromFile(Tool()),
                                         *std::make_unique<firmware::FirmwareImage>())
                    .Config.Embedded);
    struct stat info {};
    ASSERT_EQ(stat(Tool().c_str(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_IXUSR);
}

}  // namespace
}  // namespace txisp::cli::testing
