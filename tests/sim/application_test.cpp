// The application firmware a device ships with, and the switches between it
// and the boot loader.

#include <gtest/gtest.h>

#include "isp_scripts.h"

namespace txisp::sim::testing {
namespace {

TEST(Application, ReportsItsVersionLowByteFirst) {
    const struct {
        const char* Chip;
        std::uint16_t Version;
        const char* Reply;
    } cases[] = {
        {"TX5K3317", 0x0101, "01 01"},  // shown as 0x101
        {"TX5K3317", 0x0005, "05 00"},  // shown as 0x05
        {"TX64K36x", 0x0101, "01 01"},  // the whole 64-byte request on a 65-byte report
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Chip);
        SimHarness h;
        SimDeviceConfig config = Config(c.Chip);
        config.AppVersion = c.Version;
        h.Plug(config);
        // Before any request the reply holds nothing.
        EXPECT_EQ(HexText(h.Receive().value_or(Bytes{}), 2), "00 00");
        Bytes request = Hex("AA 55 A5 5A FF 00 33 01");
        request.resize(64, 0);
        ASSERT_TRUE(h.Send(request));
        h.clock.BusyWaitMs(10);
        EXPECT_EQ(HexText(h.Receive().value_or(Bytes{}), 2), c.Reply);
    }
}

TEST(Application, SwitchesToTheBootLoaderOnItsBootModeRequestOnly) {
    const char* const kDefault = "AA 55 A5 5A FF 00 33 CC";
    const char* const kFamily6 = "AA 55 A5 5A FF 00 33 81";
    const char* const kSettings = "ED 84 D9 8C AC 86 16 FE";
    const struct {
        const char* Chip;
        std::vector<const char*> Accepted;  // empty: the family's default
        const char* Request;
        bool Switches;
    } cases[] = {
        {"TX5K3317", {}, kDefault, true},
        {"TX5K3317", {}, kFamily6, false},
        {"TX5K33E28", {}, kFamily6, true},
        {"TX5K33E28", {}, kDefault, false},
        {"TX5K3317", {kSettings}, kSettings, true},
        {"TX5K3317", {kSettings}, kDefault, false},
        {"TX5K3317", {kDefault, kSettings}, kSettings, true},
        {"TX5K3317", {}, "AA 55 A5 5A FF 00 33 02", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Chip) + " " + c.Request);
        SimHarness h;
        SimDeviceConfig config = Config(c.Chip);
        for (const char* command : c.Accepted) {
            std::array<std::uint8_t, 8> bytes{};
            const Bytes parsed = Hex(command);
            std::copy(parsed.begin(), parsed.end(), bytes.begin());
            config.BootCommands.push_back(bytes);
        }
        h.Plug(config);
        const std::string path = h.Path();
        ASSERT_TRUE(h.Send(Hex(c.Request)));
        const SimDevice device = h.bus.Device(h.device);
        EXPECT_EQ(device.Mode() == DeviceMode::BootLoader, c.Switches);
        // In place: same interface, same identity.
        EXPECT_EQ(h.Path(), path);
        EXPECT_EQ(device.ProductId(), 0x3442);
    }
}

TEST(Application, ReturnUserModeStartsTheNewFirmware) {
    SimHarness h;
    h.Plug(Config("TX5K3317"));
    ASSERT_TRUE(EnterBootLoader(h, 0));
    ASSERT_EQ(h.ExchangeText("02 AA 55 00 40 17 29 58"), "02 AA 55 00 FA FA FA FA");
    h.Send(Hex("04 AA 55 00 00 00 40 00"));
    h.clock.BusyWaitMs(1000);
    // Erased, the boot loader stays put: there is no application to start.
    ASSERT_TRUE(ReturnUserMode(h, Wire::Byte8));
    EXPECT_EQ(h.ExchangeText("01 AA 55 00 00 00 00 00"), "01 AA 55 00 00 01 00 00");

    // The application's version is the last word of the main area, 0x3FFE.
    EXPECT_EQ(h.ExchangeText("05 AA 55 00 FC 1F 01 00"), "05 AA 55 00 FA FA FA FA");
    ASSERT_TRUE(h.Send(Hex("00 00 00 00 00 00 02 01")));
    ASSERT_TRUE(ReturnUserMode(h, Wire::Byte8));
    EXPECT_EQ(h.bus.Device(h.device).Mode(), DeviceMode::Application);
    EXPECT_EQ(ApplicationVersion(h), 0x0102);
}

TEST(Application, ReenumeratesUnderTheBootLoaderIdentityAfterItsDelay) {
    SimHarness h;
    SimDeviceConfig config = Config("TX5K3317");
    config.Switch = SwitchStyle::Reenumerate;
    config.ReenumerateDelayMs = 300;
    config.Interfaces = {Interface(hid::InterfaceClass::Keyboard),
                         Interface(hid::InterfaceClass::Hid)};
    h.Plug(config);
    const auto notifications = h.bus.RegisterUsbNotification();
    ASSERT_NE(notifications, nullptr);

    // Report ID 0, then the boot-mode request, on the second interface.
    ASSERT_TRUE(h.bus.SetFeature("sim:1/1", Hex("00 AA 55 A5 5A FF 00 33 CC")));
    EXPECT_FALSE(h.bus.SetFeature("sim:1/1", Bytes(9, 0)));
    h.clock.BusyWaitMs(299);
    EXPECT_TRUE(h.bus.Enumerate(hid::InterfaceClass::Hid).empty());
    h.clock.BusyWaitMs(1);
    const auto found = h.bus.Enumerate(hid::InterfaceClass::Hid);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].Path, "sim:2/0");
    EXPECT_EQ(found[0].VendorId, 0x5E3A);
    EXPECT_EQ(found[0].ProductId, 0x7300);
    EXPECT_EQ(found[0].FeatureReportByteLength, 9);
    EXPECT_EQ(found[0].PhysicalPath, "sim-usb-1/input0");
    EXPECT_TRUE(h.bus.Enumerate(hid::InterfaceClass::Keyboard).empty());

    std::vector<std::string> events;
    for (const hid::DeviceChange& change : notifications->ReadEvents())
        events.push_back((change.Kind == hid::DeviceChangeKind::Arrival ? "+" : "-") + change.Path);
    EXPECT_EQ(events, (std::vector<std::string>{"-sim:1/0", "-sim:1/1", "+sim:2/0"}));

    EXPECT_EQ(h.ExchangeText("01 AA 55 00 00 00 00 00"), "01 AA 55 00 00 01 00 00");
    ASSERT_TRUE(ReturnUserMode(h, Wire::Byte8));
    h.clock.BusyWaitMs(300);
    const auto back = h.bus.Enumerate(hid::InterfaceClass::Hid);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].Path, "sim:3/1");
    EXPECT_EQ(back[0].ProductId, 0x3442);
}

TEST(Application, PowersUpInTheBootLoaderWhenTheUpdateWasCutShort) {
    SimHarness h;
    h.Plug(Config("TX64K38x"));
    ASSERT_TRUE(EnterBootLoader(h, 10));
    h.Send(Block({0x02, 0xAA, 0x55, 0x00}, 64));
    h.Send(Block({0x04, 0xAA, 0x55, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20}, 64));
    h.bus.Unplug(h.device);
    h.bus.Replug(h.device);
    const SimDevice device = h.bus.Device(h.device);
    EXPECT_EQ(device.Mode(), DeviceMode::BootLoader);
    EXPECT_EQ(device.VendorId(), 0x5E3A);
    EXPECT_EQ(device.ProductId(), 0x7900);
    // The same from a scenario that starts there.
    SimHarness fresh;
    SimDeviceConfig config = Config("TX5K3304C");
    config.StartInBootLoader = true;
    fresh.Plug(config);
    EXPECT_EQ(fresh.bus.Device(fresh.device).ProductId(), 0x7700);
    EXPECT_EQ(fresh.ExchangeText("01 AA 55 00 00 00 00 00"), "01 AA 55 00 00 08 00 00");
}

}  // namespace
}  // namespace txisp::sim::testing
