// Whole runs through the window's logic: Start, the worker on its own thread
// against simulated devices, and the end of the run on the window thread.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "main_dialog_harness.h"

namespace txisp::app::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST_F(MainDialogTest, FullRunOnTheSampleProduct) {
    const int device = Plug(SampleProductDevice());
    Open(SampleProductBundle());
    const std::string checksum_line = view_.Log().at(0);
    clock_.ClearWaits();

    Dialog().OnStart();

    ASSERT_TRUE(State().Busy);
    EXPECT_EQ(State().ControlMask, 0);
    EXPECT_EQ(State().SavedControlMask, 0xFA);
    EXPECT_EQ(view_.Text(ControlId::StatusText), "Chip Erasing");
    EXPECT_EQ(view_.Enabled(ControlId::VidBox), false);
    EXPECT_EQ(view_.Enabled(ControlId::PasswordBox), false);
    FinishRun();

    EXPECT_THAT(view_.Log(), ElementsAre(checksum_line, "Start program", "Program successfully"));
    EXPECT_EQ(view_.Text(ControlId::SuccessCount), "1");
    EXPECT_EQ(view_.Text(ControlId::FailCount), "0");
    EXPECT_EQ(Counter("Success"), "1");
    EXPECT_EQ(Counter("Fail"), "0");
    ASSERT_FALSE(view_.Progress().empty());
    EXPECT_EQ(*std::max_element(view_.Progress().begin(), view_.Progress().end()), 100);
    EXPECT_EQ(view_.Progress().back(), 100);
    EXPECT_EQ(BusyWaitsOf({200, 250, 500}), (std::vector<std::uint32_t>{200, 500, 500}));
    EXPECT_EQ(view_.Enabled(ControlId::VidBox), true);
    EXPECT_THAT(Prompts(), IsEmpty());
    EXPECT_EQ(view_.CountCalls("device 1 programmed"), 1);
    // The device runs the programmed firmware's application.
    const sim::SimDevice programmed = bus_.Device(device);
    EXPECT_EQ(programmed.Memory().AppVersion(), 0x0101);
}

// The status line after a run shows the phase the run last reached; a run
// that reached none leaves what was there before.
TEST_F(MainDialogTest, StatusAfterRunsShowsTheLastPhaseReached) {
    const struct {
        const char* name;
        std::vector<bool> runs;  // true: the device refuses the password
        std::uint8_t mask;
        const char* status;
    } kCases[] = {
        {"a run that programmed", {false}, 0xF9, "Programming"},
        {"a run failing at the password", {true}, 0xFA, "ISP Program"},
        {"a failing run after one that programmed", {false, true}, 0xF9, "Programming"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Restart();
        Open(SampleProductBundle());
        for (const bool wrong_password : c.runs) {
            for (int i = 0; i < bus_.DeviceCount(); ++i)
                bus_.Unplug(i);
            sim::SimDeviceConfig device = SampleProductDevice();
            device.Faults.WrongPassword = wrong_password;
            Plug(device);
            StartAndFinish();
            EXPECT_EQ(view_.Log().back(), wrong_password ? "Program fail" : "Program successfully");
        }
        EXPECT_EQ(State().ControlMask, c.mask);
        EXPECT_EQ(view_.Text(ControlId::StatusText), c.status);
    }
}

// Three devices of a production line in one run, with the rolling code on:
// each device programmed gets its own serial number, and the settings file
// moves on by as many as were programmed, also when one device failed, so
// that no number is ever programmed twice.
TEST_F(MainDialogTest, RollingCodeAdvancesPerDeviceOverAProductionLine) {
    constexpr std::size_t kValueOffset = 2 * 0x0800;
    const struct {
        const char* name;
        int failing;  // the device that refuses the password; -1: none
        std::vector<std::optional<std::uint8_t>> values;
        const char* next_count;
        const char* result_line;
    } kCases[] = {
        {"all programmed", -1, {0x10, 0x11, 0x12}, "0013", "Program successfully"},
        {"the middle one fails", 1, {0x10, std::nullopt, 0x11}, "0012", "Program fail"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Restart();
        Result<sim::Scenario> line = sim::LoadScenario(Example("sim/production-line.json"));
        ASSERT_TRUE(line.ok()) << line.error();
        ASSERT_EQ(line->Devices.size(), 3u);
        if (c.failing >= 0)
            line->Devices[static_cast<std::size_t>(c.failing)].Faults.WrongPassword = true;
        const int first = bus_.DeviceCount();
        ASSERT_TRUE(sim::PlugScenario(bus_, *line).ok());

        const fs::path folder = dir_ / c.name;
        fs::create_directories(folder);
        const fs::path firmware = folder / "line.TX5";
        fs::copy_file(Example("firmware/TX5K3317.TX5"), firmware);
        const fs::path settings = folder / "line.INI";
        txisp::testing::WriteText(
            settings,
            "[Rolling Code]\r\nAddress=0x0800\r\nWord_Length=1\r\nCount=0010\r\nStep=0001\r\n");
        Open();
        LoadFile("TX5K3317", firmware);
        ASSERT_TRUE(State().RollingEnabled);
        view_.Tick(ControlId::EnableRollingCode, true);

        StartAndFinish();

        EXPECT_THAT(view_.DeviceLists(), ElementsAre(::testing::SizeIs(3)));
        for (int i = 0; i < 3; ++i) {
            const sim::SimDevice device = bus_.Device(first + i);
            const std::span<const std::uint8_t> flash = device.Memory().Bytes();
            if (const std::optional<std::uint8_t> value = c.values[static_cast<std::size_t>(i)]) {
                EXPECT_EQ(flash[kValueOffset], *value) << "device " << i + 1;
                EXPECT_EQ(flash[kValueOffset + 1], 0x00) << "device " << i + 1;
            }
        }
        EXPECT_EQ(platform::ReadProfileString(settings, "Rolling Code", "Count", ""), c.next_count);
        EXPECT_EQ(view_.Log().back(), c.result_line);
    }
}

TEST_F(MainDialogTest, RollingCodeThatCannotBeSavedIsReported) {
    // Names this long leave no room for the file that would replace the
    // settings file (even a root test run cannot write it).
    const std::string stem(250, 'r');
    const fs::path firmware = dir_ / (stem + ".TX5");
    fs::copy_file(Example("firmware/TX5K3317.TX5"), firmware);
    const fs::path settings = dir_ / (stem + ".INI");
    txisp::testing::WriteText(
        settings,
        "[Rolling Code]\r\nAddress=0x0800\r\nWord_Length=1\r\nCount=0010\r\nStep=0001\r\n");
    Plug(ExampleDevice("TX5K3317"));
    Open();
    LoadFile("TX5K3317", firmware);
    view_.Tick(ControlId::EnableRollingCode, true);

    StartAndFinish();

    EXPECT_EQ(view_.Log().back(), "Program successfully");
    EXPECT_EQ(platform::ReadProfileString(settings, "Rolling Code", "Count", ""), "0010");
    EXPECT_THAT(Prompts(), ElementsAre(Message("Error", "Save Rolling Code Failed!!")));
}

}  // namespace
}  // namespace txisp::app::testing
