#pragma once

// The Set Rolling Code dialog: the start address, word length, next value
// and step of the rolling code, as kept in the settings file beside the
// firmware file. It opens with the file's values; OK saves what the operator
// typed, Cancel saves nothing.

#include <QDialog>
#include <filesystem>

#include "rolling/rolling_dialog.h"
#include "rolling/rolling_settings.h"

class QLineEdit;

namespace txisp::platform {
class Prompts;
}

namespace txisp::ui {

class CRollingCodeDlg : public QDialog {
    Q_OBJECT

public:
    // `width`: 4 digits per word for the 8-bit family, 8 for the 32-bit one.
    // `prompts` tells the operator when the file could not be written.
    CRollingCodeDlg(std::filesystem::path settings_file, rolling::RollingWidth width,
                    platform::Prompts& prompts, QWidget* parent = nullptr);

    // OK: saves the boxes. When the file cannot be written the operator is
    // told and the dialog stays open, so the values typed are not lost.
    void accept() override;

private:
    rolling::RollingDialogFields Fields() const;

    std::filesystem::path settings_file_;
    rolling::RollingWidth width_;
    platform::Prompts& prompts_;
    QLineEdit* address_;
    QLineEdit* word_length_;
    QLineEdit* value_;
    QLineEdit* step_;
};

}  // namespace txisp::ui
