#pragma once

// Special VID/PID assignments of a tool prepared for a product line: devices
// that enumerate under other IDs than the configured ones, each with its own
// chip and firmware file. They are listed in UISettings.ini, [SpecialPID]
// Count and one [SpecialPID<n>] section per entry, with the firmware files in
// the FWFiles folder beside it.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/firmware_image.h"
#include "platform/prompts.h"

namespace txisp::firmware {

struct SpecialPidEntry {
    std::string VID;  // texts as written, e.g. "0x1234"; device detection reads the numbers
    std::string PID;
    std::string ChipName;
    std::filesystem::path FirmwarePath;  // <settings folder>/FWFiles/<FWName>
    std::string FirmwareType;            // "TX5" or "HEX" in any case; anything else loads nothing
    std::int32_t CodeSecurity = 0;       // 0, 1 or 2
};

using SpecialPidList = std::vector<SpecialPidEntry>;

// More entries than any product line has; a Count beyond it is read as this
// many, so a mistyped Count cannot stall start-up or exhaust memory.
inline constexpr std::size_t kMaxSpecialPidEntries = 1024;

// The entries of `ini_path` in section order. Sections that do not exist
// still give an entry (empty texts, level 0). An entry whose CodeSecurity is
// above 2 or negative is dropped after the message "The code security setting
// of special VID <VID>, PID <PID> is wrong." with `title` as caption.
SpecialPidList ReadSpecialPidTable(const std::filesystem::path& settings_folder,
                                   const std::filesystem::path& ini_path, std::string_view title,
                                   platform::Prompts& prompts);

// What loading an entry's firmware decided; the caller applies it.
struct SpecialFirmwareLoad {
    bool Loaded = false;   // becomes the result of device detection
    std::string ChipName;  // the effective chip name from now on: the entry's, in every case
    std::optional<std::int32_t> CodeSecurity;  // the new code-security level (HEX entries)
};

// Loads the entry's firmware when device detection has found its device.
// "TX5": the file's image part into Tx5ImageBuffer without any header check;
// a file that cannot be read shows "Load TX5 File Failed!!" (caption "Error").
// "HEX": the level becomes the entry's, the file is loaded for the entry's
// chip (family 0 when the name is unknown); no data shows "The format of hex
// file for special VID <VID>, PID <PID> is wrong!" with `title`. Any other
// type loads nothing and succeeds.
SpecialFirmwareLoad LoadSpecialFirmware(const SpecialPidEntry& entry, FirmwareImage& image,
                                        std::string_view title, platform::Prompts& prompts);

}  // namespace txisp::firmware
