#include "ui/rolling_code_dlg.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValidator>

#include "platform/prompts.h"
#include "ui/control_identity.h"

namespace txisp::ui {
namespace {

constexpr int kIdValue = 1035;
constexpr int kIdStep = 1036;
constexpr int kIdAddress = 1037;
constexpr int kIdWordLength = 1038;

// Hex digits are stored and compared upper-case; whatever is typed or read
// from the file is shown that way.
class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*position*/) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

QLineEdit* AddRow(QGridLayout* grid, const char* label, const char* name, int id, QWidget* parent) {
    const int row = grid->rowCount();
    auto* caption = new QLabel(label, parent);
    caption->setObjectName(QString::fromLatin1(name) + "Label");
    auto* box = new QLineEdit(parent);
    SetControlIdentity(box, name, id);
    caption->setBuddy(box);
    grid->addWidget(caption, row, 0);
    grid->addWidget(box, row, 1);
    return box;
}

void MakeValueBox(QLineEdit* box) {
    box->setMaxLength(static_cast<int>(rolling::kRollingBoxLimit));
    box->setValidator(new UpperCaseValidator(box));
    // Fixed pitch keeps the four groups of four digits lined up.
    box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

QString ToQString(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

CRollingCodeDlg::CRollingCodeDlg(std::filesystem::path settings_file, rolling::RollingWidth width,
                                 platform::Prompts& prompts, QWidget* parent)
    : QDialog(parent), settings_file_(std::move(settings_file)), width_(width), prompts_(prompts) {
    setObjectName("rollingCodeDialog");
    setWindowTitle("Rolling Code");
    auto* grid = new QGridLayout;
    address_ = AddRow(grid, "Start Address :", "rollingAddress", kIdAddress, this);
    word_length_ = AddRow(grid, "Word Length :", "rollingWordLength", kIdWordLength, this);
    value_ = AddRow(grid, "Rolling Value :", "rollingValue", kIdValue, this);
    step_ = AddRow(grid, "Step Value :", "rollingStep", kIdStep, this);
    MakeValueBox(value_);
    MakeValueBox(step_);

    auto* ok = new QPushButton("OK", this);
    SetControlIdentity(ok, "rollingOk", kIdOk);
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    SetControlIdentity(cancel, "rollingCancel", kIdCancel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &CRollingCodeDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CRollingCodeDlg::reject);

    const rolling::RollingDialogFields fields = rolling::LoadRollingDialogFields(settings_file_);
    address_->setText(ToQString(fields.Address));
    word_length_->setText(ToQString(fields.WordLength));
    value_->setText(ToQString(fields.Value));
    step_->setText(ToQString(fields.Step));
}

rolling::RollingDialogFields CRollingCodeDlg::Fields() const {
    return {
        .Address = address_->text().toStdString(),
        .WordLength = word_length_->text().toStdString(),
        .Value = value_->text().toStdString(),
        .Step = step_->text().toStdString(),
    };
}

void CRollingCodeDlg::accept() {
    if (!rolling::SaveRollingDialogFields(settings_file_, width_, Fields())) {
        prompts_.ShowMessage("Error", "Save Rolling Code Settings Failed!!");
        return;
    }
    QDialog::accept();
}

}  // namespace txisp::ui
