#include "app/ui_settings.h"

#include "platform/files.h"
#include "platform/ini_profile.h"

namespace txisp::app {

namespace {

constexpr std::string_view kUiSection = "UISettings";
constexpr std::string_view kVersionSection = "FWVer";

}  // namespace

UiSettings LoadUiSettings(const std::filesystem::path& settings_folder) {
    UiSettings settings;
    settings.SettingsFolder = settings_folder;
    settings.SettingsFile = settings_folder / kUiSettingsFileName;
    const auto& file = settings.SettingsFile;
    auto text = [&](std::string_view key) {
        return platform::ReadProfileString(file, kUiSection, key, "");
    };

    settings.ISPTitle = text("ISPTitle");
    settings.StartMessage = text("ISPStartMSG");
    settings.SuccessMessage = text("ISPSuccessMSG");
    settings.FailMessage = text("ISPFailMSG");
    settings.StartButtonText = text("StartButtonString");
    settings.DeviceButtonText = text("DeviceButtonString");
    settings.CheckDeviceCmd = text("CheckDeviceCmd");
    settings.SuccessString = text("SuccessString");
    settings.FailString = text("FailString");
    settings.CheckBootLoaderID =
        platform::ReadProfileInt(file, kUiSection, "CheckBootLoaderID", 0) != 0;

    const auto image_folder = settings_folder / "Image";
    for (std::size_t i = 0; i < kSkinImageCount; ++i) {
        settings.SkinImages[i] = platform::FindFileIgnoringCase(image_folder, kSkinImageFiles[i]);
    }

    settings.ToolFwVersion =
        platform::ParseIntEx(platform::ReadProfileString(file, kVersionSection, "Version", ""));
    return settings;
}

}  // namespace txisp::app
