#include "ui/device_list.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <string>
#include <vector>

#include "widget_probe.h"

namespace txisp::ui {
namespace {

std::vector<std::string> Serials(int count) {
    std::vector<std::string> serials;
    for (int i = 0; i < count; ++i)
        serials.push_back("SN-" + std::to_string(i));
    return serials;
}

class DeviceListTest : public ::testing::Test {
protected:
    void Open(int devices) {
        dialog_.SetDeviceSerials(Serials(devices));
        dialog_.show();
    }
    std::vector<bool> Ticks() const {
        std::vector<bool> ticks;
        for (int row = 0; row < list_->topLevelItemCount(); ++row)
            ticks.push_back(list_->topLevelItem(row)->checkState(0) == Qt::Checked);
        return ticks;
    }
    void Tick(int row, bool ticked) {
        list_->topLevelItem(row)->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
    }
    void Click(const char* name) {
        QTest::mouseClick(Control<QPushButton>(dialog_, name), Qt::LeftButton);
    }

    CDevice_List dialog_;
    QTreeWidget* list_ = Control<QTreeWidget>(dialog_, "deviceList");
};

TEST_F(DeviceListTest, OpensWithEveryDeviceTickedUnderItsSerial) {
    Open(3);
    EXPECT_EQ(dialog_.windowTitle(), "DEVICE LIST");
    EXPECT_EQ(list_->headerItem()->text(0), "Device Name");
    ASSERT_EQ(list_->topLevelItemCount(), 3);
    EXPECT_EQ(list_->topLevelItem(2)->text(0), "SN-2");
    EXPECT_EQ(Ticks(), std::vector<bool>(3, true));
}

TEST_F(DeviceListTest, SelectAllAlternatesBetweenClearingAndTicking) {
    Open(3);
    Click("selectAll");
    EXPECT_EQ(Ticks(), std::vector<bool>(3, false));
    Click("selectAll");
    EXPECT_EQ(Ticks(), std::vector<bool>(3, true));

    // Opening again starts over: all ticked, the next press clears.
    Tick(1, false);
    dialog_.hide();
    Open(3);
    EXPECT_EQ(Ticks(), std::vector<bool>(3, true));
    Click("selectAll");
    EXPECT_EQ(Ticks(), std::vector<bool>(3, false));
}

TEST_F(DeviceListTest, OkGivesTheMaskOfTheTickedAmongTheFirstEight) {
    const struct {
        const char* name;
        int devices;
        std::vector<int> unticked;
        std::int32_t mask;
    } cases[] = {
        {"rows 0 and 2 of 3", 3, {1}, 5},
        {"all of 8", 8, {}, 0xFF},
        {"ninth and tenth ticked too", 10, {}, 0xFF},
        {"only the ninth ticked", 9, {0, 1, 2, 3, 4, 5, 6, 7}, 0},
        {"none", 2, {0, 1}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Open(c.devices);
        for (const int row : c.unticked)
            Tick(row, false);
        Click("deviceOk");
        EXPECT_EQ(dialog_.result(), QDialog::Accepted);
        EXPECT_EQ(dialog_.DeviceMask(), c.mask);
        EXPECT_FALSE(dialog_.isVisible());
    }
}

TEST_F(DeviceListTest, CancelRejectsWithAnEmptyMask) {
    Open(3);
    Click("deviceOk");
    ASSERT_EQ(dialog_.DeviceMask(), 7);

    Open(3);
    Click("deviceCancel");
    EXPECT_EQ(dialog_.result(), QDialog::Rejected);
    EXPECT_EQ(dialog_.DeviceMask(), 0);
}

}  // namespace
}  // namespace txisp::ui
