// What a run leaves behind for later: a trace log per run and a line per
// device in the production record.

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>

#include "engine/production_record.h"
#include "engine/trace_log_file.h"
#include "engine_harness.h"
#include "firmware/checksums.h"

namespace txisp::engine::testing {
namespace {

std::vector<std::string> Lines(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class RunRecordsTest : public EngineTest {
protected:
    // Three devices of the production-line kind; the second refuses the
    // password.
    RunReport RunLine() {
        for (int i = 0; i < 3; ++i) {
            sim::SimDeviceConfig config = ExampleDevice("TX5K3317");
            config.Interfaces = {sim::SimInterface{}};
            config.Interfaces[0].Serial = "LINE-" + std::to_string(i + 1);
            config.Faults.WrongPassword = i == 1;
            Plug(config);
            LoadFirmware(config, 0);
        }
        Find(0);
        RunParams params = Params(0, 0b111);
        params.ChipName = "TX5K3317";
        return Run(params);
    }
};

TEST_F(RunRecordsTest, EachDeviceGetsAProductionRecordLine) {
    const RunReport report = RunLine();
    const std::vector<std::string> lines = Lines(state_ / "production.jsonl");
    ASSERT_EQ(lines.size(), 3u);
    const std::string checksum = [&] {
        char text[8];
        std::snprintf(text, sizeof text, "0x%04X",
                      firmware::ByteSum16(std::span(image_.Tx5ImageBuffer).first(0x4000)));
        return std::string(text);
    }();
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const auto line = nlohmann::json::parse(lines[static_cast<std::size_t>(i)]);
        EXPECT_EQ(line["device"], i + 1);
        EXPECT_EQ(line["location"],
                  "sim-usb-" + std::to_string(i + 1) + "/input0 LINE-" + std::to_string(i + 1));
        EXPECT_EQ(line["device_path"],
                  report.Devices[static_cast<std::size_t>(i)].Device.DevicePath);
        EXPECT_EQ(line["chip"], "TX5K3317");
        EXPECT_EQ(line["family"], 0);
        EXPECT_EQ(line["device_version"], "00 01 00 00");
        EXPECT_EQ(line["image_checksum"], checksum);
        EXPECT_TRUE(line["rolling_value"].is_null());
        EXPECT_EQ(line["trace_log"], report.TraceLog->string());
        EXPECT_TRUE(std::regex_match(line["time"].get<std::string>(),
                                     std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)")));
        if (i == 1) {
            EXPECT_EQ(line["result"], "failure");
            EXPECT_EQ(line["failure"], "Command Response :Compare ISP Password (0x02) Failed!!");
        } else {
            EXPECT_EQ(line["result"], "success");
            EXPECT_TRUE(line["failure"].is_null());
        }
    }
    // Appended, never rewritten.
    RunLine();
    EXPECT_EQ(Lines(state_ / "production.jsonl").size(), 6u);
}

TEST_F(RunRecordsTest, TraceLogHoldsTheRunsTraceTimeStamped) {
    const RunReport report = RunLine();
    ASSERT_TRUE(report.TraceLog);
    EXPECT_EQ(report.TraceLog->parent_path(), state_ / "logs");
    const std::vector<std::string> lines = Lines(*report.TraceLog);
    const std::regex stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  .+)");
    for (const std::string& line : lines)
        EXPECT_TRUE(std::regex_match(line, stamped)) << line;
    const auto has = [&](std::string_view text) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& line) { return line.ends_with(text); });
    };
    EXPECT_TRUE(has("  ----VID: 5E3A  PID: 3442-----  No. 002"));
    EXPECT_TRUE(has("  Command Response :Compare ISP Password (0x02) Failed!!"));
    EXPECT_TRUE(has("  Data Verify OK!!"));
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(std::regex_search(lines.back(), std::regex(R"(  Total Time = \d+\.\d sec$)")));
}

TEST_F(RunRecordsTest, OnlyTheNewestFiftyTraceLogsAreKept) {
    const auto logs = state_ / "logs";
    std::filesystem::create_directories(logs);
    for (int i = 0; i < 55; ++i) {
        char name[40];
        std::snprintf(name, sizeof name, "run-20000101-000000-%03d.log", i);
        txisp::testing::WriteText(logs / name, "old\n");
    }
    txisp::testing::WriteText(logs / "notes.txt", "kept\n");
    const RunReport report = RunLine();

    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(logs))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names.size(), 51u);
    EXPECT_EQ(names.front(), "notes.txt");
    EXPECT_EQ(names[1], "run-20000101-000000-006.log");
    EXPECT_EQ(names.back(), report.TraceLog->filename().string());
}

TEST_F(RunRecordsTest, RunSucceedsWhereNothingCanBeWritten) {
    // A file where the state folder should be.
    const auto blocked = state_ / "not-a-folder";
    txisp::testing::WriteText(blocked, "");
    PlugExample("TX5K3317");
    RunDependencies deps = Deps();
    const RunReport report = ProgramWorker(
        Params(0), {deps.Table, deps.Clock, deps.Image, deps.Observer, deps.Prompts, blocked});
    EXPECT_EQ(report.Result, kRunSucceeded);
    EXPECT_FALSE(report.TraceLog);
}

TEST(TraceLogFileTest, RunsStartedTogetherGetAFileEach) {
    txisp::testing::TempDir state;
    TraceLogFile first;
    TraceLogFile second;
    ASSERT_TRUE(first.Open(state.path()).ok());
    ASSERT_TRUE(second.Open(state.path()).ok());
    ASSERT_TRUE(first.Path() && second.Path());
    EXPECT_NE(*first.Path(), *second.Path());
    // The later one sorts later, suffix or not.
    EXPECT_LT(first.Path()->filename(), second.Path()->filename());
}

TEST(TraceLogFileNameTest, SortsByTime) {
    using namespace std::chrono;
    const auto t = system_clock::now();
    const std::string a = TraceLogFileName(t);
    const std::string b = TraceLogFileName(t + milliseconds(7));
    const std::string c = TraceLogFileName(t + hours(30));
    EXPECT_TRUE(std::regex_match(a, std::regex(R"(run-\d{8}-\d{6}-\d{3}\.log)"))) << a;
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
}

}  // namespace
}  // namespace txisp::engine::testing
