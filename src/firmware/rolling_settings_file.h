#pragma once

// The rolling-code settings live beside the firmware file they belong to:
// same folder, same name with its last extension replaced by ".INI".

#include <filesystem>

namespace txisp::firmware {

struct RollingSettingsLocation {
    std::filesystem::path RollingSettingsFile;
    bool RollingEnabled = false;  // whether that file exists
};

// "fw/prod.rev.tx5" gives "fw/prod.rev.INI": only the last extension goes.
std::filesystem::path RollingSettingsFileFor(const std::filesystem::path& firmware_file);

// The settings file and whether it exists now; the rolling code is offered
// only when it already does at load time.
RollingSettingsLocation LocateRollingSettings(const std::filesystem::path& firmware_file);

}  // namespace txisp::firmware
