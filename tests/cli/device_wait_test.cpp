// --wait: searching again until a device is plugged in, on a simulated bus
// and a virtual clock so that no test waits for real.

#include <gtest/gtest.h>

#include "cli/device_search.h"
#include "hid/hid_device_table.h"
#include "platform/clock.h"
#include "sim/sim_bus.h"

namespace txisp::cli {
namespace {

class DeviceWait : public ::testing::Test {
protected:
    DeviceWait() {
        sim::SimDeviceConfig config;
        config.Chip = "TX5K3317";
        device_ = *bus_.Plug(config);
    }

    SearchOutcome Search() { return SearchDevice(table_, {0x5E3A, 0x3442, std::nullopt}); }

    // Pauses advance the virtual clock; the device comes back in the
    // `replug_at`-th pause (never when 0).
    SearchPause PauseReplugging(int replug_at) {
        return [this, replug_at](int ms) {
            pauses_.push_back(ms);
            clock_.Advance(ms);
            if (static_cast<int>(pauses_.size()) == replug_at) bus_.Replug(device_);
        };
    }

    platform::VirtualClock clock_;
    sim::SimBus bus_{clock_};
    hid::HidDeviceTable table_{bus_};
    int device_ = 0;
    std::vector<int> pauses_;
};

TEST_F(DeviceWait, FindsADevicePluggedInWhileWaiting) {
    bus_.Unplug(device_);
    const SearchOutcome outcome =
        WaitForDevice([this] { return Search(); }, clock_, 5000, PauseReplugging(3));
    EXPECT_TRUE(outcome.Found);
    EXPECT_EQ(pauses_.size(), 3u);
    EXPECT_EQ(table_.GetDeviceCount(), 1);
}

TEST_F(DeviceWait, GivesUpAtTheDeadlineWithoutOvershooting) {
    bus_.Unplug(device_);
    const std::int64_t start = clock_.NowMs();
    const SearchOutcome outcome =
        WaitForDevice([this] { return Search(); }, clock_, 1100, PauseReplugging(0));
    EXPECT_FALSE(outcome.Found);
    EXPECT_EQ(clock_.NowMs() - start, 1100);
    EXPECT_EQ(pauses_, (std::vector<int>{250, 250, 250, 250, 100}));
}

TEST_F(DeviceWait, PresentDeviceNeedsNoPause) {
    const SearchOutcome outcome =
        WaitForDevice([this] { return Search(); }, clock_, 1000, PauseReplugging(0));
    EXPECT_TRUE(outcome.Found);
    EXPECT_TRUE(pauses_.empty());
}

// udev may hand a new node to the user a moment after it appears, so a
// refused node is no reason to stop waiting, and is named at the end.
TEST(DeviceSearch, RemembersRefusedNodesOverEveryIdentity) {
    platform::VirtualClock clock;
    sim::SimBus bus(clock);
    sim::SimDeviceConfig config;
    config.Chip = "TX5K3317";
    sim::SimInterface refused;
    refused.OpenError = "permission denied";
    config.Interfaces = {refused};
    ASSERT_TRUE(bus.Plug(config));
    hid::HidDeviceTable table(bus);
    // Both report lengths are searched without a chip.
    const SearchOutcome outcome = SearchDevice(table, {0x5E3A, 0x3442, std::nullopt});
    EXPECT_FALSE(outcome.Found);
    EXPECT_EQ(outcome.PermissionDenied, bus.PathsOf(0));
}

TEST(DeviceSearch, FallsBackToTheChipsBootLoaderIdentity) {
    platform::VirtualClock clock;
    sim::SimBus bus(clock);
    sim::SimDeviceConfig config;
    config.Chip = "TX64K36xB";
    config.StartInBootLoader = true;
    ASSERT_TRUE(bus.Plug(config));
    hid::HidDeviceTable table(bus);
    const SearchOutcome outcome = SearchDevice(table, {0x5E3A, 0x3442, 14});
    EXPECT_TRUE(outcome.Found);
    EXPECT_TRUE(outcome.ViaBootLoader);
    EXPECT_EQ(outcome.Pid, 0x7040);
    EXPECT_EQ(table.ExpectedReportLength(), 65);
}

}  // namespace
}  // namespace txisp::cli
