#include "firmware/rolling_settings_file.h"

#include <system_error>

namespace txisp::firmware {

std::filesystem::path RollingSettingsFileFor(const std::filesystem::path& firmware_file) {
    return firmware_file.parent_path() / (firmware_file.stem().string() + ".INI");
}

RollingSettingsLocation LocateRollingSettings(const std::filesystem::path& firmware_file) {
    RollingSettingsLocation location;
    location.RollingSettingsFile = RollingSettingsFileFor(firmware_file);
    std::error_code error;
    location.RollingEnabled = std::filesystem::exists(location.RollingSettingsFile, error);
    return location;
}

}  // namespace txisp::firmware
