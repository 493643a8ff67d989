#include "ui/chip_list.h"

#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "firmware/chip_data.h"
#include "widget_probe.h"

namespace txisp::ui {
namespace {

class ChipListTest : public ::testing::Test {
protected:
    // Tall enough for every name and some empty space below them.
    ChipListTest() { dialog_.resize(300, 1000); }

    QPoint RowCentre(int row) const { return list_->visualItemRect(list_->item(row)).center(); }
    void ClickRow(int row) {
        list_->scrollToItem(list_->item(row));
        QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, RowCentre(row));
    }
    // What the mouse sends: a click, then the double click.
    void DoubleClickAt(QPoint where) {
        QTest::mouseClick(list_->viewport(), Qt::LeftButton, {}, where);
        QTest::mouseDClick(list_->viewport(), Qt::LeftButton, {}, where);
    }
    void DoubleClickRow(int row) {
        list_->scrollToItem(list_->item(row));
        DoubleClickAt(RowCentre(row));
    }

    Chip_List dialog_;
    QListWidget* list_ = Control<QListWidget>(dialog_, "chipList");
    QPushButton* ok_ = Control<QPushButton>(dialog_, "chipOk");
    QPushButton* cancel_ = Control<QPushButton>(dialog_, "chipCancel");
};

TEST_F(ChipListTest, OffersTheChipTableNamesInOrder) {
    dialog_.show();
    EXPECT_EQ(dialog_.windowTitle(), "CHIP LIST");
    ASSERT_EQ(list_->count(), 33);
    for (int row = 0; row < list_->count(); ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(list_->item(row)->text().toStdString(),
                  firmware::ChipListNames[static_cast<std::size_t>(row)]);
    }
}

TEST_F(ChipListTest, OkIsOfferedOnlyAfterAClick) {
    dialog_.show();
    EXPECT_FALSE(ok_->isEnabled());
    list_->setCurrentRow(4);  // keyboard-style selection is not a click
    EXPECT_FALSE(ok_->isEnabled());

    ClickRow(3);
    EXPECT_TRUE(ok_->isEnabled());
    EXPECT_EQ(dialog_.ChipName(), "TX5K3318");
    QTest::mouseClick(ok_, Qt::LeftButton);
    EXPECT_EQ(dialog_.result(), QDialog::Accepted);
    EXPECT_EQ(dialog_.ChipName(), "TX5K3318");

    // The choice is kept; a new opening asks for a click again.
    dialog_.show();
    EXPECT_FALSE(ok_->isEnabled());
    EXPECT_EQ(dialog_.ChipName(), "TX5K3318");
}

TEST_F(ChipListTest, DoubleClickConfirmsAtOnce) {
    dialog_.show();
    DoubleClickRow(24);
    EXPECT_FALSE(dialog_.isVisible());
    EXPECT_EQ(dialog_.result(), QDialog::Accepted);
    EXPECT_EQ(dialog_.ChipName(), "TX64K36x");
}

TEST_F(ChipListTest, DoubleClickBelowTheItemsConfirmsThePreviousChoice) {
    dialog_.show();
    DoubleClickRow(0);
    ASSERT_EQ(dialog_.ChipName(), "TX5K3317");

    dialog_.show();
    list_->clearSelection();
    DoubleClickAt(QPoint(5, list_->viewport()->height() - 2));
    EXPECT_EQ(dialog_.result(), QDialog::Accepted);
    EXPECT_EQ(dialog_.ChipName(), "TX5K3317");
}

TEST_F(ChipListTest, CancelKeepsTheChoiceOfBeforeTheOpening) {
    dialog_.show();
    DoubleClickRow(0);

    dialog_.show();
    ClickRow(5);
    QTest::mouseClick(cancel_, Qt::LeftButton);
    EXPECT_EQ(dialog_.result(), QDialog::Rejected);
    EXPECT_EQ(dialog_.ChipName(), "TX5K3317");
}

TEST_F(ChipListTest, OkTakesTheHighlightedName) {
    dialog_.show();
    ClickRow(1);
    list_->setCurrentRow(2);  // moved with the arrow keys after the click
    QTest::mouseClick(ok_, Qt::LeftButton);
    EXPECT_EQ(dialog_.ChipName(), "TX5K33137");
}

}  // namespace
}  // namespace txisp::ui
