// Device searches over hidraw nodes laid out as the kernel shows them.

#include <gtest/gtest.h>

#include <climits>

#include "fake_sysfs.h"
#include "hid/hid_device_table.h"
#include "hid/open_error.h"
#include "support/fake_hid_backend.h"
#include "trace_capture.h"

namespace txisp::hid {
namespace {

using platform::TraceLevel;
using testing::FakeHidrawNode;
using testing::FakeSysfs;
using testing::FeatureDescriptor;

constexpr std::uint16_t kVid = 0x5E3A;
constexpr std::uint16_t kPid = 0x7300;
constexpr std::uint16_t kVendorPage = 0xFF00;
constexpr std::uint8_t kGenericDesktop = 0x01;
constexpr std::uint8_t kMouse = 0x02;
constexpr std::uint8_t kKeyboard = 0x06;

class DeviceSearchTest : public ::testing::Test {
protected:
    FakeHidrawNode Node(int number, std::uint8_t feature_bytes = 8) {
        FakeHidrawNode node(number, FeatureDescriptor(kVendorPage, 0x01, feature_bytes));
        node.Phys = "usb-0000:00:14.0-3/input" + std::to_string(number);
        return node;
    }

    std::vector<std::string> RecordPaths() {
        std::vector<std::string> paths;
        for (int i = 0; i < table_.GetDeviceCount(); ++i) {
            paths.push_back(table_.GetRecord(i)->DevicePath);
        }
        return paths;
    }

    FakeSysfs sysfs_;
    HidrawBackend backend_ = sysfs_.Backend();
    HidDeviceTable table_{backend_};
};

TEST_F(DeviceSearchTest, CompositeDeviceGivesOneRecordPerMatchingInterfaceInNodeOrder) {
    sysfs_.Add(Node(10));
    sysfs_.Add(Node(2));
    auto other_vendor = Node(3);
    other_vendor.Vid = 0x046D;
    other_vendor.Pid = 0xC077;
    sysfs_.Add(other_vendor);
    sysfs_.Add(Node(1));

    ASSERT_EQ(table_.OpenHidDevice(kVid, kPid), kHidOk);
    EXPECT_EQ(RecordPaths(), (std::vector<std::string>{sysfs_.NodePath(1), sysfs_.NodePath(2),
                                                       sysfs_.NodePath(10)}));
    for (int i = 0; i < table_.GetDeviceCount(); ++i) {
        const auto record = table_.GetRecord(i);
        EXPECT_EQ(record->Index, i);
        EXPECT_EQ(record->FeatureReportByteLength, 9);
    }
}

TEST_F(DeviceSearchTest, FeatureReportUnderAReportIdIsRefused) {
    auto node = Node(0);
    node.Descriptor = FeatureDescriptor(kVendorPage, 0x01, 8, /*report_id=*/2);
    sysfs_.Add(node);
    EXPECT_EQ(table_.OpenHidDevice(kVid, kPid), kHidFail);
    EXPECT_EQ(table_.GetDeviceCount(), 0);
}

TEST_F(DeviceSearchTest, SixtyFiveByteReportIsFoundOnlyWithSixtyFourByteBlocks) {
    sysfs_.Add(Node(0, 64));
    EXPECT_EQ(table_.OpenHidDevice(kVid, kPid), kHidFail);
    EXPECT_EQ(table_.SetReportBlockSize(64), 65);
    EXPECT_EQ(table_.OpenHidDevice(kVid, kPid), kHidOk);
    EXPECT_EQ(table_.GetDeviceCount(), 1);
    EXPECT_EQ(table_.SetReportBlockSize(8), 9);
    EXPECT_EQ(table_.OpenHidDevice(kVid, kPid), kHidFail);
}

TEST_F(DeviceSearchTest, InputDevicesAreFoundInTheirOwnSearchStep) {
    const struct {
        const char* name;
        std::uint8_t usage;
        InterfaceClass found_in;
    } kCases[] = {
        {"mouse only", kMouse, InterfaceClass::Mouse},
        {"keyboard only", kKeyboard, InterfaceClass::Keyboard},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        FakeSysfs sysfs;
        sysfs.Add({0, FeatureDescriptor(kGenericDesktop, c.usage, 8)});
        HidrawBackend backend = sysfs.Backend();
        HidDeviceTable table(backend);
        ASSERT_EQ(table.OpenHidDevice(kVid, kPid), kHidOk);
        EXPECT_EQ(table.CurrentInterfaceClass(), c.found_in);
        EXPECT_EQ(table.GetDeviceCount(), 1);
    }
}

TEST_F(DeviceSearchTest, FirstClassWithAnyDeviceWins) {
    sysfs_.Add({0, FeatureDescriptor(kGenericDesktop, kKeyboard, 8)});
    sysfs_.Add(Node(1));
    ASSERT_EQ(table_.OpenHidDevice(kVid, kPid), kHidOk);
    EXPECT_EQ(table_.CurrentInterfaceClass(), InterfaceClass::Hid);
    EXPECT_EQ(RecordPaths(), std::vector<std::string>{sysfs_.NodePath(1)});
}

TEST_F(DeviceSearchTest, MoreThanEightMatchesKeepTheFirstEight) {
    std::vector<std::string> first_eight;
    for (int n = 0; n < 11; ++n) {
        sysfs_.Add(Node(n));
        if (n < HidDeviceTable::kMaxDevices) first_eight.push_back(sysfs_.NodePath(n));
    }
    ASSERT_EQ(table_.OpenHidDevice(kVid, kPid), kHidOk);
    EXPECT_EQ(RecordPaths(), first_eight);
}

TEST_F(DeviceSearchTest, SelectingOutsideTheTableSelectsRecordZero) {
    sysfs_.Add(Node(0));
    sysfs_.Add(Node(1));
    ASSERT_EQ(table_.OpenHidDevice(kVid, kPid), kHidOk);
    const struct {
        int index;
        int selected;
    } kCases[] = {{1, 1}, {0, 0}, {2, 0}, {3, 0}, {-1, 0}, {INT_MAX, 0}, {INT_MIN, 0}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.index);
        table_.SelectDevice(1);
        table_.SelectDevice(c.index);
        EXPECT_EQ(table_.CurrentIndex(), c.selected);
    }
}

TEST_F(DeviceSearchTest, IdenticalDevicesOnTwoPortsHaveDifferentSerialTexts) {
    auto left = Node(0);
    left.Phys = "usb-0000:00:14.0-3/input0";
    left.Uniq = "SN123";
    auto right = Node(1);
    right.Phys = "usb-0000:00:14.0-4/input0";
    right.Uniq = "SN123";
    sysfs_.Add(left);
    sysfs_.Add(right);
    ASSERT_EQ(table_.OpenHidDevice(kVid, kPid), kHidOk);

    std::string first, second;
    ASSERT_TRUE(table_.GetDeviceSerial(0, first));
    ASSERT_TRUE(table_.GetDeviceSerial(1, second));
    EXPECT_EQ(first, "usb-0000:00:14.0-3/input0 SN123");
    EXPECT_EQ(second, "usb-0000:00:14.0-4/input0 SN123");

    std::string untouched = "keep";
    EXPECT_FALSE(table_.GetDeviceSerial(2, untouched));
    EXPECT_FALSE(table_.GetDeviceSerial(-1, untouched));
    EXPECT_EQ(untouched, "keep");
}

TEST_F(DeviceSearchTest, UnopenableInterfaceIsSkippedWithATraceLine) {
    testing::TraceCapture trace;
    auto missing = Node(0);
    missing.NodeExists = false;
    sysfs_.Add(missing);
    sysfs_.Add(Node(1));

    ASSERT_EQ(table_.OpenHidDevice(kVid, kPid), kHidOk);
    EXPECT_EQ(RecordPaths(), std::vector<std::string>{sysfs_.NodePath(1)});
    const auto lines = trace.Lines(TraceLevel::Debug);
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "skipped " + sysfs_.NodePath(0) + ": No such file or directory"),
              lines.end());
    // Not a permission problem, so no hint about access rights.
    EXPECT_TRUE(table_.PermissionDeniedPaths().empty());
}

// Only interfaces with the searched IDs count, and only a refused permission
// is something the user can grant.
TEST(DevicePermissions, SearchListsTheMatchingInterfacesTheUserMayNotOpen) {
    testing::FakeHidBackend backend;
    auto denied = testing::FakeHidBackend::Interface("/dev/hidraw0", kVid, kPid, 9);
    denied.OpenError = std::string(kPermissionDenied);
    auto other_ids = testing::FakeHidBackend::Interface("/dev/hidraw1", kVid, 0x1234, 9);
    other_ids.OpenError = std::string(kPermissionDenied);
    auto busy = testing::FakeHidBackend::Interface("/dev/hidraw2", kVid, kPid, 9);
    busy.OpenError = "device or resource busy";
    auto denied_keyboard =
        testing::FakeHidBackend::Interface("/dev/hidraw3", kVid, kPid, 9, InterfaceClass::Keyboard);
    denied_keyboard.OpenError = std::string(kPermissionDenied);
    for (auto* info : {&denied, &other_ids, &busy, &denied_keyboard})
        backend.AddInterface(*info);

    HidDeviceTable table(backend);
    EXPECT_EQ(table.OpenHidDevice(kVid, kPid), kHidFail);
    EXPECT_EQ(table.PermissionDeniedPaths(),
              (std::vector<std::string>{"/dev/hidraw0", "/dev/hidraw3"}));

    // A new search starts a new list.
    EXPECT_EQ(table.OpenHidDevice(kVid, 0x9999), kHidFail);
    EXPECT_TRUE(table.PermissionDeniedPaths().empty());
}

}  // namespace
}  // namespace txisp::hid
