#include "hid/hidraw_backend.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "fake_sysfs.h"
#include "hid/open_error.h"
#include "platform/files.h"

namespace txisp::hid {
namespace {

namespace fs = std::filesystem;
using testing::FakeHidrawNode;
using testing::FakeSysfs;
using testing::FeatureDescriptor;

constexpr std::uint16_t kVendorPage = 0xFF00;

std::vector<std::uint8_t> TopLevel(std::uint8_t usage) {
    return {0x05, 0x01, 0x09, usage, 0xA1, 0x01, 0xC0};  // Generic Desktop, Collection, End
}

TEST(HidrawBackend, DescribesAnInterfaceFromItsUeventAndDescriptor) {
    FakeSysfs sysfs;
    FakeHidrawNode node(3, FeatureDescriptor(kVendorPage, 0x01, 64));
    node.Pid = 0x7301;
    node.Phys = "usb-0000:00:14.0-3/input1";
    node.Uniq = "SN123";
    sysfs.Add(node);

    const auto found = sysfs.Backend().Enumerate(InterfaceClass::Hid);
    ASSERT_EQ(found.size(), 1u);
    const HidInterfaceInfo& info = found[0];
    EXPECT_EQ(info.Path, sysfs.NodePath(3));
    EXPECT_EQ(info.Class, InterfaceClass::Hid);
    EXPECT_EQ(info.VendorId, 0x5E3A);
    EXPECT_EQ(info.ProductId, 0x7301);
    EXPECT_EQ(info.FeatureReportByteLength, 65);
    EXPECT_EQ(info.FeatureReportId, 0);
    EXPECT_EQ(info.PhysicalPath, "usb-0000:00:14.0-3/input1");
    EXPECT_EQ(info.Serial, "SN123");
    EXPECT_FALSE(info.OpenError.has_value());
}

TEST(HidrawBackend, ClassesFollowTheTopLevelCollection) {
    FakeSysfs sysfs;
    sysfs.Add({0, TopLevel(0x06)});  // keyboard
    sysfs.Add({1, TopLevel(0x02)});  // mouse
    sysfs.Add({2, TopLevel(0x05)});  // game pad: a plain HID device
    sysfs.Add({3, FeatureDescriptor(kVendorPage, 0x06, 8)});
    const struct {
        InterfaceClass interface_class;
        std::vector<int> nodes;
    } kCases[] = {
        {InterfaceClass::Keyboard, {0}},
        {InterfaceClass::Mouse, {1}},
        {InterfaceClass::Hid, {2, 3}},
    };
    auto backend = sysfs.Backend();
    for (const auto& c : kCases) {
        SCOPED_TRACE(static_cast<int>(c.interface_class));
        std::vector<std::string> paths;
        for (const auto& info : backend.Enumerate(c.interface_class))
            paths.push_back(info.Path);
        std::vector<std::string> expected;
        for (int n : c.nodes)
            expected.push_back(sysfs.NodePath(n));
        EXPECT_EQ(paths, expected);
    }
}

TEST(HidrawBackend, NodesComeInNumericOrderAndStrayEntriesAreIgnored) {
    FakeSysfs sysfs;
    for (int n : {10, 2, 1})
        sysfs.Add({n, FeatureDescriptor(kVendorPage, 1, 8)});
    fs::create_directories(sysfs.SysRoot() / "class/hidraw/hidrawX/device");
    fs::create_directories(sysfs.SysRoot() / "class/hidraw/other");

    std::vector<std::string> paths;
    for (const auto& info : sysfs.Backend().Enumerate(InterfaceClass::Hid)) {
        paths.push_back(info.Path);
    }
    EXPECT_EQ(paths,
              (std::vector<std::string>{sysfs.NodePath(1), sysfs.NodePath(2), sysfs.NodePath(10)}));
}

TEST(HidrawBackend, BrokenSysfsEntries) {
    const struct {
        const char* name;
        std::string uevent;  // written over the node's uevent; empty: file removed
        std::vector<std::uint8_t> descriptor;
        bool listed;
    } kCases[] = {
        {"no uevent", "", FeatureDescriptor(kVendorPage, 1, 8), false},
        {"no HID_ID", "HID_NAME=x\n", FeatureDescriptor(kVendorPage, 1, 8), false},
        {"HID_ID not hex", "HID_ID=0003:00005E3G:00007300\n", FeatureDescriptor(kVendorPage, 1, 8),
         false},
        {"HID_ID with two fields", "HID_ID=0003:00005E3A\n", FeatureDescriptor(kVendorPage, 1, 8),
         false},
        {"vendor beyond 16 bits", "HID_ID=0003:00015E3A:00007300\n",
         FeatureDescriptor(kVendorPage, 1, 8), false},
        // Listed, but without a feature report no search accepts it.
        {"broken descriptor", "HID_ID=0003:00005E3A:00007300\n", {0xA1, 0x01, 0x06}, true},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        FakeSysfs sysfs;
        sysfs.Add({0, c.descriptor});
        const auto uevent = sysfs.SysRoot() / "class/hidraw/hidraw0/device/uevent";
        if (c.uevent.empty()) {
            fs::remove(uevent);
        } else {
            testing::WriteText(uevent, c.uevent);
        }
        const auto found = sysfs.Backend().Enumerate(InterfaceClass::Hid);
        ASSERT_EQ(found.size(), c.listed ? 1u : 0u);
        if (c.listed) {
            EXPECT_EQ(found[0].FeatureReportByteLength, 0);
        }
    }
}

TEST(HidrawBackend, MissingNodeIsAnOpenError) {
    FakeSysfs sysfs;
    FakeHidrawNode node(0, FeatureDescriptor(kVendorPage, 1, 8));
    node.NodeExists = false;
    sysfs.Add(node);
    const auto found = sysfs.Backend().Enumerate(InterfaceClass::Hid);
    ASSERT_EQ(found.size(), 1u);
    ASSERT_TRUE(found[0].OpenError.has_value());
    EXPECT_EQ(*found[0].OpenError, platform::ErrnoText(ENOENT));
}

// Root may open anything, so as root the enumeration runs in a child process
// that has become an unprivileged user first.
TEST(HidrawBackend, NodeTheUserMayNotOpenIsPermissionDenied) {
    FakeSysfs sysfs;
    sysfs.Add({0, FeatureDescriptor(kVendorPage, 1, 8)});
    ASSERT_EQ(::chmod(sysfs.NodePath(0).c_str(), 0600), 0);
    auto backend = sysfs.Backend();
    const auto denied = [&] {
        const auto found = backend.Enumerate(InterfaceClass::Hid);
        return found.size() == 1 && found[0].OpenError == std::string(kPermissionDenied);
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(denied());
        return;
    }
    // The tree itself stays readable to everyone; only the node is closed.
    ASSERT_EQ(::chmod(sysfs.SysRoot().parent_path().c_str(), 0755), 0);
    constexpr uid_t kNobody = 65534;
    EXPECT_EXIT(
        {
            if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) std::_Exit(2);
            std::_Exit(denied() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// A regular file opens but answers no feature request; a missing node does
// not open. Either way the transfer fails and a failed get leaves the report
// as it was.
TEST(HidrawBackend, TransfersThatCannotHappenFail) {
    FakeSysfs sysfs;
    sysfs.Add({0, FeatureDescriptor(kVendorPage, 1, 8)});
    auto backend = sysfs.Backend();
    for (const std::string& path : {sysfs.NodePath(0), sysfs.NodePath(7)}) {
        SCOPED_TRACE(path);
        std::vector<std::uint8_t> report = {0x00, 1, 2, 3, 4, 5, 6, 7, 8};
        const auto before = report;
        EXPECT_FALSE(backend.SetFeature(path, report));
        EXPECT_FALSE(backend.GetFeature(path, report));
        EXPECT_EQ(report, before);
        EXPECT_FALSE(backend.GetFeature(path, {}));
    }
}

// This machine may run without udevd and may not let the process listen to
// the kernel's events either; whichever it is, the registration must come
// back in a usable state.
TEST(HidrawBackend, NotificationsAreEitherAbsentOrPollable) {
    HidrawBackend backend;
    auto notifications = backend.RegisterUsbNotification();
    if (!notifications) GTEST_SKIP() << "no device notifications on this machine";
    ASSERT_GE(notifications->PollFd(), 0);
    pollfd fd{notifications->PollFd(), POLLIN, 0};
    EXPECT_GE(::poll(&fd, 1, 0), 0);
    // Never blocks, even with nothing pending.
    for (const auto& change : notifications->ReadEvents()) {
        EXPECT_TRUE(change.Kind == DeviceChangeKind::Arrival ||
                    change.Kind == DeviceChangeKind::Removal);
    }
}

}  // namespace
}  // namespace txisp::hid
