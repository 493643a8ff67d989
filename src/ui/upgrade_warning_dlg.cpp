#include "ui/upgrade_warning_dlg.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QShowEvent>
#include <algorithm>
#include <string_view>

#include "platform/files.h"
#include "platform/ini_profile.h"
#include "ui/button_st.h"
#include "ui/control_identity.h"
#include "ui/skin_pictures.h"
#include "ui/transparent_static.h"

namespace txisp::ui {
namespace {

constexpr int kIdExit = 3;
constexpr int kIdMessage = 1054;

constexpr std::string_view kSettingsFile = "UISettings.ini";
constexpr std::string_view kSection = "UISettings";
constexpr std::string_view kImageFolder = "Image";

// The layout of the product's skin: its background is 360 x 200 and its
// buttons 100 x 30, which is also what they get when a picture is missing.
constexpr QSize kWindowSize(360, 200);
constexpr QRect kMessageRect(20, 36, 320, 90);
constexpr QRect kOkRect(60, 146, 100, 30);
constexpr QRect kCancelRect(200, 146, 100, 30);
constexpr QRect kExitRect(332, 8, 20, 20);

constexpr QRgb kMessageColour = qRgb(0xA5, 0xA5, 0xA5);
constexpr int kMessageHeight = 18;
constexpr int kMessageAverageWidth = 9;

QString Text(const std::filesystem::path& file, std::string_view key) {
    return QString::fromStdString(platform::ReadProfileString(file, kSection, key, ""));
}

// 18 pixels high and 9 wide on average: the width is reached by stretching
// whatever face the system gives.
QFont MessageFont() {
    QFont font;
    font.setPixelSize(kMessageHeight);
    font.setWeight(QFont::Normal);
    font.setStyleStrategy(QFont::PreferQuality);
    const int average = QFontMetrics(font).averageCharWidth();
    if (average > 0) font.setStretch(std::clamp(kMessageAverageWidth * 100 / average, 1, 4000));
    return font;
}

CButtonST* MakeButton(QWidget* parent, const QRect& rect, const char* name, int id) {
    auto* button = new CButtonST(parent);
    button->setGeometry(rect);
    SetControlIdentity(button, name, id);
    return button;
}

}  // namespace

C_UpgradeWarningDlg::C_UpgradeWarningDlg(std::filesystem::path settings_folder, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      settings_folder_(std::move(settings_folder)),
      ok_(MakeButton(this, kOkRect, "upgradeOk", kIdOk)),
      cancel_(MakeButton(this, kCancelRect, "upgradeCancel", kIdCancel)),
      exit_(MakeButton(this, kExitRect, "upgradeExit", kIdExit)),
      message_(new CTransparentStatic(this)) {
    setObjectName("upgradeWarningDialog");
    setFixedSize(kWindowSize);
    message_->setGeometry(kMessageRect);
    message_->setWordWrap(true);
    message_->setAlignment(Qt::AlignCenter);
    message_->setFont(MessageFont());
    message_->SetTextColour(QColor(kMessageColour));
    SetControlIdentity(message_, "upgradeMessage", kIdMessage);

    for (CButtonST* button : {ok_, cancel_}) {
        button->SetPlacement(kCaptionOverPicture);
        button->SetStateColor(kTextHovered, Qt::white);
        button->SetStateColor(kTextNormal, Qt::white);
    }
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(exit_, &QPushButton::clicked, this, &QDialog::reject);
}

void C_UpgradeWarningDlg::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        LoadTexts();
        LoadPictures();
    }
    QDialog::showEvent(event);
}

void C_UpgradeWarningDlg::LoadTexts() {
    const auto file = settings_folder_ / kSettingsFile;
    message_->setText(Text(file, "UpgradeWarningMSG"));
    ok_->setText(Text(file, "OKButtonString"));
    cancel_->setText(Text(file, "CancelButtonString"));
}

void C_UpgradeWarningDlg::LoadPictures() {
    const auto folder = platform::FindFileIgnoringCase(settings_folder_, kImageFolder)
                            .value_or(settings_folder_ / kImageFolder);
    const auto picture = [&](std::string_view name) { return LoadSkinPicture(folder, name); };
    const QColor magenta(kSkinTransparent);

    background_ = QPixmap::fromImage(picture("UpgradeWarningDlg_bg.png"));
    exit_->SetPictures(picture("Exit_mo.bmp"), magenta, picture("Exit.bmp"), magenta);
    exit_->FitToPicture();
    const QImage hover = picture("UpgradeWarningDlgMo.png");
    const QImage normal = picture("UpgradeWarningDlgGen.png");
    for (CButtonST* button : {ok_, cancel_}) {
        button->SetPictures(hover, magenta, normal, magenta);
        button->FitToPicture();
    }
    update();
}

void C_UpgradeWarningDlg::paintEvent(QPaintEvent* event) {
    if (background_.isNull()) {
        QDialog::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.drawPixmap(rect(), background_);
}

void C_UpgradeWarningDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    drag_offset_ = event->globalPosition().toPoint() - pos();
    event->accept();
}

void C_UpgradeWarningDlg::mouseMoveEvent(QMouseEvent* event) {
    if (!drag_offset_ || !(event->buttons() & Qt::LeftButton)) {
        QDialog::mouseMoveEvent(event);
        return;
    }
    move(event->globalPosition().toPoint() - *drag_offset_);
    event->accept();
}

void C_UpgradeWarningDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) drag_offset_.reset();
    QDialog::mouseReleaseEvent(event);
}

}  // namespace txisp::ui
