// Load File in file mode: the chip list, then a TX5 file checked against the
// chip or a HEX/binary file loaded at once, and what each outcome does to the
// controls; Set Rolling Code's width by chip kind.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "firmware/tx64_file.h"
#include "main_dialog_harness.h"

namespace txisp::app::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class LoadFileTest : public MainDialogTest {
protected:
    LoadFileTest() { Open(); }

    // The controls Load File changes for the chip's kind.
    void ExpectPasswordShown(bool shown) {
        EXPECT_EQ(view_.Visible(ControlId::PasswordBox), shown);
        EXPECT_EQ(view_.Visible(ControlId::PasswordLabel), shown);
        for (const ControlId radio : kCodeSecurityRadios) {
            EXPECT_EQ(view_.Enabled(radio), !shown) << FakeMainView::Name(radio);
        }
    }
};

TEST_F(LoadFileTest, Tx5FileOutcomes) {
    const fs::path good = CopyFirmware("TX5K3317.TX5");
    const fs::path later_chip = CopyFirmware("TX5K3317B.TX5");
    const struct {
        const char* name;
        std::optional<std::string> chip;  // nullopt: the chip list is cancelled
        std::optional<fs::path> file;     // nullopt: the file dialog is cancelled
        std::uint8_t mask;
        std::string firmware_path;  // as the window shows it
        std::vector<std::string> messages;
    } kCases[] = {
        {"valid", "TX5K3317", good, 0xFA, good.string(), {}},
        {"header names a longer chip", "TX5K3317", later_chip, 0xFA, later_chip.string(), {}},
        {"header names another chip", "TX5K3307", good, 0xF2, "None", {"Not a valid TX5 file!!"}},
        {"file dialog cancelled", "TX5K3317", std::nullopt, 0xF2, good.string(), {}},
        {"chip list cancelled", std::nullopt, good, 0xFA, good.string(), {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        LoadFile("TX5K3317", good);  // what was loaded before
        ASSERT_EQ(State().ControlMask, 0xFA);
        prompts_.Clear();
        view_.ClearCalls();

        if (c.chip) {
            LoadFile(*c.chip, c.file);
        } else {
            view_.AnswerChip(std::nullopt);
            Dialog().LoadFileCommand();
        }

        EXPECT_EQ(State().ControlMask, c.mask);
        EXPECT_EQ(view_.Text(ControlId::StatusText), "ISP Program");
        EXPECT_EQ(State().Tx5File.DisplayText(), c.firmware_path);
        std::vector<std::string> messages;
        for (const Prompt& prompt : Prompts()) {
            EXPECT_EQ(prompt.Caption, "txisp");
            messages.push_back(prompt.Text);
        }
        EXPECT_EQ(messages, c.messages);
        if (c.chip) {
            ExpectPasswordShown(true);
        } else {
            EXPECT_THAT(view_.Calls(), ElementsAre("chip list")) << "nothing changes";
        }
    }
}

TEST_F(LoadFileTest, Tx5FileThatCannotBeOpenedIsReported) {
    LoadFile("TX5K3317", dir_ / "missing.TX5");

    EXPECT_EQ(State().ControlMask, 0xF2);
    ASSERT_EQ(Prompts().size(), 1u);
    EXPECT_EQ(Prompts()[0].Caption, "txisp");
    EXPECT_FALSE(Prompts()[0].Text.empty());
}

TEST_F(LoadFileTest, RollingCodeIsOfferedWhenItsSettingsFileExists) {
    for (const bool settings_exist : {true, false}) {
        SCOPED_TRACE(settings_exist ? "settings file beside the firmware" : "none");
        const fs::path firmware = dir_ / (settings_exist ? "with" : "without") / "prod.rev.TX5";
        fs::create_directories(firmware.parent_path());
        fs::copy_file(Example("firmware/TX5K3317.TX5"), firmware);
        if (settings_exist) txisp::testing::WriteText(firmware.parent_path() / "prod.rev.INI", "");

        LoadFile("TX5K3317", firmware);

        EXPECT_EQ(State().RollingEnabled, settings_exist);
        EXPECT_EQ(State().RollingSettingsFile, firmware.parent_path() / "prod.rev.INI");
        EXPECT_EQ(view_.Enabled(ControlId::EnableRollingCode), settings_exist);
        EXPECT_EQ(view_.Enabled(ControlId::SetRollingCode), settings_exist);
    }
    // A cancelled file dialog takes the rolling code away again.
    LoadFile("TX5K3317", std::nullopt);
    EXPECT_FALSE(State().RollingEnabled);
    EXPECT_EQ(view_.Enabled(ControlId::EnableRollingCode), false);
}

TEST_F(LoadFileTest, Tx64ChipLoadsAHexFileAndHidesThePassword) {
    const fs::path hex = CopyFirmware("TX64K39x.hex");
    firmware::FirmwareImage expected;
    ASSERT_TRUE(firmware::LoadHexBinFile(hex, 13, expected).Outcome.ok());

    LoadFile("TX64K39x", hex);

    EXPECT_EQ(Dialog().Image().Tx64ImageBuffer, expected.Tx64ImageBuffer);
    EXPECT_EQ(State().ControlMask, 0xFA);
    ExpectPasswordShown(false);
    EXPECT_EQ(view_.CountCalls("tx5 file dialog"), 0);
    EXPECT_THAT(Prompts(), IsEmpty());
}

TEST_F(LoadFileTest, Tx64FollowUpHappensWhateverTheFileDialogGives) {
    LoadFile("TX5K3317", CopyFirmware("TX5K3317.TX5"));
    ExpectPasswordShown(true);

    LoadFile("TX64K36x", std::nullopt);

    EXPECT_EQ(State().ControlMask, 0xFA);
    ExpectPasswordShown(false);
    EXPECT_EQ(State().ChosenChip, "TX64K36x");
}

TEST_F(LoadFileTest, SetRollingCodeOpensTheDialogForTheChipsWordWidth) {
    LoadFile("TX5K33E55B", CopyFirmware("TX5K3317.TX5"));  // family 12: TX5 kind
    Dialog().SetRollingCodeCommand();
    LoadFile("TX64K36xB", CopyFirmware("TX64K36xB.hex"));
    Dialog().SetRollingCodeCommand();

    EXPECT_EQ(view_.CountCalls("rolling code dialog TX5K3317.INI 4"), 1);
    EXPECT_EQ(view_.CountCalls("rolling code dialog TX64K36xB.INI 8"), 1);
    EXPECT_EQ(State().Config.ChipName, "TX64K36xB");
}

TEST_F(LoadFileTest, RadioButtonsSetTheIdBoxesAndTheLevel) {
    view_.Type(ControlId::VidBox, "1234");
    Dialog().OnIspDeviceRadio();
    EXPECT_EQ(view_.Text(ControlId::VidBox), "5E3A");
    EXPECT_EQ(view_.Text(ControlId::PidBox), "3442");
    EXPECT_EQ(view_.Enabled(ControlId::VidBox), false);
    EXPECT_EQ(State().ControlMask, 0x72);

    Dialog().OnCustomerRadio();
    EXPECT_EQ(view_.Enabled(ControlId::VidBox), true);
    EXPECT_EQ(view_.Enabled(ControlId::PidBox), true);
    EXPECT_EQ(State().ControlMask, 0xF2);

    Dialog().OnCodeSecurityRadio(2);
    EXPECT_EQ(State().Config.CodeSecurity, 2);
}

}  // namespace
}  // namespace txisp::app::testing
