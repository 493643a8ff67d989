#include "ui/upgrade_warning_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <filesystem>

#include "support/temp_dir.h"
#include "ui/button_st.h"
#include "ui/transparent_static.h"
#include "widget_probe.h"

namespace txisp::ui {
namespace {

namespace fs = std::filesystem;

fs::path SampleSettings() {
    return txisp::testing::SourceDir() / "examples" / "sample-settings" / "Settings";
}

QImage SampleImage(const char* name) {
    return QImage(QString::fromStdString((SampleSettings() / "Image" / name).string()));
}

struct Controls {
    explicit Controls(const QDialog& dialog)
        : Ok(Control<CButtonST>(dialog, "upgradeOk")),
          Cancel(Control<CButtonST>(dialog, "upgradeCancel")),
          Exit(Control<CButtonST>(dialog, "upgradeExit")),
          Message(Control<CTransparentStatic>(dialog, "upgradeMessage")) {}
    CButtonST* Ok;
    CButtonST* Cancel;
    CButtonST* Exit;
    CTransparentStatic* Message;
};

void SendMouse(QWidget& widget, QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(local), widget.mapToGlobal(QPointF(local)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, {});
    QApplication::sendEvent(&widget, &event);
}

TEST(UpgradeWarningDlgTest, TakesItsTextsAndPicturesFromTheSettingsFolder) {
    C_UpgradeWarningDlg dialog(SampleSettings());
    dialog.show();
    const Controls controls(dialog);

    EXPECT_EQ(controls.Message->text(),
              "The device firmware is newer than this tool's. Update anyway?");
    EXPECT_EQ(controls.Message->TextColour(), QColor(0xA5, 0xA5, 0xA5));
    EXPECT_EQ(controls.Ok->text(), "Update");
    EXPECT_EQ(controls.Cancel->text(), "Cancel");
    EXPECT_EQ(controls.Ok->size(), QSize(100, 30));
    EXPECT_EQ(controls.Exit->size(), QSize(20, 20));
    EXPECT_EQ(controls.Ok->StateColor(kTextNormal), QColor(Qt::white));
    EXPECT_EQ(controls.Ok->StateColor(kTextHovered), QColor(Qt::white));

    // The background fills the window; the exit cross shows its own picture
    // and, in its magenta corner, the background.
    const QImage shown = dialog.grab().toImage();
    const QImage background = SampleImage("UpgradeWarningDlg_bg.png")
                                  .scaled(dialog.size())
                                  .convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.pixelColor(5, 190), background.pixelColor(5, 190));
    const QPoint exit = controls.Exit->pos();
    EXPECT_EQ(shown.pixelColor(exit), background.pixelColor(exit));
    EXPECT_EQ(shown.pixelColor(exit + QPoint(10, 10)), SampleImage("Exit.bmp").pixelColor(10, 10));
}

TEST(UpgradeWarningDlgTest, ButtonsEndTheDialog) {
    const struct {
        const char* button;
        QDialog::DialogCode result;
    } cases[] = {
        {"upgradeOk", QDialog::Accepted},
        {"upgradeCancel", QDialog::Rejected},
        {"upgradeExit", QDialog::Rejected},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        C_UpgradeWarningDlg dialog(SampleSettings());
        dialog.show();
        QTest::mouseClick(Control<CButtonST>(dialog, c.button), Qt::LeftButton);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), c.result);
    }
}

TEST(UpgradeWarningDlgTest, FindsPicturesWhateverTheirLetterCase) {
    txisp::testing::TempDir dir;
    fs::create_directories(dir / "IMAGE");
    fs::copy_file(SampleSettings() / "UISettings.ini", dir / "UISettings.ini");
    for (const char* name : {"UpgradeWarningDlgGen.png", "UpgradeWarningDlgMo.png"})
        fs::copy_file(SampleSettings() / "Image" / name,
                      dir / "IMAGE" / QString(name).toUpper().toStdString());

    C_UpgradeWarningDlg dialog(dir.path());
    dialog.show();
    const Controls controls(dialog);
    EXPECT_EQ(controls.Ok->size(), QSize(100, 30));
    EXPECT_EQ(controls.Ok->text(), "Update");
}

TEST(UpgradeWarningDlgTest, AMissingFolderLeavesItEmptyButWorking) {
    txisp::testing::TempDir dir;
    C_UpgradeWarningDlg dialog(dir / "missing");
    dialog.show();
    const Controls controls(dialog);
    EXPECT_EQ(controls.Message->text(), "");
    EXPECT_EQ(controls.Ok->text(), "");
    EXPECT_EQ(controls.Ok->size(), QSize(100, 30));

    QTest::mouseClick(controls.Ok, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(UpgradeWarningDlgTest, DraggingAnyPointMovesTheWindow) {
    C_UpgradeWarningDlg dialog(SampleSettings());
    dialog.show();
    const QPoint start = dialog.pos();
    const Controls controls(dialog);
    // On the message as well as on the bare background.
    for (QWidget* grip :
         {static_cast<QWidget*>(&dialog), static_cast<QWidget*>(controls.Message)}) {
        const QPoint from = dialog.pos();
        SendMouse(*grip, QEvent::MouseButtonPress, QPoint(5, 5), Qt::LeftButton);
        SendMouse(*grip, QEvent::MouseMove, QPoint(25, 35), Qt::LeftButton);
        SendMouse(*grip, QEvent::MouseButtonRelease, QPoint(25, 35), Qt::NoButton);
        EXPECT_EQ(dialog.pos(), from + QPoint(20, 30));
    }
    EXPECT_EQ(dialog.pos(), start + QPoint(40, 60));
}

}  // namespace
}  // namespace txisp::ui
