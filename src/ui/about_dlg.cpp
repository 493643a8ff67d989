#include "ui/about_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/control_identity.h"

namespace txisp::ui {
namespace {

constexpr int kIdVersion = 1034;

QLabel* MakeLine(const QString& text, const char* name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("aboutDialog");
    setWindowTitle("About txisp");
    auto* title = MakeLine(QStringLiteral("txisp, version " TXISP_VERSION), "aboutTitle", this);
    auto* purpose =
        MakeLine("Firmware updater for USB HID devices built on TX5 and TX64 microcontrollers",
                 "aboutPurpose", this);
    // Filled by nobody: the version is in the title line.
    auto* version = new QLabel(this);
    SetControlIdentity(version, "aboutVersion", kIdVersion);
    auto* ok = new QPushButton("OK", this);
    SetControlIdentity(ok, "aboutOk", kIdOk);
    ok->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(purpose);
    layout->addWidget(version);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace txisp::ui
