// Every control of the secondary dialogs can be found by its name and carries
// the number the dialog templates give it.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <functional>
#include <memory>

#include "support/recording_prompts.h"
#include "support/temp_dir.h"
#include "ui/about_dlg.h"
#include "ui/chip_list.h"
#include "ui/device_list.h"
#include "ui/rolling_code_dlg.h"
#include "ui/upgrade_warning_dlg.h"
#include "widget_probe.h"

namespace txisp::ui {
namespace {

struct Dialogs {
    txisp::testing::TempDir dir;
    txisp::testing::RecordingPrompts prompts;
    C_UpgradeWarningDlg upgrade{dir.path()};
    CDevice_List devices;
    Chip_List chips;
    CAboutDlg about;
    CRollingCodeDlg rolling{dir / "prod.INI", rolling::RollingWidth::Words16, prompts};
};

TEST(ControlIdentityTest, EveryControlHasItsNameAndNumber) {
    Dialogs dialogs;
    const struct {
        const QDialog& dialog;
        const char* name;
        int id;
    } cases[] = {
        {dialogs.upgrade, "upgradeOk", 1},
        {dialogs.upgrade, "upgradeCancel", 2},
        {dialogs.upgrade, "upgradeExit", 3},
        {dialogs.upgrade, "upgradeMessage", 1054},
        {dialogs.devices, "deviceList", 1009},
        {dialogs.devices, "deviceOk", 1030},
        {dialogs.devices, "deviceCancel", 1031},
        {dialogs.devices, "selectAll", 1032},
        {dialogs.chips, "chipList", 1009},
        {dialogs.chips, "chipOk", 1},
        {dialogs.chips, "chipCancel", 2},
        {dialogs.about, "aboutVersion", 1034},
        {dialogs.about, "aboutOk", 1},
        {dialogs.rolling, "rollingValue", 1035},
        {dialogs.rolling, "rollingStep", 1036},
        {dialogs.rolling, "rollingAddress", 1037},
        {dialogs.rolling, "rollingWordLength", 1038},
        {dialogs.rolling, "rollingOk", 1},
        {dialogs.rolling, "rollingCancel", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QWidget* widget = Control<QWidget>(c.dialog, c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(ControlId(widget), c.id);
    }
}

TEST(ControlIdentityTest, CaptionsAndLabelsAreTheSystemsOwn) {
    Dialogs dialogs;
    const struct {
        const QDialog& dialog;
        const char* name;
        const char* text;
    } cases[] = {
        {dialogs.devices, "deviceOk", "OK"},
        {dialogs.devices, "deviceCancel", "Cancel"},
        {dialogs.devices, "selectAll", "Select All"},
        {dialogs.chips, "chipOk", "OK"},
        {dialogs.chips, "chipCancel", "Cancel"},
        {dialogs.rolling, "rollingAddressLabel", "Start Address :"},
        {dialogs.rolling, "rollingWordLengthLabel", "Word Length :"},
        {dialogs.rolling, "rollingValueLabel", "Rolling Value :"},
        {dialogs.rolling, "rollingStepLabel", "Step Value :"},
        {dialogs.about, "aboutVersion", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QWidget* widget = Control<QWidget>(c.dialog, c.name);
        ASSERT_NE(widget, nullptr);
        const QString text = widget->property("text").toString();
        EXPECT_EQ(text, c.text);
    }
}

TEST(ControlIdentityTest, AboutNamesTheProgramAndItsVersionOnly) {
    CAboutDlg about;
    const QString title = Control<QLabel>(about, "aboutTitle")->text();
    EXPECT_TRUE(title.startsWith("txisp, version ")) << title.toStdString();
    EXPECT_TRUE(Control<QLabel>(about, "aboutPurpose")->text().contains("TX5 and TX64"));
    QPushButton* ok = Control<QPushButton>(about, "aboutOk");
    about.show();
    ok->click();
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace txisp::ui
