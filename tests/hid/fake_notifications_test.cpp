// The scripted backend's notifications, which the window's device-change
// tests rely on: pollable while events wait, in order, drained by a read.

#include <gtest/gtest.h>
#include <poll.h>

#include "support/fake_hid_backend.h"

namespace txisp::hid {
namespace {

using testing::FakeHidBackend;

bool Readable(const DeviceNotifications& notifications) {
    pollfd fd{notifications.PollFd(), POLLIN, 0};
    return ::poll(&fd, 1, 0) == 1;
}

TEST(FakeNotifications, PlugAndUnplugArriveInOrderAndDrain) {
    FakeHidBackend backend;
    auto notifications = backend.RegisterUsbNotification();
    ASSERT_NE(notifications, nullptr);
    EXPECT_FALSE(Readable(*notifications));

    backend.AddInterface(FakeHidBackend::Interface("/dev/hidraw0", 0x5E3A, 0x7300, 9));
    backend.Announce({DeviceChangeKind::Arrival, "unrelated"});
    backend.Unplug("/dev/hidraw0");
    EXPECT_TRUE(Readable(*notifications));

    const auto events = notifications->ReadEvents();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].Kind, DeviceChangeKind::Arrival);
    EXPECT_EQ(events[0].Path, "/dev/hidraw0");
    EXPECT_EQ(events[1].Path, "unrelated");
    EXPECT_EQ(events[2].Kind, DeviceChangeKind::Removal);
    EXPECT_FALSE(Readable(*notifications));
    EXPECT_TRUE(notifications->ReadEvents().empty());
}

TEST(FakeNotifications, UnavailableGivesNoRegistration) {
    FakeHidBackend backend;
    backend.SetNotificationsAvailable(false);
    EXPECT_EQ(backend.RegisterUsbNotification(), nullptr);
}

}  // namespace
}  // namespace txisp::hid
