// Devices that fail: what ends them, what the run reports, and that a run
// always ends.

#include <gtest/gtest.h>

#include <functional>

#include "engine_harness.h"

namespace txisp::engine::testing {
namespace {

using Configure = std::function<void(sim::SimDeviceConfig&)>;

struct FailureCase {
    const char* Name;
    const char* Chip;
    Configure Fault;
    bool Succeeds;
    std::string Trace;         // the failure line, or a line traced on the way
    std::optional<int> Phase;  // the last phase begun
};

void PrintTo(const FailureCase& c, std::ostream* out) {
    *out << c.Name;
}

class DeviceFailure : public EngineTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DeviceFailure, EndsTheDeviceWithItsTrace) {
    const FailureCase& c = GetParam();
    sim::SimDeviceConfig config = ExampleDevice(c.Chip);
    c.Fault(config);
    Plug(config);
    const firmware::ChipFamily family = firmware::FindChipFamily(c.Chip, firmware::kNoFamily);
    LoadFirmware(config, family);
    Find(family);
    const RunReport report = Run(Params(family));

    EXPECT_EQ(report.Result, c.Succeeds ? kRunSucceeded : kRunFailed);
    EXPECT_TRUE(observer_.HasTrace(c.Trace)) << ::testing::PrintToString(observer_.Traces());
    ASSERT_EQ(report.Devices.size(), 1u);
    if (!c.Succeeds) {
        EXPECT_EQ(report.Devices[0].FirstFailure, c.Trace);
        // A failed device stays in its boot loader.
        EXPECT_EQ(bus_.Device(0).Mode(), sim::DeviceMode::BootLoader);
    }
    EXPECT_EQ(report.Phase, c.Phase);
}

// clang-format off
const FailureCase kFailures[] = {
    {"WrongPassword", "TX5K3317",
     [](auto& d) { d.Faults.WrongPassword = true; },
     false, "Command Response :Compare ISP Password (0x02) Failed!!", std::nullopt},
    // The TX64 password request is send-only: a chip that stays locked
    // refuses the erase, and the erase report says so.
    {"Tx64ChipStaysLocked", "TX64K36x",
     [](auto& d) { d.Faults.WrongPassword = true; },
     false, "Blank Check Failed!!", 0},
    {"BlankCheckFailed", "TX5K3358",
     [](auto& d) { d.Faults.WrongChecksum = sim::ChecksumFault::Blank; },
     false, "Blank Check Failed!!", 0},
    {"Tx64BlankCheckFailed", "TX64K38x",
     [](auto& d) { d.Faults.WrongChecksum = sim::ChecksumFault::Blank; },
     false, "Blank Check Failed!!", 0},
    // Sends counted: boot, 01, 02, 09, 09, 03, 04, 06, 05, then the blocks.
    {"DataBlockNotSent", "TX5K3317",
     [](auto& d) { d.Faults.FailSend = 20; },
     false, "Program Failed!!", 1},
    // Sends counted: boot, 01, 05, then the blocks.
    {"Tx64DataBlockNotSent", "TX64K39x",
     [](auto& d) { d.Faults.FailSend = 10; },
     false, "Program Failed!!", 1},
    {"VerifyFailed", "TX5K3307B",
     [](auto& d) { d.Faults.WrongChecksum = sim::ChecksumFault::Verify; },
     false, "Data Verify Failed!!", 1},
    {"Tx64VerifyFailed", "TX64K36xB",
     [](auto& d) { d.Faults.WrongChecksum = sim::ChecksumFault::Verify; },
     false, "Data Verify Failed!!", 1},
    {"OptionPageBlankCheckFailed", "TX5K3390D",
     [](auto& d) { d.Faults.WrongChecksum = sim::ChecksumFault::Option; },
     false, "Code Option Blank Check Failed!!", 1},
    {"Family12OptionPageBlankCheckFailed", "TX5K33E55B",
     [](auto& d) { d.Faults.WrongChecksum = sim::ChecksumFault::Option; },
     false, "Code Option Blank Check Failed!!", 1},
    {"EraseRefused", "TX5K3317",
     [](auto& d) { d.Faults.Nak = 0x04; },
     false, "Command Response :Enable Erase (0x04) Failed!!", 0},
    {"PolledEraseRefused", "TX5K33E28",
     [](auto& d) { d.Faults.Nak = 0x24; },
     false, "Command Response :Enable Erase (0x24) Failed!!", 0},
    {"PolledReplyWithWrongHeader", "TX5K33E28",
     [](auto& d) { d.Faults.WrongHeader = 0x22; },
     false, "Command Header :Compare ISP Password (0x02) Failed!!", std::nullopt},
    // Busy for good: the 50th busy reply ends the wait, and F0 F0 is no
    // family's version.
    {"PolledDeviceBusyForever", "TX5K33E28",
     [](auto& d) { d.Faults.BusyForever = true; },
     false, "Command Response :FW Version is not for this chip.  Failed!!", std::nullopt},
    // Not failures: protected options are left alone.
    {"ProtectedCodeOptionsAreLeftAlone", "TX5K3317",
     [](auto& d) { d.Faults.ProtectedCodeOptions = true; },
     true, "Security bit is Enabled. Code Option can not be updated!!", 1},
    {"ProtectedOptionPageIsLeftAlone", "TX5K3390D",
     [](auto& d) { d.Faults.ProtectedCodeOptions = true; },
     true, "Security bit is Enabled. Code Option can not be updated!!", 1},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Faults, DeviceFailure, ::testing::ValuesIn(kFailures),
                         [](const auto& param) { return std::string(param.param.Name); });

// --- The crystal question --------------------------------------------------------

class CrystalQuestion : public EngineTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CrystalQuestion, DecidesWhetherTheDeviceIsProgrammed) {
    const bool yes = GetParam();
    sim::SimDeviceConfig config = ExampleDevice("TX5K3317");
    config.Faults.CrystalMismatch = true;
    Plug(config);
    LoadFirmware(config, 0);
    Find(0);
    prompts_.QueueAnswer(yes);
    const RunReport report = Run(Params(0));

    EXPECT_EQ(
        prompts_.prompts(),
        std::vector{txisp::testing::Question(
            "Error", "X'tal setting in code option does not match!! Do you want to continue?")});
    EXPECT_EQ(report.Result, yes ? kRunSucceeded : kRunFailed);
    if (!yes) {
        // Nothing erased, and no failure line.
        const auto requests = SentRequests(bus_, 0, false, 1);
        EXPECT_EQ(std::count(requests.begin(), requests.end(), "04"), 0);
        const auto traces = observer_.Traces();
        EXPECT_TRUE(std::none_of(traces.begin(), traces.end(),
                                 [](const std::string& t) { return t.ends_with("Failed!!"); }));
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, CrystalQuestion, ::testing::Values(false, true),
                         [](const auto& param) { return param.param ? "Yes" : "No"; });

// --- Several devices ------------------------------------------------------------------

TEST_F(EngineTest, MaskWithAGapProgramsTheSelectedDevicesOnly) {
    PlugExample("TX5K3317", 3);
    const RunReport report = Run(Params(0, 0b101));

    EXPECT_EQ(report.Result, kRunSucceeded);
    ASSERT_EQ(report.Devices.size(), 2u);
    EXPECT_EQ(report.Devices[0].Device.DeviceNumber, 1);
    EXPECT_EQ(report.Devices[1].Device.DeviceNumber, 3);
    EXPECT_TRUE(observer_.HasTrace("----VID: 5E3A  PID: 3442-----  No. 001"));
    EXPECT_TRUE(observer_.HasTrace("----VID: 5E3A  PID: 3442-----  No. 003"));
    // One pause per position of the mask, the unselected one included.
    EXPECT_EQ(CountWaits(platform::WaitKind::Busy, kDevicePauseMs), 3);
    const auto transcript = bus_.Transcript();
    EXPECT_TRUE(std::none_of(transcript.begin(), transcript.end(),
                             [](const sim::Transfer& t) { return t.Device == 1; }));
    EXPECT_EQ(bus_.Device(0).Mode(), sim::DeviceMode::Application);
    EXPECT_EQ(bus_.Device(2).Mode(), sim::DeviceMode::Application);
}

// The run's result is success only when every selected device made it;
// which one failed does not matter.
struct ResultCase {
    const char* Name;
    std::int32_t Mask;
    int FailingDevice;  // -1: none
    RunResult Result;
    std::uint64_t Programmed;
};

void PrintTo(const ResultCase& c, std::ostream* out) {
    *out << c.Name;
}

class RunResultRule : public EngineTest, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(RunResultRule, NeedsEverySelectedDevice) {
    const ResultCase& c = GetParam();
    for (int i = 0; i < 2; ++i) {
        sim::SimDeviceConfig config = ExampleDevice("TX5K3317");
        config.Faults.WrongPassword = i == c.FailingDevice;
        Plug(config);
        LoadFirmware(config, 0);
    }
    Find(0);
    const RunReport report = Run(Params(0, c.Mask));
    EXPECT_EQ(report.Result, c.Result);
    EXPECT_EQ(report.DevicesProgrammed, c.Programmed);
    EXPECT_EQ(observer_.Report()->Result, c.Result);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Devices, RunResultRule, ::testing::Values(
    ResultCase{"FirstFails",   0b11, 0,  kRunFailed,    1},
    ResultCase{"SecondFails",  0b11, 1,  kRunFailed,    1},
    ResultCase{"BothSucceed",  0b11, -1, kRunSucceeded, 2},
    ResultCase{"OneAndItFails", 0b01, 0, kRunFailed,    0},
    ResultCase{"OneSucceeds",  0b10, 0,  kRunSucceeded, 1},
    ResultCase{"NoneSelected", 0,    -1, kRunFailed,    0}),
    [](const auto& param) { return std::string(param.param.Name); });
// clang-format on

TEST_F(EngineTest, PositionWithoutADeviceIsNotProgrammedAsTheFirstDevice) {
    PlugExample("TX5K3317", 1);
    const RunReport report = Run(Params(0, 0b10));
    EXPECT_EQ(report.Result, kRunFailed);
    ASSERT_EQ(report.Devices.size(), 1u);
    EXPECT_EQ(report.Devices[0].Device.DeviceNumber, 2);
    EXPECT_TRUE(bus_.Transcript().empty());
}

TEST_F(EngineTest, FamilyWithoutARoutineProgramsNothing) {
    PlugExample("TX5K3317", 1);
    const RunReport report = Run(Params(15));
    EXPECT_EQ(report.Result, kRunFailed);
    EXPECT_TRUE(bus_.Transcript().empty());
}

// --- Unplugged in the middle ------------------------------------------------------------

TEST_F(EngineTest, DeviceUnpluggedWhileProgrammingFailsTheRunAndWorksAgainWhenBack) {
    sim::SimDeviceConfig config = ExampleDevice("TX5K3317");
    // Transfers counted: boot 1, five exchanges to 11, erase 12 and 13, the
    // check sum and Enable Program to 17, then a hundred blocks.
    config.Faults.UnplugAfter = 117;
    Plug(config);
    LoadFirmware(config, 0);
    Find(0);
    ASSERT_TRUE(table_.Release());
    ProgramRun run;
    ASSERT_TRUE(run.Start(Params(0), Deps()));
    ASSERT_TRUE(observer_.WaitForFinish(std::chrono::seconds(30)));
    run.Wait();
    ASSERT_TRUE(table_.Claim());

    const RunReport first = *observer_.Report();
    EXPECT_EQ(first.Result, kRunFailed);
    EXPECT_EQ(first.Devices[0].FirstFailure, "Program Failed!!");
    EXPECT_FALSE(bus_.IsPresent(0));

    // Back on the bus it starts its boot loader, under the family's boot
    // identity, and takes the whole image again.
    bus_.Replug(0);
    observer_.Clear();
    Find(0, 0x5E3A, 0x7300);
    RunParams params = Params(0);
    params.Vid = 0x5E3A;
    params.Pid = 0x7300;
    const RunReport second = Run(params);
    EXPECT_EQ(second.Result, kRunSucceeded) << second.Devices[0].FirstFailure;
}

}  // namespace
}  // namespace txisp::engine::testing
