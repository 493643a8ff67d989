// txisp program run as a user runs it, on simulated buses.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "txisp_runner.h"

namespace txisp::cli::testing {
namespace {

using txisp::testing::TempDir;
using txisp::testing::WriteText;

class ProgramE2e : public ::testing::Test {
protected:
    // The trace logs and the settings unpacking stay in the test's folder.
    std::vector<std::string> Env(const std::filesystem::path& scenario) const {
        return {SimEnv(scenario), "XDG_STATE_HOME=" + (dir_ / "state").string(),
                "TMPDIR=" + dir_.path().string()};
    }

    std::filesystem::path Scenario(const std::string& json) const {
        const std::filesystem::path file = dir_ / "scenario.json";
        WriteText(file, json);
        return file;
    }

    ProcessResult Program(const std::filesystem::path& scenario, const std::string& chip,
                          const std::filesystem::path& file, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"program",     "--chip", chip,    "--file",
                                         file.string(), "--yes",  "--json"};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunTxisp(args, Env(scenario));
    }

    TempDir dir_;
};

TEST_F(ProgramE2e, ProgramsOneDeviceOfEachKind) {
    struct Case {
        const char* Chip;
        const char* Firmware;
    };
    const Case cases[] = {
        {"TX5K3317", "firmware/TX5K3317.TX5"},
        {"TX64K36x", "firmware/TX64K36x.hex"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Chip);
        const ProcessResult result =
            Program(Example(std::string("sim/") + c.Chip + ".json"), c.Chip, Example(c.Firmware));
        ASSERT_EQ(result.ExitCode, 0) << result;
        const nlohmann::json document = ParseJson(result);
        ASSERT_TRUE(document.is_object()) << result;
        EXPECT_EQ(document["result"], "success");
        ASSERT_EQ(document["devices"].size(), 1u);
        const nlohmann::json& device = document["devices"][0];
        EXPECT_EQ(device["number"], 1);
        EXPECT_EQ(device["result"], "success");
        EXPECT_FALSE(device["physical_path"].get<std::string>().empty());
        EXPECT_FALSE(device["trace"].empty());
        EXPECT_NE(result.Err.find("Program successfully"), std::string::npos) << result;
    }
}

TEST_F(ProgramE2e, AllProgramsEveryDeviceOfAProductionLine) {
    const ProcessResult result = Program(Example("sim/production-line.json"), "TX5K3317",
                                         Example("firmware/TX5K3317.TX5"), {"--all"});
    ASSERT_EQ(result.ExitCode, 0) << result;
    const nlohmann::json document = ParseJson(result);
    ASSERT_EQ(document["devices"].size(), 3u) << result;
    std::vector<std::string> paths;
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(document["devices"][i]["number"], i + 1);
        EXPECT_EQ(document["devices"][i]["result"], "success");
        paths.push_back(document["devices"][i]["location"]);
    }
    // Each device's trace is its own: no device shows another's lines.
    EXPECT_NE(document["devices"][0]["trace"], document["devices"][1]["trace"]);
    EXPECT_NE(paths[0], paths[1]);
}

TEST_F(ProgramE2e, SeveralDevicesWithoutAChoiceAreAUsageError) {
    const ProcessResult result =
        Program(Example("sim/production-line.json"), "TX5K3317", Example("firmware/TX5K3317.TX5"));
    EXPECT_EQ(result.ExitCode, 2) << result;
    EXPECT_NE(result.Err.find("--all"), std::string::npos) << result;
}

TEST_F(ProgramE2e, AFailedVerifyFailsTheRun) {
    const std::filesystem::path scenario =
        Scenario(R"({"devices": [{"chip": "TX5K3317",
        "firmware": ")" +
                 Example("firmware/TX5K3317.TX5").string() +
                 R"(", "faults": {"wrong_checksum": "verify"}}]})");
    const ProcessResult result = Program(scenario, "TX5K3317", Example("firmware/TX5K3317.TX5"));
    ASSERT_EQ(result.ExitCode, 1) << result;
    const nlohmann::json document = ParseJson(result);
    EXPECT_EQ(document["result"], "failure");
    ASSERT_EQ(document["devices"].size(), 1u);
    EXPECT_EQ(document["devices"][0]["result"], "failure");
    EXPECT_NE(result.Err.find("Program fail"), std::string::npos) << result;
}

TEST_F(ProgramE2e, NoDeviceEndsWithExitThree) {
    const ProcessResult result =
        Program(Scenario(R"({"devices": []})"), "TX5K3317", Example("firmware/TX5K3317.TX5"));
    EXPECT_EQ(result.ExitCode, 3) << result;
    EXPECT_NE(result.Err.find("Can't Find USB HID Device!!"), std::string::npos) << result;
    EXPECT_EQ(ParseJson(result)["result"], "failure");
}

TEST_F(ProgramE2e, RefusesFirmwareFilesTheWindowWouldCarryOnWith) {
    WriteText(dir_ / "empty.hex", ":00000001FF\n");
    WriteText(dir_ / "firmware.txt", "not an image");
    struct Case {
        const char* Name;
        const char* Chip;
        std::filesystem::path File;
        const char* Message;
    };
    const Case cases[] = {
        {"TX5 header names another chip", "TX5K3317", Example("firmware/TX5K3307.TX5"),
         "Not a valid TX5 file!!"},
        {"file missing", "TX5K3317", dir_ / "missing.TX5", "missing.TX5"},
        {"neither HEX nor BIN", "TX64K36x", dir_ / "firmware.txt", "firmware.txt"},
        {"HEX without data", "TX64K36x", dir_ / "empty.hex", "empty.hex"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const ProcessResult result = Program(Example("sim/TX5K3317.json"), c.Chip, c.File);
        EXPECT_EQ(result.ExitCode, 5) << result;
        EXPECT_NE(result.Err.find(c.Message), std::string::npos) << result;
        EXPECT_EQ(ParseJson(result)["exit_code"], 5) << result;
    }
}

}  // namespace
}  // namespace txisp::cli::testing
