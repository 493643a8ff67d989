#pragma once

// Everything that makes one simulated device what it is: which chip, how it
// presents itself on the bus, what its firmware answers, and which faults it
// shows. Scenario files (scenario.h) fill these; tests may fill them directly.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "hid/hid_backend.h"

namespace txisp::sim {

// How the device changes between its application and its boot loader.
enum class SwitchStyle {
    InPlace,      // same interfaces and paths; only the firmware behind them changes
    Reenumerate,  // drops off the bus and comes back under the other identity
};

enum class ChecksumFault {
    None,
    Blank,   // the main-area checksum of an erased chip (8-byte sets, raw erase report)
    Verify,  // the main-area checksum after programming (raw programming report)
    Option,  // the option-page checksum
};

struct SimInterface {
    hid::InterfaceClass Class = hid::InterfaceClass::Hid;
    int ReportLength = 0;  // feature report bytes with the report-ID byte; 0: the family's
    int ReportId = 0;
    std::string PhysicalPath;  // empty: "sim-usb-<device index + 1>/input<interface index>"
    std::string Serial;
    std::optional<std::string> OpenError;  // the interface cannot be opened for transfers
};

// Counters are 1-based and count the device's transfers since it was put on
// the bus; each of these faults fires once.
struct SimFaults {
    int FailSend = 0;     // the n-th SET_REPORT fails; the device never sees it
    int FailReceive = 0;  // the n-th GET_REPORT fails
    int UnplugAfter = 0;  // the device leaves the bus after its n-th transfer
    int LatencyMs = 0;    // every transfer takes this long
    std::optional<std::uint8_t>
        WrongHeader;                  // replies to this command code carry a wrong sub-index
    std::optional<std::uint8_t> Nak;  // this command code is refused and has no effect
    bool BusyForever = false;
    ChecksumFault WrongChecksum = ChecksumFault::None;
    bool WrongPassword = false;         // no password is accepted
    bool ProtectedCodeOptions = false;  // the security bits start cleared
    bool CrystalMismatch = false;       // the crystal bits start inverted
    // The boot loader reports these version bytes instead of its own.
    std::optional<std::array<std::uint8_t, 4>> FirmwareVersion;
};

struct SimDeviceConfig {
    std::string Chip;  // a chip-table name, exactly as spelt there
    int Variant = 0;
    std::uint16_t VendorId = 0x5E3A;  // the application's identity
    std::uint16_t ProductId = 0x3442;
    std::uint16_t AppVersion = 0x0100;  // what the shipped application reports
    // The device comes up in its boot loader, as after an interrupted update.
    bool StartInBootLoader = false;
    SwitchStyle Switch = SwitchStyle::InPlace;
    int ReenumerateDelayMs = 500;
    // Boot-mode requests the application accepts; empty: the family's default.
    std::vector<std::array<std::uint8_t, 8>> BootCommands;
    std::array<std::uint8_t, 4> Password = {0x40, 0x17, 0x29, 0x58};  // "40172958" as BCD
    // TX64 security bytes s0 .. s3; nullopt: FF FF FF FF, or 00 00 00 00 for families 13 and 14.
    std::optional<std::array<std::uint8_t, 4>> Security;
    // TX5 code options c0 ..: 8 bytes, or 16 where the chip has an option
    // page; empty: all 0xFF (security bits set, unprotected).
    std::vector<std::uint8_t> CodeOptions;
    int EraseMs = 1000;       // main-area erase
    int OptionEraseMs = 100;  // option-page erase
    int BusyReads = 0;        // status-polled set: BUSY replies before each result
    int BlockBusyReads = 0;   // status-polled set: F0 replies before each block acknowledgement
    std::vector<SimInterface> Interfaces;  // empty: one HID interface
    SimFaults Faults;
    // The firmware image meant for this device. The simulator does not read
    // it; front ends and tests may.
    std::filesystem::path Firmware;
};

}  // namespace txisp::sim
