// The simulated bus as the HID layer sees it: enumeration, transfers and
// their transcript, devices coming and going, notifications.

#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <thread>

#include "isp_scripts.h"

namespace txisp::sim::testing {
namespace {

bool Readable(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, 0) == 1 && (entry.revents & POLLIN) != 0;
}

std::vector<std::string> EventTexts(hid::DeviceNotifications& notifications) {
    std::vector<std::string> texts;
    for (const hid::DeviceChange& change : notifications.ReadEvents())
        texts.push_back((change.Kind == hid::DeviceChangeKind::Arrival ? "+" : "-") + change.Path);
    return texts;
}

TEST(SimBus, EnumeratesEachInterfaceUnderItsClassInPluggingOrder) {
    SimHarness h;
    SimDeviceConfig composite = Config("TX5K3317");
    composite.VendorId = 0x1234;
    composite.ProductId = 0x5678;
    composite.Interfaces = {Interface(hid::InterfaceClass::Keyboard),
                            Interface(hid::InterfaceClass::Mouse, 65),
                            Interface(hid::InterfaceClass::Hid, 65, 2)};
    composite.Interfaces[2].Serial = "A-17";
    composite.Interfaces[2].PhysicalPath = "usb-0000:00:14.0-3/input2";
    h.Plug(composite);
    h.Plug(Config("TX64K36x"));

    const auto hid_interfaces = h.bus.Enumerate(hid::InterfaceClass::Hid);
    ASSERT_EQ(hid_interfaces.size(), 2u);
    EXPECT_EQ(hid_interfaces[0].Path, "sim:1/2");
    EXPECT_EQ(hid_interfaces[0].VendorId, 0x1234);
    EXPECT_EQ(hid_interfaces[0].ProductId, 0x5678);
    EXPECT_EQ(hid_interfaces[0].Version, 0x0100);
    EXPECT_EQ(hid_interfaces[0].FeatureReportByteLength, 65);
    EXPECT_EQ(hid_interfaces[0].FeatureReportId, 2);
    EXPECT_EQ(hid_interfaces[0].Serial, "A-17");
    EXPECT_EQ(hid_interfaces[0].PhysicalPath, "usb-0000:00:14.0-3/input2");
    EXPECT_EQ(hid_interfaces[1].Path, "sim:2/0");
    EXPECT_EQ(hid_interfaces[1].FeatureReportByteLength, 65);
    EXPECT_EQ(hid_interfaces[1].PhysicalPath, "sim-usb-2/input0");

    const auto keyboards = h.bus.Enumerate(hid::InterfaceClass::Keyboard);
    ASSERT_EQ(keyboards.size(), 1u);
    EXPECT_EQ(keyboards[0].Path, "sim:1/0");
    EXPECT_EQ(keyboards[0].FeatureReportByteLength, 9);
    EXPECT_EQ(keyboards[0].PhysicalPath, "sim-usb-1/input0");
    EXPECT_EQ(h.bus.Enumerate(hid::InterfaceClass::Mouse).size(), 1u);
}

TEST(SimBus, StallsReportsOfAnotherLengthOrReportId) {
    SimHarness h;
    SimDeviceConfig config = Config("TX5K3317");
    config.Interfaces = {Interface(hid::InterfaceClass::Hid, 9),
                         Interface(hid::InterfaceClass::Hid, 9, 3)};
    h.Plug(config);
    const struct {
        const char* Path;
        std::size_t Length;
        std::uint8_t ReportId;
        bool Ok;
    } cases[] = {
        {"sim:1/0", 9, 0, true},  {"sim:1/0", 65, 0, false}, {"sim:1/0", 8, 0, false},
        {"sim:1/0", 9, 3, false}, {"sim:1/1", 9, 3, true},   {"sim:1/1", 9, 0, false},
        {"sim:9/0", 9, 0, false}, {"sim:1/2", 9, 0, false},  {"hidraw0", 9, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Path) + " length " + std::to_string(c.Length) + " id " +
                     std::to_string(c.ReportId));
        Bytes report(c.Length, 0xEE);
        report[0] = c.ReportId;
        EXPECT_EQ(h.bus.SetFeature(c.Path, report), c.Ok);
        EXPECT_EQ(h.bus.GetFeature(c.Path, report), c.Ok);
        // A failed read leaves the buffer alone.
        EXPECT_EQ(report[0], c.ReportId);
        EXPECT_EQ(report[1] == 0xEE, !c.Ok);
    }
}

TEST(SimBus, InterfaceThatCannotBeOpenedCarriesNoTransfer) {
    SimHarness h;
    SimDeviceConfig config = Config("TX5K3317");
    config.Interfaces = {Interface(hid::InterfaceClass::Keyboard)};
    config.Interfaces[0].OpenError = "permission denied";
    h.Plug(config);
    const auto found = h.bus.Enumerate(hid::InterfaceClass::Keyboard);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].OpenError, "permission denied");
    Bytes report(9, 0);
    EXPECT_FALSE(h.bus.SetFeature(found[0].Path, report));
    EXPECT_FALSE(h.bus.GetFeature(found[0].Path, report));
}

TEST(SimBus, TranscriptHoldsEveryTransferWithItsTime) {
    SimHarness h;
    h.clock.Advance(1000);
    h.Plug(Config("TX5K3317"));
    ASSERT_TRUE(EnterBootLoader(h, 0));
    h.clock.DelayMs(5);
    ASSERT_TRUE(h.Receive());
    EXPECT_FALSE(h.bus.SetFeature("sim:7/0", Bytes(9, 0)));

    const std::vector<Transfer> transcript = h.bus.Transcript();
    ASSERT_EQ(transcript.size(), 3u);
    EXPECT_EQ(transcript[0].Direction, TransferDirection::Set);
    EXPECT_EQ(transcript[0].Path, "sim:1/0");
    EXPECT_EQ(HexText(transcript[0].Report, 9), "00 AA 55 A5 5A FF 00 33 CC");
    EXPECT_EQ(transcript[0].AtMs, 1000);
    EXPECT_TRUE(transcript[0].Ok);
    EXPECT_EQ(transcript[0].Device, 0);
    EXPECT_EQ(transcript[1].Direction, TransferDirection::Get);
    EXPECT_EQ(transcript[1].AtMs, 1010);
    EXPECT_EQ(transcript[1].Report.size(), 9u);
    EXPECT_FALSE(transcript[2].Ok);
    EXPECT_EQ(transcript[2].Device, -1);

    h.bus.ClearTranscript();
    EXPECT_TRUE(h.bus.Transcript().empty());
}

TEST(SimBus, UnpluggedDeviceKeepsItsFlashAndComesBackUnderNewPaths) {
    SimHarness h;
    h.Plug(Config("TX5K3317"));
    h.Plug(Config("TX5K3317"));
    const auto notifications = h.bus.RegisterUsbNotification();
    ASSERT_NE(notifications, nullptr);
    EXPECT_FALSE(Readable(notifications->PollFd()));

    ASSERT_TRUE(EnterBootLoader(h, 0));
    ASSERT_EQ(h.ExchangeText("02 AA 55 00 40 17 29 58"), "02 AA 55 00 FA FA FA FA");
    ASSERT_EQ(h.ExchangeText("05 AA 55 00 08 00 01 00"), "05 AA 55 00 FA FA FA FA");
    ASSERT_TRUE(h.Send(Hex("00 11 22 33 44 55 66 77")));

    h.bus.Unplug(h.device);
    EXPECT_FALSE(h.bus.IsPresent(h.device));
    EXPECT_TRUE(h.bus.IsPresent(0));
    EXPECT_FALSE(h.bus.SetFeature("sim:2/0", Bytes(9, 0)));
    EXPECT_TRUE(Readable(notifications->PollFd()));
    EXPECT_EQ(EventTexts(*notifications), (std::vector<std::string>{"-sim:2/0"}));
    EXPECT_FALSE(Readable(notifications->PollFd()));

    h.bus.Replug(h.device);
    EXPECT_EQ(EventTexts(*notifications), (std::vector<std::string>{"+sim:3/0"}));
    EXPECT_EQ(h.Path(), "sim:3/0");
    const SimDevice device = h.bus.Device(h.device);
    EXPECT_EQ(device.Mode(), DeviceMode::Application);  // the application was never erased
    EXPECT_EQ(HexText(h.Flash(), 24).substr(48), "00 11 22 33 44 55 66 77");

    h.bus.Reenumerate(h.device);
    EXPECT_EQ(EventTexts(*notifications), (std::vector<std::string>{"-sim:3/0", "+sim:4/0"}));
}

TEST(SimBus, NotificationsOutliveTheBusAndGoAwayOnTheirOwn) {
    std::unique_ptr<hid::DeviceNotifications> kept;
    {
        SimHarness h;
        kept = h.bus.RegisterUsbNotification();
        auto dropped = h.bus.RegisterUsbNotification();
        dropped.reset();
        h.Plug(Config("TX5K3317"));
    }
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(EventTexts(*kept), (std::vector<std::string>{"+sim:1/0"}));
}

TEST(SimBus, TransfersAndPluggingFromTwoThreads) {
    SimHarness h;
    h.Plug(Config("TX5K3317"));
    h.Plug(Config("TX64K36x"));
    h.device = 0;  // exchanges go to the first while the second comes and goes
    std::atomic<bool> done{false};
    std::thread plugger([&] {
        while (!done) {
            h.bus.Unplug(1);
            h.bus.Replug(1);
        }
    });
    int answered = 0;
    for (int i = 0; i < 2000; ++i) {
        if (h.ExchangeText("AA 55 A5 5A FF 00 33 01", 0).substr(0, 5) == "00 01") ++answered;
    }
    done = true;
    plugger.join();
    EXPECT_EQ(answered, 2000);
    EXPECT_TRUE(h.bus.IsPresent(1));
}

}  // namespace
}  // namespace txisp::sim::testing
