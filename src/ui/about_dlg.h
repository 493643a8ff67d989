#pragma once

// The about box of the system menu: the program's name, version and the chip
// families it serves. Its version line stays empty, as it always has.

#include <QDialog>

namespace txisp::ui {

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace txisp::ui
