#pragma once

// Lets the operator pick the chip a firmware file is for, from the names the
// chip table offers. OK stays disabled until a name has been clicked; a
// double click picks and confirms at once. The choice outlives the dialog:
// the Start command programs the chip chosen here.

#include <QDialog>
#include <string>

class QListWidget;
class QPushButton;

namespace txisp::ui {

class Chip_List : public QDialog {
    Q_OBJECT

public:
    explicit Chip_List(QWidget* parent = nullptr);

    // The chip chosen at the last confirmed opening; empty before any.
    const std::string& ChipName() const { return chip_name_; }

    // Cancel, Escape and closing the window: the choice made before this
    // opening stands, whatever was clicked meanwhile.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillList();
    // A click: the selected name becomes the choice and OK is offered.
    void TakeSelection();
    void Confirm();

    std::string chip_name_;
    std::string chip_name_at_open_;
    QListWidget* list_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace txisp::ui
