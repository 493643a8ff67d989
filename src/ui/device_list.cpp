#include "ui/device_list.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/control_identity.h"

namespace txisp::ui {
namespace {

constexpr int kIdList = 1009;
constexpr int kIdDeviceOk = 1030;
constexpr int kIdDeviceCancel = 1031;
constexpr int kIdSelectAll = 1032;

// The device table holds at most eight devices; a row beyond them names no
// device a bit could select.
constexpr int kMaskRows = 8;
// Serials were converted into a 260-unit buffer.
constexpr qsizetype kSerialUnits = 259;

QString SerialText(const std::string& serial) {
    QString text = QString::fromStdString(serial);
    if (text.size() <= kSerialUnits) return text;
    // Never keep half of a surrogate pair.
    const qsizetype keep =
        text.at(kSerialUnits - 1).isHighSurrogate() ? kSerialUnits - 1 : kSerialUnits;
    return text.left(keep);
}

QPushButton* MakeButton(const QString& text, const char* name, int id, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setAutoDefault(false);
    SetControlIdentity(button, name, id);
    return button;
}

}  // namespace

CDevice_List::CDevice_List(QWidget* parent)
    : QDialog(parent),
      list_(new QTreeWidget(this)),
      ok_(MakeButton("OK", "deviceOk", kIdDeviceOk, this)),
      cancel_(MakeButton("Cancel", "deviceCancel", kIdDeviceCancel, this)),
      select_all_button_(MakeButton("Select All", "selectAll", kIdSelectAll, this)) {
    setObjectName("deviceListDialog");
    setWindowTitle("DEVICE LIST");
    SetControlIdentity(list_, "deviceList", kIdList);
    list_->setColumnCount(1);
    list_->setHeaderLabels({"Device Name"});
    list_->setRootIsDecorated(false);
    list_->header()->setStretchLastSection(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(select_all_button_);
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    ok_->setDefault(true);

    connect(ok_, &QPushButton::clicked, this, &CDevice_List::Confirm);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(select_all_button_, &QPushButton::clicked, this, &CDevice_List::SelectAll);
}

void CDevice_List::SetDeviceSerials(std::vector<std::string> serials) {
    serials_ = std::move(serials);
}

void CDevice_List::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        select_all_ = true;
        FillList();
        SelectAll();
    }
    QDialog::showEvent(event);
}

void CDevice_List::FillList() {
    mask_ = 0;
    list_->clear();
    for (std::size_t i = 0; i < serials_.size(); ++i) {
        auto* item = new QTreeWidgetItem(list_, {SerialText(serials_[i])});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        item->setData(0, Qt::UserRole, static_cast<int>(i));
    }
}

void CDevice_List::SelectAll() {
    const Qt::CheckState state = select_all_ ? Qt::Checked : Qt::Unchecked;
    for (int row = 0; row < list_->topLevelItemCount(); ++row)
        list_->topLevelItem(row)->setCheckState(0, state);
    select_all_ = !select_all_;
}

void CDevice_List::Confirm() {
    mask_ = 0;
    for (int row = 0; row < list_->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = list_->topLevelItem(row);
        const int device = item->data(0, Qt::UserRole).toInt();
        if (item->checkState(0) == Qt::Checked && device < kMaskRows) mask_ |= 1 << device;
    }
    accept();
}

}  // namespace txisp::ui
