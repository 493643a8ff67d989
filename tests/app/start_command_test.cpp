// The Start command: the checks that stop it, in their order and with their
// messages; the device mask the device list gives; Enter while a run is
// going; the command's own waits.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "main_dialog_harness.h"

namespace txisp::app::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr std::string_view kTitle = "TX5 ISP Update Tool";

enum class Situation {
    PasswordEmpty,
    PasswordShort,
    PasswordLetter,
    NoDevice,
    DeviceListCancelled,
    Tx5FileGone,
    NoTx5FileChosen,
};

struct StartFailure {
    const char* Name;
    Situation What;
    std::vector<Prompt> Seen;
    std::uint8_t MaskAfter;
};

void PrintTo(const StartFailure& failure, std::ostream* out) {
    *out << failure.Name;
}

class StartFailureTest : public MainDialogTest, public ::testing::WithParamInterface<StartFailure> {
protected:
    void Prepare(Situation what) {
        switch (what) {
            case Situation::PasswordEmpty:
            case Situation::PasswordShort:
            case Situation::PasswordLetter:
                Plug(SampleProductDevice());
                Open(SampleProductBundle());
                view_.Type(ControlId::PasswordBox, what == Situation::PasswordEmpty   ? ""
                                                   : what == Situation::PasswordShort ? "4017295"
                                                                                      : "4017295a");
                return;
            case Situation::NoDevice:
                Open(SampleProductBundle());
                return;
            case Situation::DeviceListCancelled:
                Plug(SampleProductDevice());
                Plug(SampleProductDevice());
                Open(SampleProductBundle());
                view_.AnswerDevices(std::nullopt);
                return;
            case Situation::Tx5FileGone: {
                Plug(ExampleDevice("TX5K3317"));
                Open();
                const fs::path file = CopyFirmware("TX5K3317.TX5");
                LoadFile("TX5K3317", file);
                ASSERT_EQ(State().ControlMask, 0xFA);
                fs::remove(file);
                return;
            }
            case Situation::NoTx5FileChosen:
                Plug(ExampleDevice("TX5K3317"));
                Open();
                return;
        }
    }
};

TEST_P(StartFailureTest, StopsWithItsMessagesAndLeavesTheDialogAsItWas) {
    const StartFailure& failure = GetParam();
    Prepare(failure.What);
    const std::vector<std::string> log_before = view_.Log();
    prompts_.Clear();
    bus_.ClearTranscript();

    Dialog().OnStart();

    EXPECT_THAT(Prompts(), ElementsAreArray(failure.Seen));
    EXPECT_FALSE(State().Busy);
    EXPECT_EQ(State().ControlMask, failure.MaskAfter);
    EXPECT_EQ(view_.Log(), log_before);
    for (const sim::Transfer& transfer : bus_.Transcript()) {
        EXPECT_NE(transfer.Direction, sim::TransferDirection::Set)
            << "nothing is written to a device before the run";
    }
    EXPECT_FALSE(Dialog().LastRunReport().has_value());
}

const Prompt kWrongFormat = Message("Error", "Wrong Password Format!!");
const Prompt kLoadFailed = Message("Error", "Load TX5 File Failed!!");

INSTANTIATE_TEST_SUITE_P(
    Checks, StartFailureTest,
    ::testing::Values(
        StartFailure{"password empty",
                     Situation::PasswordEmpty,
                     {Message(kTitle, "Password should be entered!!"), kWrongFormat},
                     0xFA},
        StartFailure{"password of seven digits",
                     Situation::PasswordShort,
                     {Message(kTitle, "Password should be 8 characters!!"), kWrongFormat},
                     0xFA},
        StartFailure{"password with a letter",
                     Situation::PasswordLetter,
                     {Message(kTitle, "Only 0 ~ 9 can be filled!!"), kWrongFormat},
                     0xFA},
        StartFailure{"no device",
                     Situation::NoDevice,
                     {Message("Error", "Can't Find USB HID Device!!")},
                     0xFA},
        StartFailure{"device list cancelled", Situation::DeviceListCancelled, {}, 0xFA},
        // The firmware-loaded bit goes with the file.
        StartFailure{"TX5 file gone since Load File", Situation::Tx5FileGone, {kLoadFailed}, 0xF2},
        StartFailure{"no TX5 file chosen", Situation::NoTx5FileChosen, {kLoadFailed}, 0xF2}),
    [](const ::testing::TestParamInfo<StartFailure>& param) {
        std::string name = param.param.Name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

// Which devices a run programs, by how many are present and what the
// operator ticks.
TEST_F(MainDialogTest, DeviceMaskFollowsTheDeviceList) {
    const struct {
        const char* name;
        int devices;
        std::optional<std::int32_t> ticked;  // nullopt: no list expected
        std::vector<int> programmed;         // device numbers
        const char* result_line;
        std::vector<std::uint32_t> waits;  // the 200, 250 and 500 ms busy waits
    } kCases[] = {
        {"one device, no list", 1, std::nullopt, {1}, "Program successfully", {200, 500, 500}},
        {"rows 0 and 2 of three",
         3,
         5,
         {1, 3},
         "Program successfully",
         {200, 250, 500, 500, 500, 500}},
        // Confirmed with nothing ticked: a run over no device, which fails.
        {"none of three ticked", 3, 0, {}, "Program fail", {200, 250, 500}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Restart();
        for (int i = 0; i < c.devices; ++i)
            Plug(SampleProductDevice());
        Open(SampleProductBundle());
        if (c.ticked) view_.AnswerDevices(*c.ticked);
        const std::size_t lists_before = view_.DeviceLists().size();
        const std::size_t log_before = view_.Log().size();
        clock_.ClearWaits();

        StartAndFinish();

        EXPECT_EQ(view_.DeviceLists().size() - lists_before, c.ticked ? 1u : 0u);
        if (c.ticked) {
            EXPECT_EQ(view_.DeviceLists().back().size(), 3u);
        }
        ASSERT_TRUE(Dialog().LastRunReport().has_value());
        std::vector<int> programmed;
        for (const engine::DeviceOutcome& device : Dialog().LastRunReport()->Devices) {
            EXPECT_TRUE(device.Success) << device.FirstFailure;
            programmed.push_back(device.Device.DeviceNumber);
        }
        EXPECT_EQ(programmed, c.programmed);
        EXPECT_THAT(
            std::vector(view_.Log().begin() + static_cast<long>(log_before), view_.Log().end()),
            ElementsAre("Start program", c.result_line));
        EXPECT_EQ(BusyWaitsOf({200, 250, 500}), c.waits);
    }
}

// Enter runs the Start command, whose button stays enabled during a run: the
// upgrade warning comes first when the device is newer, then the command
// stops at the busy check.
TEST_F(MainDialogTest, EnterDuringARunStopsAtTheBusyCheck) {
    const struct {
        const char* name;
        std::uint16_t device_version;
        long warnings;
    } kCases[] = {
        {"device not newer", 0x0101, 0},
        {"device newer", 0x0102, 2},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Restart();
        sim::SimDeviceConfig device = SampleProductDevice();
        device.AppVersion = c.device_version;
        Plug(device);
        Open(SampleProductBundle());
        view_.ClearCalls();
        prompts_.Clear();

        Dialog().OnStart();
        ASSERT_TRUE(State().Busy);
        Dialog().OnEnterKey();

        EXPECT_EQ(view_.CountCalls("upgrade warning"), c.warnings);
        EXPECT_EQ(view_.CountCalls("log Start program"), 1);
        EXPECT_THAT(Prompts(), IsEmpty());
        FinishRun();
        EXPECT_EQ(view_.Log().back(), "Program successfully");
        EXPECT_EQ(Counter("Success"), "1");
    }
}

}  // namespace
}  // namespace txisp::app::testing
