#pragma once

// The operator's window: a caption-less dialog painted with the product's
// skin, dragged by any point of its background, holding every control of the
// main dialog. What the controls do is decided by app::MainDialog; this
// class is its view, with widgets.

#include <QDialog>
#include <QPixmap>
#include <QPoint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>

#include "app/main_dialog.h"
#include "app/main_view.h"
#include "engine/counters.h"
#include "hid/hid_backend.h"
#include "platform/clock.h"
#include "platform/prompts.h"
#include "platform/resources.h"
#include "ui/chip_list.h"
#include "ui/device_list.h"

class QMenu;
class QSocketNotifier;
class QListWidget;
class QProgressBar;

namespace txisp::ui {

class CButtonST;
class MessageBoxPrompts;

// What the window needs from the program; the tests give a simulated bus,
// scratch folders and, when they must not block, their own prompts.
struct MainWindowDeps {
    hid::HidBackend& Backend;
    platform::Clock& Clock;
    const platform::ResourceBundle& Resources;
    std::optional<std::filesystem::path> TempFolder;
    std::optional<std::filesystem::path> StateFolder;
    std::filesystem::path ProgramPath;
    engine::CounterFolders CounterFolders = {};
    // Message boxes when null.
    platform::Prompts* Prompts = nullptr;
};

class CTX5K3314_ISPDlg final : public QDialog, public app::MainView {
    Q_OBJECT

public:
    // Builds the controls and runs the whole start-up, including the first
    // device search.
    explicit CTX5K3314_ISPDlg(MainWindowDeps deps, QWidget* parent = nullptr);
    ~CTX5K3314_ISPDlg() override;

    app::MainDialog& Logic() { return *dialog_; }
    // The widget standing for control `id`; null for a number not in the
    // control table.
    QWidget* Control(app::ControlId id) const;

    // --- app::MainView ----------------------------------------------------------
    void SetText(app::ControlId id, std::string_view text) override;
    std::string Text(app::ControlId id) const override;
    void SetVisible(app::ControlId id, bool visible) override;
    void SetEnabled(app::ControlId id, bool enabled) override;
    void SetChecked(app::ControlId id, bool checked) override;
    bool IsChecked(app::ControlId id) const override;
    void SetTextLimit(app::ControlId id, int characters) override;
    void SetTitle(std::string_view title) override;
    void SetSkinImages(const app::SkinImagePaths& images) override;
    void AddLogLine(std::string_view line) override;
    void SetProgress(int position) override;
    void SetStartCaptionColour(app::Rgb colour) override;
    void CloseWindow() override;
    bool ConfirmUpgrade(const std::optional<std::filesystem::path>& settings_folder) override;
    std::optional<std::int32_t> ChooseDevices(const std::vector<std::string>& serials) override;
    std::optional<std::string> ChooseChip() override;
    std::optional<std::filesystem::path> ChooseTx5File() override;
    std::optional<std::filesystem::path> ChooseHexBinFile() override;
    void EditRollingCode(const std::filesystem::path& settings_file,
                         rolling::RollingWidth width) override;
    void ShowAbout() override;
    void PostToWindowThread(std::function<void()> task) override;

signals:
    // The window has been painted for the first time.
    void FirstPainted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Escape would end the dialog: only the exit button and Close may.
    void reject() override {}

private:
    void CreateControls();
    // Qt has no system menu on every platform: the window's context menu
    // stands in for it.
    void CreateWindowMenu();
    void ConnectCommands();
    void WatchDeviceNotifications();
    // Keys as the dialog's key filter sees them, before the focused control;
    // true when the key is used up.
    bool FilterKey(const QKeyEvent& key);
    void SetUpBitmapButton(CButtonST& button, const std::optional<std::filesystem::path>& hover,
                           const std::optional<std::filesystem::path>& normal);

    std::map<app::ControlId, QWidget*> controls_;
    CButtonST* start_ = nullptr;
    CButtonST* device_info_ = nullptr;
    CButtonST* exit_ = nullptr;
    QListWidget* log_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPixmap background_;
    CDevice_List device_list_;
    Chip_List chip_list_;
    std::optional<QPoint> drag_offset_;
    bool close_agreed_ = false;
    bool painted_ = false;

    QMenu* window_menu_ = nullptr;

    std::unique_ptr<MessageBoxPrompts> message_boxes_;
    platform::Prompts* prompts_ = nullptr;
    QSocketNotifier* device_notifier_ = nullptr;
    // Last, so it goes first: its end shows the end of a run still going on
    // the controls above.
    std::unique_ptr<app::MainDialog> dialog_;
};

}  // namespace txisp::ui
