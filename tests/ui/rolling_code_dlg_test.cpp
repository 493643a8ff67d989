#include "ui/rolling_code_dlg.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "platform/ini_profile.h"
#include "support/recording_prompts.h"
#include "support/temp_dir.h"
#include "widget_probe.h"

namespace txisp::ui {
namespace {

using rolling::RollingWidth;

class RollingCodeDlgTest : public ::testing::Test {
protected:
    void WriteSettings(std::string_view count, std::string_view step) {
        txisp::testing::WriteBytes(
            file_, txisp::testing::Utf16LeWithBom(
                       "[Rolling Code]\r\nAddress=0x1FF0\r\nWord_Length=2\r\nCount=" +
                       std::string(count) + "\r\nStep=" + std::string(step) + "\r\n"));
    }
    std::string Stored(std::string_view key) const {
        return platform::ReadProfileString(file_, "Rolling Code", key, "<none>");
    }
    static QString Text(const QDialog& dialog, const char* box) {
        return Control<QLineEdit>(dialog, box)->text();
    }
    static void Type(const QDialog& dialog, const char* box, const char* text) {
        QLineEdit* edit = Control<QLineEdit>(dialog, box);
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    static void Click(const QDialog& dialog, const char* button) {
        QTest::mouseClick(Control<QPushButton>(dialog, button), Qt::LeftButton);
    }

    txisp::testing::TempDir dir_;
    std::filesystem::path file_ = dir_ / "prod.INI";
    txisp::testing::RecordingPrompts prompts_;
};

TEST_F(RollingCodeDlgTest, ShowsTheFileInGroupsOfFourAndStoresTheWordsWidth) {
    WriteSettings("1A", "0001");
    CRollingCodeDlg dialog(file_, RollingWidth::Words16, prompts_);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Rolling Code");
    EXPECT_EQ(Text(dialog, "rollingAddress"), "0x1FF0");
    EXPECT_EQ(Text(dialog, "rollingWordLength"), "2");
    EXPECT_EQ(Text(dialog, "rollingValue"), "0000 0000 0000 001A");
    EXPECT_EQ(Text(dialog, "rollingStep"), "0000 0000 0000 0001");

    Type(dialog, "rollingWordLength", "1");
    Click(dialog, "rollingOk");

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(Stored("Count"), "001A");
    EXPECT_EQ(Stored("Step"), "0001");
    EXPECT_EQ(Stored("Word_Length"), "1");
    EXPECT_EQ(Stored("Address"), "0x1FF0");
}

TEST_F(RollingCodeDlgTest, ValueBoxesTakeNineteenCharactersInUpperCase) {
    WriteSettings("000a", "1");
    CRollingCodeDlg dialog(file_, RollingWidth::Words32, prompts_);
    dialog.show();
    EXPECT_EQ(Text(dialog, "rollingValue"), "0000 0000 0000 000A");

    Type(dialog, "rollingStep", "0000 0000 00ab cdef 99");
    EXPECT_EQ(Text(dialog, "rollingStep"), "0000 0000 00AB CDEF");
    Type(dialog, "rollingWordLength", "1");
    Click(dialog, "rollingOk");
    EXPECT_EQ(Stored("Step"), "00ABCDEF");
    EXPECT_EQ(Stored("Count"), "0000000A");
}

TEST_F(RollingCodeDlgTest, CancelStoresNothing) {
    WriteSettings("1A", "0001");
    const auto before = txisp::testing::ReadBytes(file_);
    CRollingCodeDlg dialog(file_, RollingWidth::Words16, prompts_);
    dialog.show();
    Type(dialog, "rollingValue", "FFFF FFFF FFFF FFFF");
    Click(dialog, "rollingCancel");
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(txisp::testing::ReadBytes(file_), before);
}

TEST_F(RollingCodeDlgTest, AFileThatCannotBeWrittenKeepsTheDialogOpen) {
    file_ = dir_ / "no such folder" / "prod.INI";
    CRollingCodeDlg dialog(file_, RollingWidth::Words16, prompts_);
    dialog.show();
    Type(dialog, "rollingWordLength", "1");
    Click(dialog, "rollingOk");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(
        prompts_.prompts(),
        (std::vector{txisp::testing::Message("Error", "Save Rolling Code Settings Failed!!")}));
}

}  // namespace
}  // namespace txisp::ui
