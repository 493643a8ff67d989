// The controls of the main dialog: where each sits, what it shows before the
// logic has run, its font and colour. Positions are pixels in the 600 x 410
// window of the skins; the template placed only the three bitmap buttons, the
// rest sit where the sample skin leaves room for them (device boxes in the
// upper panel, the log in the lower one, counters and progress in the left
// column). The controls the logic hides share the left column.

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFont>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

#include "ui/button_st.h"
#include "ui/color_static.h"
#include "ui/control_identity.h"
#include "ui/label_ex.h"
#include "ui/main_dlg.h"
#include "ui/transparent_static.h"

namespace txisp::ui {
namespace {

using app::ControlId;

enum class ControlKind {
    BitmapButton,
    PushButton,
    TitleStatic,    // transparent, grey title colour
    CaptionStatic,  // transparent, light grey caption colour
    StatusStatic,
    Label,
    VersionLabel,
    Edit,
    ReadOnlyEdit,
    Radio,
    CheckBox,
    GroupBox,
    Progress,
    LogList,
};

enum class ControlFont { Default, Normal, Status, Bold };

struct ControlRow {
    ControlId Id;
    ControlKind Kind;
    const char* Name;
    const char* Text;
    int X, Y, Width, Height;
    ControlFont Font;
};

// clang-format off
// The group box comes first so that it lies beneath its radio buttons.
constexpr ControlRow kControlTable[] = {
    // Id                             Kind                 Name                 Text                    X    Y    W    H   Font
    {ControlId::CodeSecurityGroup, ControlKind::GroupBox,      "codeSecurityGroup", "Code Security",       24, 232, 144,  56, ControlFont::Normal},
    {ControlId::Start,             ControlKind::BitmapButton,  "startButton",       "Start",               30,  55, 128,  35, ControlFont::Bold},
    {ControlId::DeviceInfoButton,  ControlKind::BitmapButton,  "deviceInfoButton",  "Get Device Info",     30, 112, 128,  35, ControlFont::Bold},
    {ControlId::Exit,              ControlKind::BitmapButton,  "exitButton",        "",                   573,   5,  20,  20, ControlFont::Default},
    {ControlId::LoadFile,          ControlKind::BitmapButton,  "loadFileButton",    "Load File",           30, 112, 128,  35, ControlFont::Normal},
    {ControlId::Title,             ControlKind::TitleStatic,   "titleLabel",        "",                    34,   6, 400,  20, ControlFont::Bold},
    {ControlId::Progress,          ControlKind::Progress,      "progressBar",       "",                    24, 372, 144,  14, ControlFont::Default},
    {ControlId::LogList,           ControlKind::LogList,       "logList",           "",                   216, 162, 352, 216, ControlFont::Bold},
    {ControlId::StatusText,        ControlKind::StatusStatic,  "statusText",        "",                    24, 348, 144,  18, ControlFont::Status},
    {ControlId::VidCaption,        ControlKind::CaptionStatic, "vidCaption",        "VID:",               224,  70,  56,  20, ControlFont::Bold},
    {ControlId::PidCaption,        ControlKind::CaptionStatic, "pidCaption",        "PID:",               224,  93,  56,  20, ControlFont::Bold},
    {ControlId::RevCaption,        ControlKind::CaptionStatic, "revCaption",        "REV:",               224, 116,  56,  20, ControlFont::Bold},
    {ControlId::DeviceVidBox,      ControlKind::ReadOnlyEdit,  "vidText",           "",                   284,  70, 276,  20, ControlFont::Bold},
    {ControlId::DevicePidBox,      ControlKind::ReadOnlyEdit,  "pidText",           "",                   284,  93, 276,  20, ControlFont::Bold},
    {ControlId::DeviceRevBox,      ControlKind::ReadOnlyEdit,  "revText",           "",                   284, 116, 276,  20, ControlFont::Bold},
    {ControlId::SuccessCaption,    ControlKind::CaptionStatic, "successCaption",    "Success:",            24, 300,  88,  20, ControlFont::Bold},
    {ControlId::FailCaption,       ControlKind::CaptionStatic, "failCaption",       "Fail:",               24, 324,  88,  20, ControlFont::Bold},
    {ControlId::SuccessCount,      ControlKind::ReadOnlyEdit,  "successCount",      "",                   112, 300,  52,  20, ControlFont::Bold},
    {ControlId::FailCount,         ControlKind::ReadOnlyEdit,  "failCount",         "",                   112, 324,  52,  20, ControlFont::Bold},
    {ControlId::PasswordLabel,     ControlKind::Label,         "passwordLabel",     "Password",            24, 156,  70,  20, ControlFont::Normal},
    {ControlId::PasswordBox,       ControlKind::Edit,          "passwordBox",       "",                    96, 156,  72,  20, ControlFont::Default},
    {ControlId::VidLabel,          ControlKind::Label,         "vidLabel",          "VID",                 24, 180,  30,  20, ControlFont::Normal},
    {ControlId::VidBox,            ControlKind::Edit,          "vidBox",            "",                    54, 180,  40,  20, ControlFont::Default},
    {ControlId::PidLabel,          ControlKind::Label,         "pidLabel",          "PID",                 96, 180,  30,  20, ControlFont::Normal},
    {ControlId::PidBox,            ControlKind::Edit,          "pidBox",            "",                   126, 180,  42,  20, ControlFont::Default},
    {ControlId::IspDeviceRadio,    ControlKind::Radio,         "ispDeviceRadio",    "Noruk ISP Device",    24, 156, 144,  20, ControlFont::Default},
    {ControlId::CustomerRadio,     ControlKind::Radio,         "customerRadio",     "Customer Device",     24, 180, 144,  20, ControlFont::Default},
    {ControlId::EnableRollingCode, ControlKind::CheckBox,      "rollingEnableBox",  "Enable Rolling Code", 24, 204, 144,  20, ControlFont::Normal},
    {ControlId::SetRollingCode,    ControlKind::BitmapButton,  "rollingSetButton",  "Set Rolling Code",    24, 204, 144,  24, ControlFont::Normal},
    {ControlId::CodeSecurity0,     ControlKind::Radio,         "cs0",               "CS0",                 30, 256,  34,  20, ControlFont::Normal},
    {ControlId::CodeSecurity1,     ControlKind::Radio,         "cs1",               "CS1",                 64, 256,  34,  20, ControlFont::Normal},
    {ControlId::CodeSecurity2,     ControlKind::Radio,         "cs2",               "CS2",                 98, 256,  34,  20, ControlFont::Normal},
    {ControlId::CodeSecurity3,     ControlKind::Radio,         "cs3",               "CS3",                132, 256,  34,  20, ControlFont::Normal},
    {ControlId::VersionLabel,      ControlKind::VersionLabel,  "versionLabel",      "",                   440, 388, 148,  18, ControlFont::Default},
    {ControlId::ChipNameLabel,     ControlKind::Label,         "chipNameLabel",     "Chip Name :",        210,  36, 120,  12, ControlFont::Default},
    {ControlId::ChecksumLabel,     ControlKind::Label,         "checksumLabel",     "TX5 Check Sum :",    330,  36, 120,  12, ControlFont::Default},
    {ControlId::BuildTimeLabel,    ControlKind::Label,         "buildTimeLabel",    "Build Time :",       450,  36, 120,  12, ControlFont::Default},
    {ControlId::TestButton,        ControlKind::PushButton,    "testButton",        "Test Button",         24, 290,  72,  20, ControlFont::Default},
    {ControlId::EnableEncryption,  ControlKind::CheckBox,      "encryptionBox",     "Enable Encryption",   96, 290,  72,  20, ControlFont::Default},
};
// clang-format on

// The template leaves these hidden; the logic hides the rest it does not use.
constexpr ControlId kNeverShown[] = {ControlId::DeviceInfoButton, ControlId::TestButton,
                                     ControlId::EnableEncryption};

constexpr QRgb kTitleColour = qRgb(110, 110, 110);
constexpr QRgb kCaptionColour = qRgb(165, 165, 165);
constexpr QRgb kStatusColour = qRgb(0, 0, 192);

QFont MakeFont(ControlFont font) {
    QFont made = QApplication::font();
    switch (font) {
        case ControlFont::Default:
            return made;
        case ControlFont::Normal:
            made.setPixelSize(18);
            made.setWeight(QFont::Normal);
            break;
        case ControlFont::Status:
            made.setPixelSize(15);
            made.setWeight(QFont::Bold);
            break;
        case ControlFont::Bold:
            made.setPixelSize(16);
            made.setWeight(QFont::Bold);
            break;
    }
    made.setStyleStrategy(QFont::PreferQuality);
    return made;
}

QWidget* MakeControl(const ControlRow& row, QWidget* parent) {
    const QString text = QString::fromUtf8(row.Text);
    switch (row.Kind) {
        case ControlKind::BitmapButton: {
            auto* button = new CButtonST(parent);
            button->setText(text);
            return button;
        }
        case ControlKind::PushButton:
            return new QPushButton(text, parent);
        case ControlKind::TitleStatic:
        case ControlKind::CaptionStatic: {
            auto* label = new CTransparentStatic(parent);
            label->setText(text);
            label->SetTextColour(
                QColor(row.Kind == ControlKind::TitleStatic ? kTitleColour : kCaptionColour));
            return label;
        }
        case ControlKind::StatusStatic: {
            auto* status = new CColorStatic(parent);
            status->SetTextColourAndRedraw(QColor(kStatusColour));
            return status;
        }
        case ControlKind::Label:
            return new QLabel(text, parent);
        case ControlKind::VersionLabel: {
            auto* label = new CLabelEx(parent);
            label->SetTransparent(true);
            return label;
        }
        case ControlKind::Edit:
        case ControlKind::ReadOnlyEdit: {
            auto* edit = new QLineEdit(parent);
            edit->setReadOnly(row.Kind == ControlKind::ReadOnlyEdit);
            return edit;
        }
        case ControlKind::Radio:
            return new QRadioButton(text, parent);
        case ControlKind::CheckBox:
            return new QCheckBox(text, parent);
        case ControlKind::GroupBox:
            return new QGroupBox(text, parent);
        case ControlKind::Progress: {
            auto* progress = new QProgressBar(parent);
            progress->setRange(0, 100);
            progress->setValue(0);
            progress->setTextVisible(false);
            return progress;
        }
        case ControlKind::LogList: {
            auto* list = new QListWidget(parent);
            // Lines are appended, never sorted, and the operator selects none:
            // the current line only marks the latest.
            list->setSelectionMode(QAbstractItemView::NoSelection);
            return list;
        }
    }
    return nullptr;
}

}  // namespace

void CTX5K3314_ISPDlg::CreateControls() {
    for (const ControlRow& row : kControlTable) {
        QWidget* control = MakeControl(row, this);
        SetControlIdentity(control, row.Name, static_cast<int>(row.Id));
        control->setGeometry(row.X, row.Y, row.Width, row.Height);
        if (row.Font != ControlFont::Default) control->setFont(MakeFont(row.Font));
        controls_[row.Id] = control;
    }
    for (const app::ControlId id : kNeverShown)
        controls_[id]->hide();

    start_ = static_cast<CButtonST*>(controls_[app::ControlId::Start]);
    device_info_ = static_cast<CButtonST*>(controls_[app::ControlId::DeviceInfoButton]);
    exit_ = static_cast<CButtonST*>(controls_[app::ControlId::Exit]);
    log_ = static_cast<QListWidget*>(controls_[app::ControlId::LogList]);
    progress_ = static_cast<QProgressBar*>(controls_[app::ControlId::Progress]);

    for (CButtonST* button : {start_, device_info_}) {
        button->SetPlacement(kCaptionOverPicture);
        button->SetStateColor(kTextHovered, Qt::white);
        button->SetStateColor(kTextNormal, Qt::white);
    }
    static_cast<CButtonST*>(controls_[app::ControlId::LoadFile])
        ->SetIconPictures(style()->standardIcon(QStyle::SP_DialogOpenButton));
    static_cast<CButtonST*>(controls_[app::ControlId::SetRollingCode])
        ->SetIconPictures(style()->standardIcon(QStyle::SP_FileDialogDetailedView));

    // Two radio groups share the window: CS0..CS3 choose among themselves
    // only, as do the two device radios.
    auto* levels = new QButtonGroup(this);
    for (const app::ControlId id : app::kCodeSecurityRadios)
        levels->addButton(static_cast<QRadioButton*>(controls_[id]));
    auto* devices = new QButtonGroup(this);
    devices->addButton(static_cast<QRadioButton*>(controls_[app::ControlId::IspDeviceRadio]));
    devices->addButton(static_cast<QRadioButton*>(controls_[app::ControlId::CustomerRadio]));
}

}  // namespace txisp::ui
