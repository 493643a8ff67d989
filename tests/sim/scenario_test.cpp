// Scenario files: the documented JSON format, its error messages, and the
// scenarios and sample firmware shipped under examples/.

#include "sim/scenario.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "isp_scripts.h"
#include "support/temp_dir.h"

namespace txisp::sim::testing {
namespace {

TEST(Scenario, ReadsEveryKey) {
    const Result<Scenario> scenario = ParseScenario(R"({
      "comment": "every key once",
      "devices": [{
        "chip": "TX5K3390D", "variant": 1, "vid": "0x1234", "pid": 22136,
        "app_version": "0x0102", "mode": "boot-loader", "switch": "reenumerate",
        "reenumerate_delay_ms": 250, "boot_command": "ED84D98CAC8616FE", "password": "12345678",
        "code_options": "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F",
        "erase_ms": 300, "option_erase_ms": 30, "busy_reads": 2, "block_busy_reads": 1,
        "interfaces": [{"class": "keyboard", "report_length": 65, "report_id": 4,
                        "physical_path": "usb-1/input0", "serial": "S1", "open_error": "busy"}],
        "faults": {"fail_send": 3, "fail_receive": 4, "unplug_after": 5, "latency_ms": 6,
                   "wrong_header": "0x06", "nak": 2, "busy_forever": true, "wrong_checksum": "option",
                   "wrong_password": true, "protected_code_options": true, "crystal_mismatch": true,
                   "firmware_version": [0, 9, 0, 7]},
        "firmware": "fw/x.TX5"
      }]})",
                                                    "/scenarios");
    ASSERT_TRUE(scenario.ok()) << scenario.error();
    ASSERT_EQ(scenario->Devices.size(), 1u);
    const SimDeviceConfig& c = scenario->Devices[0];
    EXPECT_EQ(c.Chip, "TX5K3390D");
    EXPECT_EQ(c.Variant, 1);
    EXPECT_EQ(c.VendorId, 0x1234);
    EXPECT_EQ(c.ProductId, 22136);
    EXPECT_EQ(c.AppVersion, 0x0102);
    EXPECT_TRUE(c.StartInBootLoader);
    EXPECT_EQ(c.Switch, SwitchStyle::Reenumerate);
    EXPECT_EQ(c.ReenumerateDelayMs, 250);
    ASSERT_EQ(c.BootCommands.size(), 1u);
    EXPECT_EQ(HexText(Bytes(c.BootCommands[0].begin(), c.BootCommands[0].end())),
              "ED 84 D9 8C AC 86 16 FE");
    EXPECT_EQ(HexText(Bytes(c.Password.begin(), c.Password.end())), "12 34 56 78");
    EXPECT_EQ(HexText(c.CodeOptions, 16), "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F");
    EXPECT_EQ(c.EraseMs, 300);
    EXPECT_EQ(c.OptionEraseMs, 30);
    EXPECT_EQ(c.BusyReads, 2);
    EXPECT_EQ(c.BlockBusyReads, 1);
    ASSERT_EQ(c.Interfaces.size(), 1u);
    EXPECT_EQ(c.Interfaces[0].Class, hid::InterfaceClass::Keyboard);
    EXPECT_EQ(c.Interfaces[0].ReportLength, 65);
    EXPECT_EQ(c.Interfaces[0].ReportId, 4);
    EXPECT_EQ(c.Interfaces[0].PhysicalPath, "usb-1/input0");
    EXPECT_EQ(c.Interfaces[0].Serial, "S1");
    EXPECT_EQ(c.Interfaces[0].OpenError, "busy");
    const SimFaults& f = c.Faults;
    EXPECT_EQ(f.FailSend, 3);
    EXPECT_EQ(f.FailReceive, 4);
    EXPECT_EQ(f.UnplugAfter, 5);
    EXPECT_EQ(f.LatencyMs, 6);
    EXPECT_EQ(f.WrongHeader, 0x06);
    EXPECT_EQ(f.Nak, 0x02);
    EXPECT_TRUE(f.BusyForever);
    EXPECT_EQ(f.WrongChecksum, ChecksumFault::Option);
    EXPECT_TRUE(f.WrongPassword);
    EXPECT_TRUE(f.ProtectedCodeOptions);
    EXPECT_TRUE(f.CrystalMismatch);
    EXPECT_EQ(f.FirmwareVersion, (std::array<std::uint8_t, 4>{0, 9, 0, 7}));
    EXPECT_EQ(c.Firmware, std::filesystem::path("/scenarios/fw/x.TX5"));
}

TEST(Scenario, CountStandsForIdenticalDevicesNumberedInTheirSerials) {
    const Result<Scenario> scenario = ParseScenario(
        R"({"devices": [{"chip": "TX64K39x"},
                        {"chip": "TX5K3317", "count": 3, "interfaces": [{"serial": "LINE-{n}"}]}]})",
        ".");
    ASSERT_TRUE(scenario.ok()) << scenario.error();
    ASSERT_EQ(scenario->Devices.size(), 4u);
    EXPECT_EQ(scenario->Devices[0].Chip, "TX64K39x");
    EXPECT_EQ(scenario->Devices[3].Interfaces[0].Serial, "LINE-3");

    SimHarness h;
    ASSERT_TRUE(PlugScenario(h.bus, *scenario));
    EXPECT_EQ(h.bus.DeviceCount(), 4);
    EXPECT_EQ(h.bus.Enumerate(hid::InterfaceClass::Hid)[2].Serial, "LINE-2");
}

TEST(Scenario, EmptyDeviceListIsAnEmptyBus) {
    const Result<Scenario> scenario = ParseScenario(R"({"devices": []})", ".");
    ASSERT_TRUE(scenario.ok()) << scenario.error();
    EXPECT_TRUE(scenario->Devices.empty());
}

TEST(Scenario, ErrorsNameTheKeyAndTheDevice) {
    const struct {
        const char* Json;
        const char* Message;
    } cases[] = {
        {R"({"devices": [)", "not valid JSON"},
        {R"([])", "a scenario is a JSON object"},
        {R"({})", "devices: missing, or not an array"},
        {R"({"device": []})", "device: unknown key"},
        {R"({"devices": [{"chip": "TX5K3317"}, {"chip": "TX5K3317x"}]})",
         "devices[1].chip: unknown chip \"TX5K3317x\""},
        {R"({"devices": [{"chip": "tx5k3317"}]})", "devices[0].chip: unknown chip \"tx5k3317\""},
        {R"({"devices": [{"chip": "TX5K3317 "}]})", "devices[0].chip: unknown chip \"TX5K3317 \""},
        {R"({"devices": [{"variant": 0}]})", "devices[0].chip: missing"},
        {R"({"devices": [{"chip": "TX5K3317", "variant": 2}]})",
         "devices[0].variant: TX5K3317 has variants 0 to 1, not 2"},
        {R"({"devices": [{"chip": "TX5K3317", "chipp": 1}]})", "devices[0].chipp: unknown key"},
        {R"({"devices": [{"chip": "TX5K3317", "pid": "0x1G"}]})",
         "devices[0].pid: must be a number"},
        {R"({"devices": [{"chip": "TX5K3317", "pid": 65536}]})",
         "devices[0].pid: must lie between 0 and 65535"},
        {R"({"devices": [{"chip": "TX5K3317", "count": 0}]})",
         "devices[0].count: must lie between 1 and 64"},
        {R"({"devices": [{"chip": "TX5K3317", "code_options": "FF FF"}]})",
         "devices[0].code_options: must hold 8 or 16 bytes, not 2"},
        {R"({"devices": [{"chip": "TX5K3317", "code_options": "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F"}]})",
         "devices[0].code_options: TX5K3317 variant 0 has 8 code-option bytes"},
        {R"({"devices": [{"chip": "TX64K36x", "code_options": "FF FF FF FF FF FF FF FF"}]})",
         "devices[0].code_options: TX64 chips have no code options"},
        {R"({"devices": [{"chip": "TX5K3317", "password": "4017295"}]})",
         "devices[0].password: must be 8 decimal digits"},
        {R"({"devices": [{"chip": "TX5K3317", "boot_command": ["AA55"]}]})",
         "devices[0].boot_command: each must be 16 hex digits"},
        {R"({"devices": [{"chip": "TX5K3317", "mode": "boot"}]})",
         "devices[0].mode: must be one of \"application\", \"boot-loader\""},
        {R"({"devices": [{"chip": "TX5K3317", "interfaces": [{"class": "joystick"}]}]})",
         "devices[0].interfaces[0].class: must be one of"},
        {R"({"devices": [{"chip": "TX5K3317", "faults": {"nak": 300}}]})",
         "devices[0].faults.nak: must lie between 0 and 255"},
        {R"({"devices": [{"chip": "TX5K3317", "faults": {"slow": true}}]})",
         "devices[0].faults.slow: unknown key"},
        {R"({"devices": [{"chip": "TX5K3317", "faults": {"busy_forever": 1}}]})",
         "devices[0].faults.busy_forever: must be true or false"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Json);
        const Result<Scenario> scenario = ParseScenario(c.Json, ".");
        ASSERT_FALSE(scenario.ok());
        EXPECT_NE(scenario.error().find(c.Message), std::string::npos) << scenario.error();
    }
}

TEST(Scenario, LoadingNamesTheFile) {
    txisp::testing::TempDir dir;
    txisp::testing::WriteText(dir / "bad.json", R"({"devices": [{"chip": "TX9"}]})");
    SimHarness h;
    const Status status = LoadScenarioInto(h.bus, dir / "bad.json");
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.message(),
              (dir / "bad.json").string() + ": devices[0].chip: unknown chip \"TX9\"");
    EXPECT_FALSE(LoadScenarioInto(h.bus, dir / "missing.json").ok());
    EXPECT_EQ(h.bus.DeviceCount(), 0);
}

// The image a host would program from a sample file: the TX5 file's image
// part, or the HEX data on the family's fill value.
Bytes SampleImage(const std::filesystem::path& file, const SimDevice& device) {
    const Bytes bytes = txisp::testing::ReadBytes(file);
    if (device.FamilyInfo().Kind == ChipKind::Tx5)
        return Bytes(bytes.begin() + std::min<std::size_t>(256, bytes.size()), bytes.end());
    const int family = device.Family();
    Bytes image(0x10000, family == 13 || family == 14 ? 0x00 : 0xFF);
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    for (std::string line; std::getline(lines, line);) {
        const Bytes record = Hex(line.substr(1, line.find_last_not_of("\r")));
        if (record.size() < 5 || record[3] != 0x00) continue;
        const std::size_t address = (record[1] << 8) | record[2];
        EXPECT_LE(address + record[0], device.Row().ChecksumLength) << line;
        std::copy_n(record.begin() + 4, record[0],
                    image.begin() + static_cast<std::ptrdiff_t>(address));
    }
    return image;
}

void CheckSample(SimHarness& h, const SimDevice& device) {
    const SimDeviceConfig& config = device.Config();
    SCOPED_TRACE(config.Firmware.string());
    ASSERT_TRUE(std::filesystem::exists(config.Firmware));
    const Bytes image = SampleImage(config.Firmware, device);
    const ChipRow& row = device.Row();
    ASSERT_GE(image.size(), row.ChecksumLength);
    const std::span<const std::uint8_t> flash = device.Memory().Bytes();
    if (device.FamilyInfo().Kind == ChipKind::Tx5) {
        const Bytes header = txisp::testing::ReadBytes(config.Firmware);
        EXPECT_NE(std::string(reinterpret_cast<const char*>(header.data())).find(config.Chip),
                  std::string::npos);
        const std::size_t version = 2 * row.VersionAddress;
        const auto boot_version = device.BootVersion();
        EXPECT_EQ(HexText(Bytes(image.begin() + version, image.begin() + version + 4)),
                  HexText(Bytes(boot_version.begin(), boot_version.end())));
        const std::size_t stub = device.FamilyInfo().Stub.size();
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + stub, flash.begin()));
        const std::uint8_t c6 = image[2 * row.CodeOptionAddress + 6];
        EXPECT_EQ(c6 & row.SecurityMask, row.SecurityMask);
        EXPECT_EQ(c6 & row.CrystalMask, device.Memory().CodeOptions()[6] & row.CrystalMask);
    }

    // Programmed as the protocol's tables describe it, the chip agrees with
    // the image's own checksum, and the new application reports 0x0101.
    const ChipFamilyData& family = device.FamilyInfo();
    const Wire set = family.Set == CommandSet::Byte8          ? Wire::Byte8
                     : family.Set == CommandSet::StatusPolled ? Wire::StatusPolled
                                                              : Wire::Byte64;
    ASSERT_TRUE(EnterBootLoader(h, family.Family));
    const ProgramResult result = Program(
        h, image,
        {set, static_cast<std::uint8_t>(row.EraseValue), row.BlockCount, family.DataBlockSize,
         static_cast<int>(family.Stub.size()), family.Family != 13 && family.Family != 14});
    ASSERT_EQ(result.Failure, "");
    const auto sum_range = std::span(image).first(row.ChecksumLength);
    EXPECT_EQ(result.Checksum,
              family.Kind == ChipKind::Tx5 ? ByteSum16(sum_range) : WordSum16(sum_range));
    ASSERT_TRUE(ReturnUserMode(h, set));
    EXPECT_EQ(ApplicationVersion(h), 0x0101);
}

TEST(ShippedScenarios, LoadAndTakeTheirSampleFirmware) {
    const std::filesystem::path folder = txisp::testing::SourceDir() / "examples" / "sim";
    std::set<int> families;
    bool production_line = false;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".json") continue;
        SCOPED_TRACE(entry.path().filename().string());
        SimHarness h;
        ASSERT_TRUE(LoadScenarioInto(h.bus, entry.path()));
        const bool line = entry.path().stem() == "production-line";
        production_line = production_line || line;
        ASSERT_EQ(h.bus.DeviceCount(), line ? 3 : 1);
        for (int i = 0; i < h.bus.DeviceCount(); ++i) {
            h.device = i;
            const SimDevice device = h.bus.Device(i);
            if (!line) {
                EXPECT_EQ(entry.path().stem(), device.Config().Chip);
                families.insert(device.Family());
            }
            CheckSample(h, device);
        }
    }
    EXPECT_EQ(families.size(), 15u);  // one scenario per chip family
    EXPECT_TRUE(production_line);
}

}  // namespace
}  // namespace txisp::sim::testing
