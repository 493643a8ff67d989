// The main window coming up and going away: the controls' first state in
// file and embedded mode, the product's settings applied, and the end of the
// window while a run is going.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

#include "app/settings_archive.h"
#include "firmware/checksums.h"
#include "main_dialog_harness.h"

namespace txisp::app::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST_F(MainDialogTest, FileModeStartsWithMaskF2AndTheBuiltInTexts) {
    Open();

    EXPECT_FALSE(State().Config.Embedded);
    EXPECT_EQ(State().ControlMask, 0xF2);
    EXPECT_EQ(view_.Text(ControlId::StatusText), "ISP Program");
    EXPECT_EQ(view_.Visible(ControlId::LoadFile), std::nullopt);
    EXPECT_EQ(view_.Enabled(ControlId::LoadFile), true);
    EXPECT_EQ(view_.Enabled(ControlId::VidBox), true);
    EXPECT_EQ(view_.Enabled(ControlId::EnableRollingCode), false);
    EXPECT_EQ(view_.Enabled(ControlId::SetRollingCode), false);
    EXPECT_EQ(view_.Text(ControlId::Start), "Start");
    EXPECT_EQ(view_.Text(ControlId::PasswordBox), "40172958");
    EXPECT_EQ(view_.Limit(ControlId::PasswordBox), 8);
    EXPECT_EQ(view_.Text(ControlId::VidBox), "5E3A");
    EXPECT_EQ(view_.Text(ControlId::PidBox), "3442");
    EXPECT_TRUE(view_.IsChecked(ControlId::IspDeviceRadio));
    EXPECT_TRUE(view_.IsChecked(ControlId::CodeSecurity0));
    EXPECT_EQ(view_.Enabled(ControlId::CodeSecurity3), false);
    for (const ControlId hidden :
         {ControlId::PasswordBox, ControlId::StatusText, ControlId::VersionLabel,
          ControlId::EnableRollingCode, ControlId::ChipNameLabel, ControlId::DeviceInfoButton}) {
        EXPECT_EQ(view_.Visible(hidden), false) << FakeMainView::Name(hidden);
    }
    EXPECT_TRUE(std::regex_match(view_.Text(ControlId::VersionLabel),
                                 std::regex(R"(Version \d+\.\d+\.\d+\.\d+)")))
        << view_.Text(ControlId::VersionLabel);
    EXPECT_EQ(view_.Text(ControlId::SuccessCount), "0");
    EXPECT_EQ(view_.Text(ControlId::FailCount), "0");
    EXPECT_THAT(view_.Log(), IsEmpty());
    EXPECT_TRUE(State().CheckBootLoaderID);
    EXPECT_THAT(Prompts(), IsEmpty());
}

TEST_F(MainDialogTest, EmbeddedModeAppliesTheSampleProductsSettings) {
    Plug(SampleProductDevice());
    Open(SampleProductBundle());

    EXPECT_TRUE(State().Config.Embedded);
    EXPECT_EQ(view_.Title(), "TX5 ISP Update Tool");
    EXPECT_EQ(view_.Text(ControlId::Title), "TX5 ISP Update Tool");
    EXPECT_EQ(view_.Text(ControlId::Start), "Update");
    EXPECT_EQ(view_.Text(ControlId::SuccessCaption), "Success:");
    EXPECT_EQ(view_.Text(ControlId::FailCaption), "Fail:");
    EXPECT_EQ(view_.Visible(ControlId::LoadFile), false);
    EXPECT_EQ(State().ControlMask, 0xFA) << "firmware loaded";
    EXPECT_EQ(State().ToolFwVersion, 0x0101);
    EXPECT_EQ(State().CheckDeviceCmd, "ED84D98CAC8616FE");
    ASSERT_TRUE(view_.Skin().has_value());
    EXPECT_TRUE((*view_.Skin())[static_cast<std::size_t>(SkinImage::Start)].has_value())
        << "start.bmp is found whatever its case";

    char checksum_line[32];
    std::snprintf(checksum_line, sizeof checksum_line, "Checksum : %04X",
                  firmware::ByteSum16(SampleTx5Image("TX5K3317")));
    EXPECT_THAT(view_.Log(), ElementsAre(checksum_line));

    // The device already plugged in is shown before the operator acts.
    EXPECT_EQ(view_.Text(ControlId::DeviceVidBox), "0x5E3A");
    EXPECT_EQ(view_.Text(ControlId::DevicePidBox), "0x3442");
    EXPECT_EQ(view_.Text(ControlId::DeviceRevBox), "0x100");
    EXPECT_THAT(view_.Colours(), ElementsAre(kDeviceNotNewerColour));
}

TEST_F(MainDialogTest, RejectedEmbeddedConfigurationLeavesFileMode) {
    // An image with a chip name the chip table does not know.
    platform::ResourceMap entries;
    entries[firmware::kChipNameResource] = TextResource("TX5K3317x");
    entries[firmware::kFirmwareImageResource] = SampleTx5Image("TX5K3317");
    entries[firmware::kSettingsArchiveResource] =
        txisp::testing::ReadBytes(Example("sample-settings.zip"));
    Open(Bundle(entries));

    EXPECT_FALSE(State().Config.Embedded);
    EXPECT_EQ(State().ControlMask, 0xF2);
    EXPECT_EQ(view_.Text(ControlId::Start), "Start");
    EXPECT_EQ(view_.Visible(ControlId::LoadFile), std::nullopt);
    EXPECT_THAT(view_.Log(), IsEmpty());
    EXPECT_FALSE(fs::exists(SettingsUnpackFolder(TempFolder())));
    EXPECT_THAT(Prompts(), IsEmpty());
}

TEST_F(MainDialogTest, ShutdownDeletesTheUnpackedSettingsAndKeepsTheZip) {
    Open(SampleProductBundle());
    ASSERT_TRUE(fs::exists(SettingsFolderPath(TempFolder()) / "UISettings.ini"));

    Dialog().Shutdown();

    EXPECT_FALSE(fs::exists(SettingsUnpackFolder(TempFolder())));
    EXPECT_TRUE(fs::exists(SettingsArchiveCopyPath(TempFolder())));
}

// Closing while devices are being programmed: the operator's answer decides
// whether the window closes when the run has ended.
class CloseDuringRunTest : public MainDialogTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CloseDuringRunTest, TheWindowClosesWhenTheRunHasEndedOrNotAtAll) {
    const bool quit = GetParam();
    Plug(SampleProductDevice());
    Open(SampleProductBundle());
    Dialog().OnStart();
    ASSERT_TRUE(State().Busy);
    prompts_.QueueAnswer(quit);

    EXPECT_FALSE(Dialog().OnClose());
    EXPECT_EQ(view_.CloseRequests(), 0) << "not before the run has ended";

    FinishRun();
    EXPECT_EQ(view_.CloseRequests(), quit ? 1 : 0);
    EXPECT_EQ(Counter("Success"), "1") << "the run was not cut short";
    EXPECT_TRUE(Dialog().OnClose()) << "no run: the window may close";
    EXPECT_THAT(Prompts(), ElementsAre(Question("TX5 ISP Update Tool", kQuitWhenFinished)));
}

INSTANTIATE_TEST_SUITE_P(Answers, CloseDuringRunTest, ::testing::Bool());

TEST_F(MainDialogTest, ShutdownDuringARunWaitsForItAndCountsIt) {
    // The crystal question of this device may reach the window after it has
    // stopped showing anything: the worker must not wait for it forever.
    sim::SimDeviceConfig device = SampleProductDevice();
    device.Faults.CrystalMismatch = true;
    Plug(device);
    Open(SampleProductBundle());
    Dialog().OnStart();
    ASSERT_TRUE(State().Busy);

    Dialog().Shutdown();

    EXPECT_FALSE(State().Busy);
    EXPECT_EQ(Counter("Fail"), "1");
    EXPECT_EQ(view_.Log().back(), "Program fail");
    EXPECT_FALSE(fs::exists(SettingsUnpackFolder(TempFolder())));
    dialog_.reset();
    view_.RunQueued();  // what the worker posted meanwhile goes nowhere
    EXPECT_THAT(Prompts(), IsEmpty()) << "no box after the window's end";
}

}  // namespace
}  // namespace txisp::app::testing
