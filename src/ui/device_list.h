#pragma once

// Lets the operator tick which of several connected devices to program. The
// list shows the devices' serial texts in device-table order and opens with
// every device ticked; "Select All" alternates between clearing and ticking
// all. Only the first eight rows can reach the mask: the device table holds
// no more.

#include <QDialog>
#include <cstdint>
#include <string>
#include <vector>

class QPushButton;
class QTreeWidget;

namespace txisp::ui {

class CDevice_List : public QDialog {
    Q_OBJECT

public:
    explicit CDevice_List(QWidget* parent = nullptr);

    // The serial texts of the devices found, in device-table order; shown
    // the next time the dialog opens.
    void SetDeviceSerials(std::vector<std::string> serials);

    // Bit i set for each ticked row i among the first eight, as OK left it;
    // 0 after Cancel.
    std::int32_t DeviceMask() const { return mask_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FillList();
    void SelectAll();
    void Confirm();

    std::vector<std::string> serials_;
    std::int32_t mask_ = 0;
    // What the next "Select All" does: tick every row (true) or clear them.
    bool select_all_ = true;
    QTreeWidget* list_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QPushButton* select_all_button_;
};

}  // namespace txisp::ui
