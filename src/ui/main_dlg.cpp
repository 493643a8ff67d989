#include "ui/main_dlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QSocketNotifier>

#include "ui/about_dlg.h"
#include "ui/button_st.h"
#include "ui/label_ex.h"
#include "ui/message_box_prompts.h"
#include "ui/rolling_code_dlg.h"
#include "ui/upgrade_warning_dlg.h"

namespace txisp::ui {
namespace {

namespace fs = std::filesystem;
using app::ControlId;
using app::SkinImage;

// Dialog template 102 is 400 x 251 dialog units; in the template's font that
// is this many pixels. A skin's background replaces it with its own size.
constexpr QSize kTemplateSize(600, 408);
constexpr QRect kStartPlace(30, 55, 128, 35);
constexpr QRect kDeviceInfoPlace(30, 112, 128, 35);
constexpr QRect kExitPlace(573, 5, 20, 20);

QString Qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QImage LoadPicture(const std::optional<fs::path>& path) {
    return path ? QImage(QString::fromStdString(path->string())) : QImage();
}

const std::optional<fs::path>& Skin(const app::SkinImagePaths& images, SkinImage which) {
    return images[static_cast<std::size_t>(which)];
}

std::optional<fs::path> OpenFile(QWidget* parent, const QString& filter) {
    QFileDialog dialog(parent, QString(), QString(), filter);
    dialog.setObjectName(QStringLiteral("openFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Qt's own dialog, whose filters match regardless of letter case as the
    // original platform's did: products ship fw.tx5 as often as FW.TX5. A
    // native dialog may compare exactly.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return fs::path(dialog.selectedFiles().front().toStdString());
}

}  // namespace

CTX5K3314_ISPDlg::CTX5K3314_ISPDlg(MainWindowDeps deps, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint),
      device_list_(this),
      chip_list_(this),
      message_boxes_(std::make_unique<MessageBoxPrompts>(this)) {
    prompts_ = deps.Prompts != nullptr ? deps.Prompts : message_boxes_.get();
    setObjectName(QStringLiteral("mainDialog"));
    setFixedSize(kTemplateSize);
    CreateControls();
    CreateWindowMenu();
    ConnectCommands();
    // The dialog's key filter sees keys before the focused control does.
    qApp->installEventFilter(this);

    dialog_ = std::make_unique<app::MainDialog>(app::MainDialogDeps{
        *this, *prompts_, deps.Backend, deps.Clock, deps.Resources, std::move(deps.TempFolder),
        std::move(deps.StateFolder), std::move(deps.ProgramPath), std::move(deps.CounterFolders)});
    dialog_->Initialize();
    // The task bar needs a name even when the product gives none.
    if (windowTitle().isEmpty()) setWindowTitle(Qs(dialog_->ToolTitle()));
    WatchDeviceNotifications();
}

CTX5K3314_ISPDlg::~CTX5K3314_ISPDlg() {
    qApp->removeEventFilter(this);
    delete device_notifier_;
    device_notifier_ = nullptr;
    if (dialog_) dialog_->Shutdown();
    dialog_.reset();
}

QWidget* CTX5K3314_ISPDlg::Control(ControlId id) const {
    const auto control = controls_.find(id);
    return control == controls_.end() ? nullptr : control->second;
}

void CTX5K3314_ISPDlg::ConnectCommands() {
    const auto on_click = [this](ControlId id, auto command) {
        connect(static_cast<QAbstractButton*>(controls_.at(id)), &QAbstractButton::clicked, this,
                [this, command] { (dialog_.get()->*command)(); });
    };
    on_click(ControlId::Start, &app::MainDialog::OnStart);
    on_click(ControlId::DeviceInfoButton, &app::MainDialog::RefreshDeviceInfo);
    on_click(ControlId::LoadFile, &app::MainDialog::LoadFileCommand);
    on_click(ControlId::TestButton, &app::MainDialog::OnTestButton);
    on_click(ControlId::IspDeviceRadio, &app::MainDialog::OnIspDeviceRadio);
    on_click(ControlId::CustomerRadio, &app::MainDialog::OnCustomerRadio);
    on_click(ControlId::SetRollingCode, &app::MainDialog::SetRollingCodeCommand);
    connect(exit_, &QAbstractButton::clicked, this, &QWidget::close);
    for (std::int32_t level = 0; level < 4; ++level) {
        connect(static_cast<QAbstractButton*>(controls_.at(app::kCodeSecurityRadios[level])),
                &QAbstractButton::clicked, this,
                [this, level] { dialog_->OnCodeSecurityRadio(level); });
    }
}

void CTX5K3314_ISPDlg::CreateWindowMenu() {
    window_menu_ = new QMenu(this);
    window_menu_->setObjectName(QStringLiteral("windowMenu"));
    window_menu_->addAction(QStringLiteral("Close"), this, &QWidget::close);
    window_menu_->addSeparator();
    window_menu_->addAction(QStringLiteral("&About ISP Tool..."), this,
                            [this] { dialog_->OnAboutCommand(); });
}

void CTX5K3314_ISPDlg::WatchDeviceNotifications() {
    const int fd = dialog_->DeviceNotificationFd();
    if (fd < 0) return;
    device_notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(device_notifier_, &QSocketNotifier::activated, this,
            [this] { dialog_->OnDeviceNotifications(); });
}

// --- Window behaviour ------------------------------------------------------------

bool CTX5K3314_ISPDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != this) return false;
    return FilterKey(*static_cast<QKeyEvent*>(event));
}

bool CTX5K3314_ISPDlg::FilterKey(const QKeyEvent& key) {
    switch (key.key()) {
        case Qt::Key_Escape:
        case Qt::Key_Space:
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            dialog_->OnEnterKey();
            return true;
        case Qt::Key_F4:
            // Window managers close on Alt+F4 themselves; where none does
            // (a kiosk session, offscreen), the window does.
            if ((key.modifiers() & Qt::AltModifier) == 0) return false;
            close();
            return true;
        default:
            return false;
    }
}

void CTX5K3314_ISPDlg::paintEvent(QPaintEvent* /*event*/) {
    if (!background_.isNull()) {
        QPainter painter(this);
        painter.drawPixmap(rect(), background_);
    }
    if (!painted_) {
        painted_ = true;
        emit FirstPainted();
    }
}

void CTX5K3314_ISPDlg::closeEvent(QCloseEvent* event) {
    if (!close_agreed_ && !dialog_->OnClose()) {
        event->ignore();
        return;
    }
    close_agreed_ = true;
    event->accept();
    // The base class would reject(), which this dialog ignores.
    QDialog::done(QDialog::Accepted);
    dialog_->Shutdown();
}

void CTX5K3314_ISPDlg::contextMenuEvent(QContextMenuEvent* event) {
    window_menu_->popup(event->globalPos());
}

void CTX5K3314_ISPDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QDialog::mousePressEvent(event);
    drag_offset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void CTX5K3314_ISPDlg::mouseMoveEvent(QMouseEvent* event) {
    if (!drag_offset_) return QDialog::mouseMoveEvent(event);
    move(event->globalPosition().toPoint() - *drag_offset_);
}

void CTX5K3314_ISPDlg::mouseReleaseEvent(QMouseEvent* event) {
    drag_offset_.reset();
    QDialog::mouseReleaseEvent(event);
}

// --- app::MainView: controls ------------------------------------------------------

void CTX5K3314_ISPDlg::SetText(ControlId id, std::string_view text) {
    QWidget* control = Control(id);
    if (auto* label_ex = qobject_cast<CLabelEx*>(control)) {
        label_ex->SetLabelText(Qs(text));
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(Qs(text));
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(Qs(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(Qs(text));
        button->update();
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
        group->setTitle(Qs(text));
    }
}

std::string CTX5K3314_ISPDlg::Text(ControlId id) const {
    const QWidget* control = Control(id);
    if (const auto* edit = qobject_cast<const QLineEdit*>(control))
        return edit->text().toStdString();
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return label->text().toStdString();
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text().toStdString();
    return {};
}

void CTX5K3314_ISPDlg::SetVisible(ControlId id, bool visible) {
    if (QWidget* control = Control(id)) control->setVisible(visible);
}

void CTX5K3314_ISPDlg::SetEnabled(ControlId id, bool enabled) {
    if (QWidget* control = Control(id)) control->setEnabled(enabled);
}

void CTX5K3314_ISPDlg::SetChecked(ControlId id, bool checked) {
    if (auto* button = qobject_cast<QAbstractButton*>(Control(id))) button->setChecked(checked);
}

bool CTX5K3314_ISPDlg::IsChecked(ControlId id) const {
    const auto* button = qobject_cast<const QAbstractButton*>(Control(id));
    return button != nullptr && button->isChecked();
}

void CTX5K3314_ISPDlg::SetTextLimit(ControlId id, int characters) {
    if (auto* edit = qobject_cast<QLineEdit*>(Control(id))) edit->setMaxLength(characters);
}

// --- app::MainView: the window ----------------------------------------------------

void CTX5K3314_ISPDlg::SetTitle(std::string_view title) {
    setWindowTitle(Qs(title));
}

void CTX5K3314_ISPDlg::SetSkinImages(const app::SkinImagePaths& images) {
    background_ = QPixmap::fromImage(LoadPicture(Skin(images, SkinImage::Background)));
    if (!background_.isNull()) setFixedSize(background_.size());
    SetUpBitmapButton(*start_, Skin(images, SkinImage::StartMo), Skin(images, SkinImage::Start));
    start_->setGeometry(kStartPlace);
    SetUpBitmapButton(*device_info_, Skin(images, SkinImage::DeviceInfoMo),
                      Skin(images, SkinImage::DeviceInfo));
    device_info_->setGeometry(kDeviceInfoPlace);
    // The exit button keeps its place and size whatever its pictures measure.
    exit_->setGeometry(kExitPlace);
    exit_->SetPictures(LoadPicture(Skin(images, SkinImage::ExitMo)), QColor(kSkinTransparent),
                       LoadPicture(Skin(images, SkinImage::Exit)), QColor(kSkinTransparent));
    update();
}

void CTX5K3314_ISPDlg::SetUpBitmapButton(CButtonST& button,
                                         const std::optional<std::filesystem::path>& hover,
                                         const std::optional<std::filesystem::path>& normal) {
    button.SetPictures(LoadPicture(hover), QColor(kSkinTransparent), LoadPicture(normal),
                       QColor(kSkinTransparent));
    button.FitToPicture();
}

void CTX5K3314_ISPDlg::AddLogLine(std::string_view line) {
    log_->addItem(Qs(line));
    log_->setCurrentRow(log_->count() - 1);
    log_->scrollToBottom();
}

void CTX5K3314_ISPDlg::SetProgress(int position) {
    progress_->setValue(position);
}

void CTX5K3314_ISPDlg::SetStartCaptionColour(app::Rgb colour) {
    const QColor caption(colour.Red, colour.Green, colour.Blue);
    start_->SetStateColor(kTextHovered, caption);
    start_->SetStateColor(kTextNormal, caption);
}

void CTX5K3314_ISPDlg::CloseWindow() {
    close_agreed_ = true;
    close();
}

// --- app::MainView: modal dialogs -------------------------------------------------

bool CTX5K3314_ISPDlg::ConfirmUpgrade(const std::optional<std::filesystem::path>& settings_folder) {
    // Without a settings folder the question still comes, with its own
    // texts and no pictures.
    C_UpgradeWarningDlg warning(settings_folder.value_or(fs::path()), this);
    return warning.exec() == QDialog::Accepted;
}

std::optional<std::int32_t> CTX5K3314_ISPDlg::ChooseDevices(
    const std::vector<std::string>& serials) {
    device_list_.SetDeviceSerials(serials);
    if (device_list_.exec() != QDialog::Accepted) return std::nullopt;
    return device_list_.DeviceMask();
}

std::optional<std::string> CTX5K3314_ISPDlg::ChooseChip() {
    if (chip_list_.exec() != QDialog::Accepted) return std::nullopt;
    return chip_list_.ChipName();
}

std::optional<std::filesystem::path> CTX5K3314_ISPDlg::ChooseTx5File() {
    return OpenFile(this, QStringLiteral("TX5 Files (*.TX5)"));
}

std::optional<std::filesystem::path> CTX5K3314_ISPDlg::ChooseHexBinFile() {
    return OpenFile(this, QStringLiteral("*.hex,*.bin (*.hex *.bin)"));
}

void CTX5K3314_ISPDlg::EditRollingCode(const std::filesystem::path& settings_file,
                                       rolling::RollingWidth width) {
    CRollingCodeDlg rolling_code(settings_file, width, *prompts_, this);
    rolling_code.exec();
}

void CTX5K3314_ISPDlg::ShowAbout() {
    CAboutDlg about(this);
    about.exec();
}

// --- app::MainView: threads -------------------------------------------------------

void CTX5K3314_ISPDlg::PostToWindowThread(std::function<void()> task) {
    // Queued to this window's thread; Qt drops it if the window has gone.
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

}  // namespace txisp::ui
