// Device presence: the order in which identities are searched, the Start
// caption's colour and the upgrade warning it leads to, unplugging, and
// device changes that come while a run is going.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>

#include "main_dialog_harness.h"

namespace txisp::app::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::uint16_t kBootPid3317 = 0x7300;  // the TX5K3317 family's boot loader

sim::SimDeviceConfig Device(std::string_view chip, std::uint16_t vid, std::uint16_t pid) {
    sim::SimDeviceConfig device = ExampleDevice(chip);
    device.VendorId = vid;
    device.ProductId = pid;
    return device;
}

sim::SimDeviceConfig InBootLoader(std::string_view chip) {
    sim::SimDeviceConfig device = ExampleDevice(chip);
    device.StartInBootLoader = true;
    return device;
}

std::string SpecialEntries(std::initializer_list<std::string_view> entries) {
    std::string ini = "[SpecialPID]\r\nCount=" + std::to_string(entries.size()) + "\r\n";
    int index = 0;
    for (const std::string_view entry : entries) {
        ini += "[SpecialPID" + std::to_string(index++) + "]\r\n" + std::string(entry);
    }
    return ini;
}

const std::string kFirstEntry =
    "VID=0x1111\r\nPID=0x2222\r\nChipName=TX5K3317\r\nFWName=none.bin\r\nFWType=BIN\r\n";
const std::string kSecondEntry =
    "VID=0x1234\r\nPID=22136\r\nChipName=TX5K3307\r\nFWName=fw.TX5\r\nFWType=tx5\r\n";
const std::string kUnknownChipEntry =
    "VID=0x1234\r\nPID=0x5678\r\nChipName=TX5K3317x\r\nFWType=BIN\r\n";

struct Detection {
    const char* Name;
    // The product's UISettings.ini; nullopt: the tool carries no settings,
    // so the boot-loader identity is tried.
    std::optional<std::string> Settings;
    std::vector<sim::SimDeviceConfig> Devices;
    bool Found;
    std::uint16_t Vid = 0;
    std::uint16_t Pid = 0;
    std::string ChipName = "TX5K3317";
};

TEST_F(MainDialogTest, DetectionTriesTheIdentitiesInOrder) {
    const Detection kCases[] = {
        {"the boxes' identity", std::nullopt, {ExampleDevice("TX5K3317")}, true, 0x5E3A, 0x3442},
        {"the boot loader's when the boxes find nothing",
         std::nullopt,
         {InBootLoader("TX5K3317")},
         true,
         0x5E3A,
         kBootPid3317},
        {"the boxes before the boot loader",
         std::nullopt,
         {InBootLoader("TX5K3317"), ExampleDevice("TX5K3317")},
         true,
         0x5E3A,
         0x3442},
        {"no boot loader with CheckBootLoaderID=0",
         "[UISettings]\r\nCheckBootLoaderID=0\r\n",
         {InBootLoader("TX5K3317")},
         false},
        {"no boot loader when the key is absent",
         "[UISettings]\r\nISPTitle=T\r\n",
         {InBootLoader("TX5K3317")},
         false},
        {"the second special entry when the first finds nothing",
         SpecialEntries({kFirstEntry, kSecondEntry}),
         {Device("TX5K3307", 0x1234, 0x5678)},
         true,
         0x1234,
         0x5678,
         "TX5K3307"},
        {"the first special entry when both would",
         SpecialEntries({kFirstEntry, kSecondEntry}),
         {Device("TX5K3307", 0x1234, 0x5678), Device("TX5K3317", 0x1111, 0x2222)},
         true,
         0x1111,
         0x2222},
        {"special entries instead of the boxes",
         SpecialEntries({kSecondEntry}),
         {ExampleDevice("TX5K3317")},
         false},
        // A chip the table does not know is searched with 64-byte reports.
        {"unknown chip: no 8-byte device",
         SpecialEntries({kUnknownChipEntry}),
         {Device("TX5K3317", 0x1234, 0x5678)},
         false},
        {"unknown chip: a 64-byte device",
         SpecialEntries({kUnknownChipEntry}),
         {Device("TX64K36x", 0x1234, 0x5678)},
         true,
         0x1234,
         0x5678,
         "TX5K3317x"},
    };
    const std::vector<std::uint8_t> special_firmware =
        txisp::testing::ReadBytes(Example("firmware/TX5K3307.TX5"));
    for (const Detection& c : kCases) {
        SCOPED_TRACE(c.Name);
        Restart();
        for (const sim::SimDeviceConfig& device : c.Devices)
            Plug(device);
        std::optional<std::vector<std::uint8_t>> zip;
        if (c.Settings) {
            zip = SettingsZip(dir_.path(), *c.Settings,
                              {{"Settings\\FWFiles\\fw.TX5",
                                std::string(special_firmware.begin(), special_firmware.end())}});
        }
        Open(EmbeddedBundle("TX5K3317", true, zip));

        EXPECT_EQ(Dialog().DetectDevice(), c.Found);
        if (c.Found) {
            EXPECT_EQ(State().DeviceVid, c.Vid);
            EXPECT_EQ(State().DevicePid, c.Pid);
        }
        EXPECT_EQ(State().Config.ChipName, c.ChipName);
        EXPECT_THAT(Prompts(), IsEmpty());
    }
}

TEST_F(MainDialogTest, SpecialEntryFirmwareIsLoadedWhenItsDeviceIsFound) {
    const std::vector<std::uint8_t> file =
        txisp::testing::ReadBytes(Example("firmware/TX5K3307.TX5"));
    Plug(Device("TX5K3307", 0x1234, 0x5678));
    Open(EmbeddedBundle(
        "TX5K3317", true,
        SettingsZip(dir_.path(), SpecialEntries({kFirstEntry, kSecondEntry}),
                    {{"Settings\\FWFiles\\fw.TX5", std::string(file.begin(), file.end())}})));

    const std::vector<std::uint8_t> image = SampleTx5Image("TX5K3307");
    ASSERT_LE(image.size(), Dialog().Image().Tx5ImageBuffer.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), Dialog().Image().Tx5ImageBuffer.begin()));
    // The device information shows the identity it was found under.
    EXPECT_EQ(view_.Text(ControlId::DeviceVidBox), "0x1234");
    EXPECT_EQ(view_.Text(ControlId::DevicePidBox), "0x5678");
}

// The Start caption is green while the device's firmware is not newer than
// the tool's [FWVer] Version (0x0101 in the sample settings), red when it is;
// a red caption puts the upgrade warning before every Start.
TEST_F(MainDialogTest, NewerDeviceFirmwareTurnsTheCaptionRedAndWarnsBeforeEveryStart) {
    const struct {
        const char* name;
        bool embedded;
        std::uint16_t device_version;
        bool query_fails;
        const char* rev_text;
        Rgb colour;
        long warnings_per_start;
    } kCases[] = {
        {"same version", true, 0x0101, false, "0x101", kDeviceNotNewerColour, 0},
        {"older device", true, 0x0005, false, "0x05", kDeviceNotNewerColour, 0},
        {"newer device", true, 0x0102, false, "0x102", kDeviceNewerColour, 1},
        // No version to compare: nothing to warn about. File mode reads none;
        // a failed query clears the boxes.
        {"file mode", false, 0x0102, false, "", kDeviceNotNewerColour, 0},
        {"query fails", true, 0x0102, true, "", kDeviceNotNewerColour, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Restart();
        sim::SimDeviceConfig device = SampleProductDevice();
        device.AppVersion = c.device_version;
        if (c.query_fails) device.Faults.FailReceive = 1;
        Plug(device);
        Open(c.embedded ? SampleProductBundle() : platform::ResourceBundle());

        EXPECT_EQ(view_.Text(ControlId::DeviceRevBox), c.rev_text);
        ASSERT_FALSE(view_.Colours().empty());
        EXPECT_EQ(view_.Colours().back(), c.colour);
        EXPECT_EQ(State().DeviceNotNewer, c.colour == kDeviceNotNewerColour);

        view_.ClearCalls();
        view_.AnswerUpgrade(false);
        view_.Type(ControlId::PasswordBox, "");  // a Start that gets past the warning stops here
        Dialog().OnStart();
        Dialog().OnStart();
        EXPECT_EQ(view_.CountCalls("upgrade warning"), 2 * c.warnings_per_start);
        EXPECT_FALSE(State().Busy);
    }
}

TEST_F(MainDialogTest, UnpluggingClearsOnlyTheRevisionWhileNoDeviceIsLeft) {
    const struct {
        const char* name;
        int devices;
        const char* rev_after;
    } kCases[] = {
        {"the only device", 1, ""},
        {"one of two", 2, "0x102"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Restart();
        sim::SimDeviceConfig device = SampleProductDevice();
        device.AppVersion = 0x0102;
        int first = -1;
        for (int i = 0; i < c.devices; ++i)
            first = Plug(device) - i;
        Open(SampleProductBundle());
        ASSERT_EQ(view_.Text(ControlId::DeviceRevBox), "0x102");
        const std::size_t colours = view_.Colours().size();

        bus_.Unplug(first);
        Dialog().OnDeviceChange(DeviceChangeEvent::RemoveComplete);

        EXPECT_EQ(view_.Text(ControlId::DeviceRevBox), c.rev_after);
        EXPECT_EQ(view_.Text(ControlId::DeviceVidBox), "0x5E3A");
        EXPECT_EQ(view_.Text(ControlId::DevicePidBox), "0x3442");
        EXPECT_FALSE(State().DeviceNotNewer) << "kept from the device last found";
        EXPECT_EQ(view_.Colours().size(), colours + (c.devices > 1 ? 1 : 0));
        EXPECT_EQ(view_.Colours().back(), kDeviceNewerColour);
    }
}

TEST_F(MainDialogTest, OtherDeviceEventsSearchNothing) {
    Open(SampleProductBundle());
    Plug(SampleProductDevice());
    view_.ClearCalls();
    bus_.ClearTranscript();

    Dialog().OnDeviceChange(DeviceChangeEvent::Other);

    EXPECT_THAT(view_.Calls(), IsEmpty());
    EXPECT_THAT(bus_.Transcript(), IsEmpty());
}

TEST_F(MainDialogTest, PluggingInIsSeenThroughTheNotifications) {
    Open(SampleProductBundle());
    ASSERT_GE(Dialog().DeviceNotificationFd(), 0);
    EXPECT_EQ(view_.Text(ControlId::DeviceRevBox), "");

    Plug(SampleProductDevice());
    pollfd ready{Dialog().DeviceNotificationFd(), POLLIN, 0};
    ASSERT_EQ(::poll(&ready, 1, 0), 1);
    Dialog().OnDeviceNotifications();

    EXPECT_EQ(view_.Text(ControlId::DeviceRevBox), "0x100");
    EXPECT_EQ(view_.Colours().back(), kDeviceNotNewerColour);
}

// The device re-enumerates while it is programmed. The window searches
// nothing then (the worker has the device table and the device) and once
// when the run has ended, so the boxes show the programmed firmware.
TEST_F(MainDialogTest, DeviceChangesDuringARunAreHandledOnceAfterIt) {
    Plug(SampleProductDevice());
    Open(SampleProductBundle());
    ASSERT_EQ(view_.Text(ControlId::DeviceRevBox), "0x100");
    Dialog().OnStart();
    ASSERT_TRUE(State().Busy);
    view_.ClearCalls();

    Dialog().OnDeviceChange(DeviceChangeEvent::RemoveComplete);
    Dialog().OnDeviceChange(DeviceChangeEvent::Arrival);
    Dialog().OnTestButton();
    Dialog().RefreshDeviceInfo();
    EXPECT_THAT(view_.Calls(), IsEmpty());
    EXPECT_THAT(Prompts(), IsEmpty());

    FinishRun();
    const std::vector<std::string>& calls = view_.Calls();
    const auto result = std::find(calls.begin(), calls.end(), "log Program successfully");
    const auto rev = std::find(calls.begin(), calls.end(), "text 1049 0x101");
    EXPECT_NE(result, calls.end());
    EXPECT_NE(rev, calls.end());
    EXPECT_LT(result, rev) << "the search follows the run";
    EXPECT_EQ(view_.CountCalls("text 1049"), 1) << "one search for both changes";
    EXPECT_EQ(view_.Colours().back(), kDeviceNotNewerColour);
}

TEST_F(MainDialogTest, TestButtonReportsAMissingDevice) {
    Open();
    Dialog().OnTestButton();
    Plug(ExampleDevice("TX5K3317"));
    Dialog().OnTestButton();

    EXPECT_THAT(Prompts(), ElementsAre(Message("Error", "Can't Find USB HID Device!!")));
}

}  // namespace
}  // namespace txisp::app::testing
