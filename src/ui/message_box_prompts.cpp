#include "ui/message_box_prompts.h"

#include <QMessageBox>
#include <QString>

namespace txisp::ui {
namespace {

QString Qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void MessageBoxPrompts::ShowMessage(std::string_view caption, std::string_view text) {
    QMessageBox box(QMessageBox::NoIcon, Qs(caption), Qs(text), QMessageBox::Ok, owner_);
    box.exec();
}

bool MessageBoxPrompts::AskYesNo(std::string_view caption, std::string_view text) {
    QMessageBox box(QMessageBox::Question, Qs(caption), Qs(text),
                    QMessageBox::Yes | QMessageBox::No, owner_);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace txisp::ui
