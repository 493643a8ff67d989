#include "firmware/special_pid.h"

#include "firmware/chip_data.h"
#include "firmware/hex_image.h"
#include "firmware/tx5_file.h"
#include "platform/files.h"
#include "platform/ini_profile.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace txisp::firmware {

namespace {

constexpr std::string_view kListSection = "SpecialPID";

// Joined as text rather than as paths: a name with a leading separator then
// still lies below FWFiles instead of replacing the whole path.
std::filesystem::path FirmwarePathFor(const std::filesystem::path& settings_folder,
                                      std::string_view fw_name) {
    return settings_folder.string() + "/FWFiles/" + platform::ToNativeSeparators(fw_name);
}

SpecialPidEntry ReadEntry(const std::filesystem::path& settings_folder,
                          const std::filesystem::path& ini_path, std::size_t index) {
    const std::string section = std::string(kListSection) + std::to_string(index);
    auto text = [&](std::string_view key) {
        return platform::ReadProfileString(ini_path, section, key, "");
    };
    SpecialPidEntry entry;
    entry.VID = text("VID");
    entry.PID = text("PID");
    entry.ChipName = text("ChipName");
    entry.FirmwarePath = FirmwarePathFor(settings_folder, text("FWName"));
    entry.FirmwareType = text("FWType");
    entry.CodeSecurity = platform::ReadProfileInt(ini_path, section, "CodeSecurity", 0);
    return entry;
}

std::string ForVidPid(std::string_view before, const SpecialPidEntry& entry,
                      std::string_view after) {
    return std::string(before) + entry.VID + ", PID " + entry.PID + std::string(after);
}

}  // namespace

SpecialPidList ReadSpecialPidTable(const std::filesystem::path& settings_folder,
                                   const std::filesystem::path& ini_path, std::string_view title,
                                   platform::Prompts& prompts) {
    SpecialPidList list;
    const std::int32_t count = platform::ReadProfileInt(ini_path, kListSection, "Count", 0);
    if (count <= 0) return list;
    std::size_t entries = static_cast<std::size_t>(count);
    if (entries > kMaxSpecialPidEntries) {
        platform::Trace(platform::TraceLevel::Info, "special VID/PID Count " +
                                                        std::to_string(count) + " read as " +
                                                        std::to_string(kMaxSpecialPidEntries));
        entries = kMaxSpecialPidEntries;
    }
    for (std::size_t i = 0; i < entries; ++i) {
        SpecialPidEntry entry = ReadEntry(settings_folder, ini_path, i);
        if (static_cast<std::uint32_t>(entry.CodeSecurity) > 2) {
            prompts.ShowMessage(
                title, ForVidPid("The code security setting of special VID ", entry, " is wrong."));
            continue;
        }
        list.push_back(std::move(entry));
    }
    return list;
}

SpecialFirmwareLoad LoadSpecialFirmware(const SpecialPidEntry& entry, FirmwareImage& image,
                                        std::string_view title, platform::Prompts& prompts) {
    SpecialFirmwareLoad load;
    load.ChipName = entry.ChipName;
    if (platform::EqualsIgnoreAsciiCase(entry.FirmwareType, "TX5")) {
        Result<Tx5ImageRead> read = ReadTx5Image(entry.FirmwarePath, image);
        if (!read) {
            platform::Trace(platform::TraceLevel::Info, "special firmware: " + read.error());
            prompts.ShowMessage(kErrorCaption, kLoadTx5FileFailed);
            return load;
        }
        load.Loaded = true;
        return load;
    }
    if (platform::EqualsIgnoreAsciiCase(entry.FirmwareType, "HEX")) {
        load.CodeSecurity = entry.CodeSecurity;
        const ChipFamily family = FindChipFamily(entry.ChipName, 0);
        Result<HexLoadReport> hex = LoadHexImage(entry.FirmwarePath, family, image);
        if (!hex || !hex->Loaded()) {
            prompts.ShowMessage(
                title, ForVidPid("The format of hex file for special VID ", entry, " is wrong!"));
            return load;
        }
        load.Loaded = true;
        return load;
    }
    load.Loaded = true;
    return load;
}

}  // namespace txisp::firmware
