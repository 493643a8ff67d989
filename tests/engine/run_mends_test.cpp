// Where the run deliberately differs from the system it replaces: each device
// gets its own rolling value, an unreadable reply never passes for a good
// one, and a run is never left running under a program that closes.

#include <gtest/gtest.h>

#include <latch>
#include <set>

#include "engine_harness.h"
#include "platform/ini_profile.h"

namespace txisp::engine::testing {
namespace {

// The k-th device programmed successfully gets Count + k x Step; a failed
// device's value goes to the next one.
TEST_F(EngineTest, EachDeviceGetsItsOwnRollingValue) {
    const auto settings = state_ / "TX5K3317.INI";
    for (const auto& [key, value] :
         {std::pair{"Address", "0x100"}, {"Word_Length", "1"}, {"Count", "00FE"}, {"Step", "0002"}})
        ASSERT_TRUE(platform::WriteProfileString(settings, "Rolling Code", key, value));
    for (int i = 0; i < 3; ++i) {
        sim::SimDeviceConfig config = ExampleDevice("TX5K3317");
        config.Faults.WrongPassword = i == 1;
        Plug(config);
        LoadFirmware(config, 0);
    }
    Find(0);
    RunParams params = Params(0, 0b111);
    params.Rolling = RollingPlan{settings, rolling::RollingWidth::Words16};
    const RunReport report = Run(params);

    EXPECT_EQ(report.DevicesProgrammed, 2u);
    ASSERT_EQ(report.Devices.size(), 3u);
    EXPECT_EQ(report.Devices[0].RollingValue, "00fe");
    EXPECT_EQ(report.Devices[1].RollingValue, "0100");  // tried, not used up
    EXPECT_EQ(report.Devices[2].RollingValue, "0100");
    const auto value_in_flash = [&](int device) {
        const sim::SimDevice copy = bus_.Device(device);
        const auto flash = copy.Memory().Bytes();
        return HexText(flash.subspan(0x200, 2));
    };
    EXPECT_EQ(value_in_flash(0), "FE 00");
    EXPECT_EQ(value_in_flash(2), "00 01");
    // The run leaves Count to the caller, who advances it by the count.
    EXPECT_EQ(platform::ReadProfileString(settings, "Rolling Code", "Count", ""), "00FE");
}

TEST_F(EngineTest, RollingValueOutsideTheImageProgramsNothing) {
    const auto settings = state_ / "TX5K3317.INI";
    ASSERT_TRUE(platform::WriteProfileString(settings, "Rolling Code", "Address", "0x4200"));
    ASSERT_TRUE(platform::WriteProfileString(settings, "Rolling Code", "Word_Length", "1"));
    PlugExample("TX5K3317");
    RunParams params = Params(0);
    params.Rolling = RollingPlan{settings, rolling::RollingWidth::Words16};
    const RunReport report = Run(params);
    EXPECT_EQ(report.Result, kRunFailed);
    EXPECT_TRUE(bus_.Transcript().empty());
}

// A HID backend over the bus that fails chosen GET_REPORTs (counted from 1
// over the whole run) without the device seeing them.
class FailingReads final : public hid::HidBackend {
public:
    FailingReads(hid::HidBackend& inner, std::set<int> failing)
        : inner_(inner), failing_(std::move(failing)) {}
    std::vector<hid::HidInterfaceInfo> Enumerate(hid::InterfaceClass c) override {
        return inner_.Enumerate(c);
    }
    bool SetFeature(const std::string& path, std::span<const std::uint8_t> report) override {
        return inner_.SetFeature(path, report);
    }
    bool GetFeature(const std::string& path, std::span<std::uint8_t> report) override {
        if (failing_.count(++reads_) != 0) return false;
        return inner_.GetFeature(path, report);
    }
    std::unique_ptr<hid::DeviceNotifications> RegisterUsbNotification() override {
        return inner_.RegisterUsbNotification();
    }

private:
    hid::HidBackend& inner_;
    std::set<int> failing_;
    int reads_ = 0;
};

struct AckCase {
    const char* Name;
    std::set<int> FailingReads;
    bool Succeeds;
};

void PrintTo(const AckCase& c, std::ostream* out) {
    *out << c.Name;
}

class BlockAcknowledgement : public EngineTest, public ::testing::WithParamInterface<AckCase> {};

// Family 6 reads each block's acknowledgement, and once more when the first
// read shows none. Reads counted: one each for 0x20, 0x21, 0x22, the two
// option words, 0x23, the erase result, the blank check sum and 0x25; the
// acknowledgements of blocks 0, 1 and 2 follow from read 10.
TEST_P(BlockAcknowledgement, ReadThatFailsIsNoAcknowledgement) {
    const AckCase& c = GetParam();
    FailingReads backend(bus_, c.FailingReads);
    hid::HidDeviceTable table(backend);
    const sim::SimDeviceConfig config = ExampleDevice("TX5K33E28");
    Plug(config);
    LoadFirmware(config, 6);
    table.SetReportBlockSize(8);
    ASSERT_EQ(table.OpenHidDevice(kAppVid, kAppPid), hid::kHidOk);
    RunDependencies deps = Deps();
    RunDependencies with_failures{table,         deps.Clock,   deps.Image,
                                  deps.Observer, deps.Prompts, deps.StateFolder};
    const RunReport report = ProgramWorker(Params(6), with_failures);

    EXPECT_EQ(report.Result, c.Succeeds ? kRunSucceeded : kRunFailed);
    if (!c.Succeeds) {
        // Block 2 was the last one sent, and no trace line says so.
        const auto blocks = SentBlocks(bus_, 0, false);
        EXPECT_EQ(std::count_if(blocks.begin(), blocks.end(), [](const auto& b) { return b.Data; }),
                  3);
        EXPECT_FALSE(observer_.HasTrace("Program Failed!!"));
        EXPECT_NE(report.Devices[0].FirstFailure.find("not acknowledged"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Reads, BlockAcknowledgement,
                         ::testing::Values(AckCase{"FirstReadFails", {12}, true},
                                           AckCase{"BothReadsFail", {12, 13}, false}),
                         [](const auto& param) { return std::string(param.param.Name); });

// The raw programming report of a second device that cannot be read must
// not pass on what the first device's report left behind.
TEST_F(EngineTest, UnreadableProgrammingReportIsAVerifyFailure) {
    sim::SimDeviceConfig config = ExampleDevice("TX64K39x");
    Plug(config);
    // Its reads: the version, Enable Program's reply, the programming report.
    config.Faults.FailReceive = 3;
    Plug(config);
    LoadFirmware(config, 13);
    Find(13);
    const RunReport report = Run(Params(13, 0b11));

    EXPECT_EQ(report.Result, kRunFailed);
    ASSERT_EQ(report.Devices.size(), 2u);
    EXPECT_TRUE(report.Devices[0].Success);
    EXPECT_EQ(report.Devices[1].FirstFailure, "Data Verify Failed!!");
}

// The run's own waits: erase steps times the row's multiplier, 20 ms before
// the first block where the chip erases as it programs.
TEST_F(EngineTest, EraseStepsWaitTheRowsMultiplier) {
    const struct {
        const char* chip;
        firmware::ChipFamily family;
        long erase_step_waits;  // of the family's erase step delay
        long program_start_waits;
    } kCases[] = {
        {"TX64K36x", 9, 200, 0},
        {"TX64K38x", 10, 100, 0},
        {"TX64K39x", 13, 0, 1},
        {"TX5K3317", 0, 100, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.chip);
        platform::VirtualClock clock;
        sim::SimBus bus(clock);
        hid::HidDeviceTable table(bus);
        const sim::SimDeviceConfig config = ExampleDevice(c.chip);
        ASSERT_TRUE(bus.Plug(config).ok());
        LoadFirmware(config, c.family);
        table.SetReportBlockSize(static_cast<int>(firmware::ReportBlockSize(c.family)));
        ASSERT_EQ(table.OpenHidDevice(kAppVid, kAppPid), hid::kHidOk);
        const RunReport report = ProgramWorker(
            Params(c.family), {table, clock, image_, observer_, prompts_, std::nullopt});
        EXPECT_EQ(report.Result, kRunSucceeded);

        const std::uint32_t step = IspTimingFor(c.family).EraseStepDelayMs;
        long erase_steps = 0;
        long program_start = 0;
        for (const auto& w : clock.Waits()) {
            erase_steps += w.Kind == platform::WaitKind::Busy && w.Ms == step;
            program_start += w.Kind == platform::WaitKind::Busy && w.Ms == 20;
        }
        EXPECT_EQ(erase_steps, c.erase_step_waits);
        EXPECT_EQ(program_start, c.program_start_waits);
    }
}

// --- The worker thread --------------------------------------------------------------

// Answers the crystal question once the test lets it.
class HeldPrompts final : public platform::Prompts {
public:
    void ShowMessage(std::string_view, std::string_view) override {}
    bool AskYesNo(std::string_view, std::string_view) override {
        asked.count_down();
        answer.wait();
        return true;
    }
    std::latch asked{1};
    std::latch answer{1};
};

TEST_F(EngineTest, RunWaitsOnItsThreadWhileTheQuestionIsOpen) {
    sim::SimDeviceConfig config = ExampleDevice("TX5K3317");
    config.Faults.CrystalMismatch = true;
    Plug(config);
    LoadFirmware(config, 0);
    Find(0);
    HeldPrompts prompts;
    ASSERT_TRUE(table_.Release());
    ProgramRun run;
    ASSERT_TRUE(run.Start(Params(0), {table_, clock_, image_, observer_, prompts, state_.path()}));
    prompts.asked.wait();
    EXPECT_TRUE(run.Running());
    EXPECT_FALSE(run.Start(Params(0), Deps()));  // one run at a time
    prompts.answer.count_down();
    run.Wait();
    EXPECT_FALSE(run.Running());
    ASSERT_TRUE(table_.Claim());
    EXPECT_EQ(observer_.Report()->Result, kRunSucceeded);
}

// Closing the program ends the ProgramRun: it waits for the run, which
// still uses the table, the image and the observer.
TEST_F(EngineTest, EndingTheRunObjectWaitsForTheRun) {
    PlugExample("TX5K3317", 2);
    ASSERT_TRUE(table_.Release());
    {
        ProgramRun run;
        ASSERT_TRUE(run.Start(Params(0, 0b11), Deps()));
    }
    ASSERT_TRUE(observer_.Report().has_value());
    EXPECT_EQ(observer_.Report()->Result, kRunSucceeded);
    EXPECT_TRUE(table_.Claim());
}

TEST_F(EngineTest, RunWithoutTheTableProgramsNothing) {
    PlugExample("TX5K3317");
    // The window still holds the table: the worker cannot claim it.
    ProgramRun run;
    ASSERT_TRUE(run.Start(Params(0), Deps()));
    run.Wait();
    EXPECT_EQ(observer_.Report()->Result, kRunFailed);
    EXPECT_TRUE(bus_.Transcript().empty());
}

}  // namespace
}  // namespace txisp::engine::testing
