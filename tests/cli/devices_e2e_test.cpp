// txisp list and txisp info against simulated buses, run as a user runs them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "txisp_runner.h"

namespace txisp::cli::testing {
namespace {

using txisp::testing::TempDir;
using txisp::testing::WriteText;

// Scenarios the shipped examples do not cover, written per test.
class DevicesE2e : public ::testing::Test {
protected:
    std::string Scenario(const std::string& name, const std::string& json) {
        const std::filesystem::path file = dir_ / (name + ".json");
        WriteText(file, json);
        return SimEnv(file);
    }

    std::string EmptyBus() { return Scenario("empty", R"({"devices": []})"); }
    std::string PermissionDenied() {
        return Scenario("denied", R"({"devices": [{"chip": "TX5K3317",
            "interfaces": [{"open_error": "permission denied"}]}]})");
    }
    std::string BootLoader(const std::string& chip) {
        return Scenario("boot",
                        R"({"devices": [{"chip": ")" + chip + R"(", "mode": "boot-loader"}]})");
    }

    TempDir dir_;
};

TEST_F(DevicesE2e, ListShowsEveryDeviceOfAProductionLine) {
    const ProcessResult result = RunTxisp({"list"}, {SimEnv(Example("sim/production-line.json"))});
    ASSERT_EQ(result.ExitCode, 0) << result;
    for (const char* serial : {"LINE-1", "LINE-2", "LINE-3"}) {
        EXPECT_NE(result.Out.find(serial), std::string::npos) << serial << "\n" << result;
    }
    EXPECT_NE(result.Out.find("application"), std::string::npos) << result;
}

TEST_F(DevicesE2e, ListJsonCarriesTheDocumentedKeys) {
    const ProcessResult result =
        RunTxisp({"list", "--json"}, {SimEnv(Example("sim/production-line.json"))});
    ASSERT_EQ(result.ExitCode, 0) << result;
    const nlohmann::json listing = ParseJson(result);
    ASSERT_TRUE(listing.is_array()) << result;
    ASSERT_EQ(listing.size(), 3u);
    const nlohmann::json& first = listing[0];
    EXPECT_EQ(first["vid"], 0x5E3A);
    EXPECT_EQ(first["pid"], 0x3442);
    EXPECT_EQ(first["mode"], "application");
    EXPECT_TRUE(first["family"].is_null());
    EXPECT_EQ(first["serial"], "LINE-1");
    EXPECT_EQ(first["physical_path"], "sim-usb-1/input0");
    EXPECT_EQ(first["accessible"], true);
    EXPECT_TRUE(first["path"].is_string());
}

// 0x7900 is the boot identity of families 9, 10 and 11 alike.
TEST_F(DevicesE2e, ListGuessesTheFamilyOfABootLoaderAndChipSettlesIt) {
    const std::string scenario = BootLoader("TX64K38x");
    struct Case {
        std::vector<std::string> Args;
        int Family;
    };
    const Case cases[] = {
        {{"list", "--json"}, 9},
        {{"list", "--json", "--chip", "TX64K38x"}, 10},
        {{"list", "--json", "--chip", "TX5K3317"}, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Args.back());
        const ProcessResult result = RunTxisp(c.Args, {scenario});
        ASSERT_EQ(result.ExitCode, 0) << result;
        const nlohmann::json listing = ParseJson(result);
        ASSERT_EQ(listing.size(), 1u) << result;
        EXPECT_EQ(listing[0]["mode"], "bootloader");
        EXPECT_EQ(listing[0]["pid"], 0x7900);
        EXPECT_EQ(listing[0]["family"], c.Family);
    }
}

TEST_F(DevicesE2e, InfoShowsTheWindowsTexts) {
    struct Case {
        const char* Scenario;
        std::vector<std::string> Extra;
    };
    // The TX64 device has 65-byte reports: found without --chip too.
    const Case cases[] = {
        {"sim/TX5K3317.json", {}},
        {"sim/TX64K39x.json", {}},
        {"sim/TX64K39x.json", {"--chip", "TX64K39x"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Scenario);
        std::vector<std::string> args = {"info", "--json"};
        args.insert(args.end(), c.Extra.begin(), c.Extra.end());
        const ProcessResult result = RunTxisp(args, {SimEnv(Example(c.Scenario))});
        ASSERT_EQ(result.ExitCode, 0) << result;
        const nlohmann::json info = ParseJson(result);
        EXPECT_EQ(info["vid_text"], "0x5E3A") << result;
        EXPECT_EQ(info["pid_text"], "0x3442");
        EXPECT_EQ(info["rev_text"], "0x100");
        EXPECT_EQ(info["version"], 0x0100);
    }
    const ProcessResult text = RunTxisp({"info"}, {SimEnv(Example("sim/TX5K3317.json"))});
    EXPECT_EQ(text.Out, "VID: 0x5E3A\nPID: 0x3442\nREV: 0x100\n") << text;
}

TEST_F(DevicesE2e, InfoPicksOneOfSeveralDevices) {
    const ProcessResult result = RunTxisp({"info", "--json", "--device", "3"},
                                          {SimEnv(Example("sim/production-line.json"))});
    ASSERT_EQ(result.ExitCode, 0) << result;
    const nlohmann::json info = ParseJson(result);
    EXPECT_EQ(info["device"], 3);
    EXPECT_EQ(info["device_count"], 3);
    EXPECT_NE(info["location"].get<std::string>().find("LINE-3"), std::string::npos) << result;

    const ProcessResult beyond =
        RunTxisp({"info", "--device", "4"}, {SimEnv(Example("sim/production-line.json"))});
    EXPECT_EQ(beyond.ExitCode, 3) << beyond;
}

TEST_F(DevicesE2e, FailuresEndWithTheirExitCodes) {
    struct Case {
        const char* Name;
        std::vector<std::string> Args;
        std::string Env;
        int ExitCode;
        std::vector<std::string> ErrMentions;
    };
    const Case cases[] = {
        {"no device", {"info"}, EmptyBus(), 3, {"Can't Find USB HID Device!!"}},
        {"no device after waiting",
         {"info", "--wait", "0.3"},
         EmptyBus(),
         3,
         {"Can't Find USB HID Device!!"}},
        {"no device to list", {"list"}, EmptyBus(), 3, {"no device"}},
        {"permission, info", {"info"}, PermissionDenied(), 4, {"sim:1/0", "70-txisp.rules"}},
        {"permission, list", {"list"}, PermissionDenied(), 4, {"sim:1/0", "70-txisp.rules"}},
        {"boot loader has no version",
         {"info", "--chip", "TX5K3317"},
         BootLoader("TX5K3317"),
         1,
         {"boot loader"}},
        {"unknown chip",
         {"info", "--chip", "TX5K3317x"},
         EmptyBus(),
         2,
         {"TX5K3317", "TX5K3355B", "TX5K33E28", "TX64K36xB"}},
        {"bad VID", {"list", "--vid", "5E3AB"}, EmptyBus(), 2, {"5E3AB"}},
        {"bad scenario", {"list"}, "TXISP_SIM=/nonexistent/scenario.json", 2, {"TXISP_SIM"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const ProcessResult result = RunTxisp(c.Args, {c.Env});
        EXPECT_EQ(result.ExitCode, c.ExitCode) << result;
        for (const std::string& text : c.ErrMentions) {
            EXPECT_NE(result.Err.find(text), std::string::npos) << text << "\n" << result;
        }
    }
}

TEST_F(DevicesE2e, JsonFailureIsStillOneDocument) {
    struct Case {
        std::vector<std::string> Args;
        int ExitCode;
        const char* Error;
    };
    const Case cases[] = {
        {{"info", "--json"}, 3, "Can't Find USB HID Device!!"},
        {{"info", "--json", "--chip", "TX5K331"}, 2, "TX5K3317"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Error);
        const ProcessResult result = RunTxisp(c.Args, {EmptyBus()});
        EXPECT_EQ(result.ExitCode, c.ExitCode);
        const nlohmann::json document = ParseJson(result);
        EXPECT_EQ(document["exit_code"], c.ExitCode) << result;
        EXPECT_NE(document["error"].get<std::string>().find(c.Error), std::string::npos) << result;
    }
}

TEST_F(DevicesE2e, VerboseAndLogCarryTheTrace) {
    const std::filesystem::path log = dir_ / "run.log";
    const ProcessResult result =
        RunTxisp({"info", "-vvv", "--log", log.string()}, {SimEnv(Example("sim/TX5K3317.json"))});
    ASSERT_EQ(result.ExitCode, 0) << result;
    // The device-information request as it went over the wire.
    const std::string request = "AA 55 A5 5A FF 00 33 01";
    EXPECT_NE(result.Err.find(request), std::string::npos) << result;
    EXPECT_EQ(result.Out.find(request), std::string::npos) << "the trace belongs on stderr";
    const std::string logged = txisp::testing::ReadText(log);
    EXPECT_NE(logged.find(request), std::string::npos) << logged;
    EXPECT_NE(logged.find("exit code 0"), std::string::npos) << logged;
}

TEST_F(DevicesE2e, VersionAndUsage) {
    const ProcessResult version = RunTxisp({"--version"});
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_TRUE(version.Out.starts_with("txisp ")) << version;
    EXPECT_EQ(RunTxisp({}).ExitCode, 2);
    EXPECT_EQ(RunTxisp({"frobnicate"}).ExitCode, 2);
    EXPECT_EQ(RunTxisp({"--help"}).ExitCode, 0);
}

}  // namespace
}  // namespace txisp::cli::testing
