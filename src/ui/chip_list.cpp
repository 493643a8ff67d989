#include "ui/chip_list.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "firmware/chip_data.h"
#include "ui/control_identity.h"

namespace txisp::ui {
namespace {

constexpr int kIdList = 1009;

QPushButton* MakeButton(const QString& text, const char* name, int id, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    SetControlIdentity(button, name, id);
    return button;
}

}  // namespace

Chip_List::Chip_List(QWidget* parent)
    : QDialog(parent),
      list_(new QListWidget(this)),
      ok_(MakeButton("OK", "chipOk", kIdOk, this)),
      cancel_(MakeButton("Cancel", "chipCancel", kIdCancel, this)) {
    setObjectName("chipListDialog");
    setWindowTitle("CHIP LIST");
    SetControlIdentity(list_, "chipList", kIdList);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    // Clicks are watched on the viewport, where they arrive, so that a
    // double click on the empty part of the list still confirms.
    list_->viewport()->installEventFilter(this);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);

    connect(ok_, &QPushButton::clicked, this, &Chip_List::Confirm);
    connect(cancel_, &QPushButton::clicked, this, &Chip_List::reject);
}

void Chip_List::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        chip_name_at_open_ = chip_name_;
        ok_->setEnabled(false);
        FillList();
    }
    QDialog::showEvent(event);
}

void Chip_List::FillList() {
    list_->clear();
    for (const std::string_view name : firmware::ChipListNames)
        list_->addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

bool Chip_List::eventFilter(QObject* watched, QEvent* event) {
    if (watched != list_->viewport()) return QDialog::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick) return false;
    if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return false;
    // The view selects on the press, which came before either of these.
    TakeSelection();
    if (type == QEvent::MouseButtonDblClick) accept();
    return false;
}

void Chip_List::TakeSelection() {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty()) return;
    chip_name_ = selected.first()->text().toStdString();
    ok_->setEnabled(true);
}

void Chip_List::Confirm() {
    // The highlighted name, which the keyboard may have moved since the
    // click that offered OK.
    TakeSelection();
    accept();
}

void Chip_List::reject() {
    chip_name_ = chip_name_at_open_;
    QDialog::reject();
}

}  // namespace txisp::ui
