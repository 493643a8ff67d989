// The real window on a simulated bus: start-up in both modes, a whole run,
// the keys the dialog filters, the device list and the skinned buttons.

#include "ui/main_dlg.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>
#include <functional>
#include <memory>

#include "app/main_dialog_harness.h"
#include "ui/button_st.h"
#include "ui/device_list.h"
#include "widget_probe.h"

namespace txisp::ui {
namespace {

namespace fs = std::filesystem;
using app::testing::ExampleDevice;
using app::testing::SampleProductBundle;
using app::testing::SampleProductDevice;

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() { fs::create_directories(dir_ / "temp"); }

    void Open(platform::ResourceBundle resources = {}) {
        resources_ = std::move(resources);
        window_ = std::make_unique<CTX5K3314_ISPDlg>(MainWindowDeps{bus_,
                                                                    clock_,
                                                                    resources_,
                                                                    dir_ / "temp",
                                                                    dir_ / "state",
                                                                    dir_ / "txisp-gui",
                                                                    {},
                                                                    &prompts_});
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }

    void Plug(sim::SimDeviceConfig config) {
        Result<int> plugged = bus_.Plug(std::move(config));
        ASSERT_TRUE(plugged.ok()) << plugged.error();
    }

    template <typename T = QWidget>
    T* Named(const char* name) {
        return Control<T>(*window_, name);
    }

    bool Busy() { return window_->Logic().State().Busy; }
    void WaitForRunEnd() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !Busy(); }, 10000));
    }

    // Runs `answer` on the next modal dialog that opens, once it is open.
    void WhenModalOpens(std::function<void(QWidget&)> answer) {
        auto* timer = new QTimer(window_.get());
        QObject::connect(timer, &QTimer::timeout, [timer, answer = std::move(answer)] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr) return;
            timer->stop();
            timer->deleteLater();
            answer(*modal);
        });
        timer->start(10);
    }

    QStringList LogLines() {
        QStringList lines;
        auto* log = Named<QListWidget>("logList");
        for (int row = 0; row < log->count(); ++row)
            lines << log->item(row)->text();
        return lines;
    }

    platform::VirtualClock clock_;
    sim::SimBus bus_{clock_};
    txisp::testing::RecordingPrompts prompts_;
    txisp::testing::TempDir dir_;
    platform::ResourceBundle resources_;
    std::unique_ptr<CTX5K3314_ISPDlg> window_;
};

TEST_F(MainWindowTest, EmbeddedStartUpAppliesTheSampleSettings) {
    Plug(SampleProductDevice());
    Open(SampleProductBundle());

    EXPECT_EQ(window_->size(), QSize(600, 410));
    EXPECT_TRUE(window_->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(window_->windowTitle(), "TX5 ISP Update Tool");
    EXPECT_EQ(Named<QLabel>("titleLabel")->text(), "TX5 ISP Update Tool");
    EXPECT_EQ(Named<QPushButton>("startButton")->text(), "Update");
    EXPECT_EQ(Named<QLabel>("successCaption")->text(), "Success:");
    EXPECT_EQ(Named<QLabel>("failCaption")->text(), "Fail:");
    EXPECT_EQ(Named<QLineEdit>("successCount")->text(), "0");
    EXPECT_EQ(Named<QLineEdit>("failCount")->text(), "0");
    EXPECT_EQ(Named("startButton")->geometry(), QRect(30, 55, 128, 35));
    // The device already plugged in is shown before the operator acts.
    EXPECT_FALSE(Named<QLineEdit>("vidText")->text().isEmpty());
    EXPECT_FALSE(Named<QLineEdit>("revText")->text().isEmpty());

    for (const char* hidden :
         {"loadFileButton", "passwordBox", "vidBox", "pidBox", "rollingEnableBox",
          "rollingSetButton", "cs0", "cs3", "statusText", "versionLabel", "deviceInfoButton"}) {
        SCOPED_TRACE(hidden);
        EXPECT_FALSE(Named(hidden)->isVisible());
    }
    for (const char* shown : {"startButton", "exitButton", "progressBar", "logList", "vidText",
                              "pidText", "revText", "successCount", "failCount", "titleLabel"}) {
        SCOPED_TRACE(shown);
        EXPECT_TRUE(Named(shown)->isVisible());
    }
    EXPECT_EQ(ControlId(Named("startButton")), 1002);
    EXPECT_EQ(ControlId(Named("revText")), 1049);
}

TEST_F(MainWindowTest, FileModeOffersLoadFileWithTheBuiltInTexts) {
    Open();

    EXPECT_TRUE(Named("loadFileButton")->isVisible());
    EXPECT_TRUE(Named("loadFileButton")->isEnabled());
    EXPECT_EQ(Named<QPushButton>("startButton")->text(), "Start");
    EXPECT_EQ(Named<QLabel>("successCaption")->text(), "Success:");
    EXPECT_FALSE(window_->windowTitle().isEmpty());
    EXPECT_TRUE(Named<QLineEdit>("vidText")->text().isEmpty());
}

TEST_F(MainWindowTest, AFullRunReachesTheWindowFromTheWorker) {
    Plug(SampleProductDevice());
    Open(SampleProductBundle());
    const QStringList before = LogLines();

    QTest::mouseClick(Named("startButton"), Qt::LeftButton);
    WaitForRunEnd();

    EXPECT_EQ(Named<QProgressBar>("progressBar")->value(), 100);
    const QStringList expected = before + QStringList{"Start program", "Program successfully"};
    EXPECT_EQ(LogLines(), expected);
    EXPECT_EQ(Named<QLineEdit>("successCount")->text(), "1");
    EXPECT_EQ(Named<QLineEdit>("failCount")->text(), "0");
    EXPECT_TRUE(prompts_.prompts().empty());
}

TEST_F(MainWindowTest, EscapeAndSpaceDoNothingAndEnterStarts) {
    Plug(SampleProductDevice());
    Open(SampleProductBundle());
    const QStringList before = LogLines();

    QTest::keyClick(window_.get(), Qt::Key_Escape);
    QTest::keyClick(Named("startButton"), Qt::Key_Space);
    EXPECT_TRUE(window_->isVisible());
    EXPECT_FALSE(Busy());
    EXPECT_EQ(LogLines(), before);

    QTest::keyClick(Named("logList"), Qt::Key_Return);
    EXPECT_TRUE(Busy());
    WaitForRunEnd();
    EXPECT_EQ(Named<QLineEdit>("successCount")->text(), "1");
}

TEST_F(MainWindowTest, ExitButtonAndAltF4CloseTheWindow) {
    struct Case {
        const char* Name;
        std::function<void(CTX5K3314_ISPDlg&)> Close;
    };
    const Case cases[] = {
        {"exit button",
         [](CTX5K3314_ISPDlg& w) {
             QTest::mouseClick(Control<QWidget>(w, "exitButton"), Qt::LeftButton);
         }},
        {"Alt+F4", [](CTX5K3314_ISPDlg& w) { QTest::keyClick(&w, Qt::Key_F4, Qt::AltModifier); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Open(SampleProductBundle());
        c.Close(*window_);
        EXPECT_FALSE(window_->isVisible());
        // The unpacked settings go with the window; the archive stays.
        EXPECT_FALSE(fs::exists(dir_ / "temp" / "SettingFiles"));
        EXPECT_TRUE(fs::exists(dir_ / "temp" / "SettingFiles.zip"));
        window_.reset();
    }
}

TEST_F(MainWindowTest, ClosingDuringARunClosesWhenItHasFinished) {
    Plug(SampleProductDevice());
    Open(SampleProductBundle());
    prompts_.QueueAnswer(true);

    QTest::mouseClick(Named("startButton"), Qt::LeftButton);
    ASSERT_TRUE(Busy());
    window_->close();

    // The worker still uses what the window owns: it stays until the run ends.
    EXPECT_TRUE(window_->isVisible());
    ASSERT_FALSE(prompts_.prompts().empty());
    EXPECT_EQ(prompts_.prompts().back().Text, app::kQuitWhenFinished);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->isVisible(); }, 10000));
    EXPECT_FALSE(Busy());
    EXPECT_EQ(Named<QLineEdit>("successCount")->text(), "1");
}

TEST_F(MainWindowTest, DeviceNotificationsUpdateTheDeviceBoxes) {
    Open(SampleProductBundle());
    auto* vid = Named<QLineEdit>("vidText");
    auto* rev = Named<QLineEdit>("revText");
    ASSERT_TRUE(rev->text().isEmpty());

    Plug(SampleProductDevice());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rev->text().isEmpty(); }, 5000));
    const QString shown_vid = vid->text();

    bus_.Unplug(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rev->text().isEmpty(); }, 5000));
    EXPECT_EQ(vid->text(), shown_vid);
}

TEST_F(MainWindowTest, DraggingTheBackgroundMovesTheWindow) {
    Open(SampleProductBundle());
    const QPoint start = window_->pos();
    // A point of bare background and one on a caption label: both drag.
    for (const QPoint grip : {QPoint(300, 400), Named("vidCaption")->geometry().center()}) {
        SCOPED_TRACE(grip.x());
        const QPoint before = window_->pos();
        QTest::mousePress(window_.get(), Qt::LeftButton, {}, grip);
        QMouseEvent move(QEvent::MouseMove, QPointF(grip + QPoint(25, 15)),
                         QPointF(window_->mapToGlobal(grip + QPoint(25, 15))), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_.get(), &move);
        QTest::mouseRelease(window_.get(), Qt::LeftButton, {}, grip + QPoint(25, 15));
        EXPECT_EQ(window_->pos(), before + QPoint(25, 15));
    }
    EXPECT_NE(window_->pos(), start);
}

TEST_F(MainWindowTest, Tx5FileDialogOffersTx5FilesWhateverTheirLetterCase) {
    Open();
    const fs::path folder = dir_ / "firmware";
    fs::create_directories(folder);
    for (const char* name : {"fw.tx5", "FW2.TX5", "Fw3.Tx5", "notes.txt", "fw.tx50"})
        txisp::testing::WriteText(folder / name, "x");

    QStringList offered;
    WhenModalOpens([&](QWidget& modal) {
        auto* dialog = qobject_cast<QFileDialog*>(&modal);
        ASSERT_NE(dialog, nullptr);
        dialog->setDirectory(QString::fromStdString(folder.string()));
        auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
        ASSERT_NE(view, nullptr);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) >= 3; }, 5000));
        for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
            offered << view->model()->index(row, 0, view->rootIndex()).data().toString();
        dialog->reject();
    });
    EXPECT_EQ(window_->ChooseTx5File(), std::nullopt);

    offered.sort();
    EXPECT_EQ(offered, (QStringList{"FW2.TX5", "Fw3.Tx5", "fw.tx5"}));
}

TEST_F(MainWindowTest, WindowMenuEndsWithTheAboutItem) {
    Open();
    auto* menu = Named<QMenu>("windowMenu");
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->actions();
    ASSERT_GE(actions.size(), 2);
    EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
    EXPECT_EQ(actions.back()->text(), "&About ISP Tool...");

    bool about_opened = false;
    WhenModalOpens([&](QWidget& modal) {
        about_opened = modal.inherits("txisp::ui::CAboutDlg");
        static_cast<QDialog&>(modal).reject();
    });
    actions.back()->trigger();
    EXPECT_TRUE(about_opened);
}

TEST_F(MainWindowTest, TwoDevicesOpenTheDeviceListAndCancelStartsNothing) {
    Plug(SampleProductDevice());
    Plug(SampleProductDevice());
    Open(SampleProductBundle());
    const QStringList before = LogLines();

    int rows = -1;
    WhenModalOpens([&](QWidget& modal) {
        auto* list = qobject_cast<CDevice_List*>(&modal);
        ASSERT_NE(list, nullptr);
        rows = list->findChild<QTreeWidget*>()->topLevelItemCount();
        list->reject();
    });
    QTest::mouseClick(Named("startButton"), Qt::LeftButton);

    EXPECT_EQ(rows, 2);
    EXPECT_FALSE(Busy());
    EXPECT_EQ(LogLines(), before);
}

TEST_F(MainWindowTest, SkinnedButtonsLetTheBackgroundThroughTheirMagenta) {
    Plug(SampleProductDevice());
    Open(SampleProductBundle());
    for (const char* name : {"startButton", "exitButton"}) {
        SCOPED_TRACE(name);
        auto* button = Named<CButtonST>(name);
        const QImage normal = Shown(*button);
        SendEnter(*button);
        const QImage hovered = Shown(*button);
        SendLeave(*button);

        EXPECT_EQ(CountPixels(normal, QColor(255, 0, 255)), 0);
        EXPECT_EQ(CountPixels(hovered, QColor(255, 0, 255)), 0);
        EXPECT_NE(normal, hovered);
        // The corners are the skin's magenta: the window's background shows.
        const QImage background = window_->grab(button->geometry()).toImage();
        EXPECT_EQ(normal.pixelColor(0, 0), background.pixelColor(0, 0));
    }
}

// Renders docs/screenshot.png when TXISP_SCREENSHOT names where to write it.
TEST_F(MainWindowTest, Screenshot) {
    const char* target = std::getenv("TXISP_SCREENSHOT");
    if (target == nullptr) GTEST_SKIP() << "TXISP_SCREENSHOT is not set";
    Plug(SampleProductDevice());
    Open(SampleProductBundle());
    ASSERT_TRUE(window_->grab().save(QString::fromLocal8Bit(target)));
}

}  // namespace
}  // namespace txisp::ui
