#pragma once

// The texts and skin of a tool prepared for one product, read once from
// Settings/UISettings.ini of the unpacked settings archive.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace txisp::app {

// The main window's seven skin images, in the order they are loaded.
enum class SkinImage { Background, Start, StartMo, DeviceInfo, DeviceInfoMo, Exit, ExitMo };
inline constexpr std::size_t kSkinImageCount = 7;
inline constexpr std::array<std::string_view, kSkinImageCount> kSkinImageFiles = {
    "Background.bmp",    "Start.bmp", "Start_Mo.bmp", "DeviceInfo.bmp",
    "DeviceInfo_mo.bmp", "Exit.bmp",  "Exit_mo.bmp"};

inline constexpr std::string_view kUiSettingsFileName = "UISettings.ini";

// What the settings file says; the window applies it. Every text is empty
// when its key (or the whole file) is missing.
struct UiSettings {
    std::string ISPTitle;        // window title and title label
    std::string StartMessage;    // log line when a run starts
    std::string SuccessMessage;  // log line after a successful run
    std::string FailMessage;     // log line after a failed run
    std::string StartButtonText;
    std::string DeviceButtonText;
    std::string CheckDeviceCmd;  // 16 hex digits, else the built-in boot-mode request
    std::string SuccessString;   // caption of the success counter
    std::string FailString;      // caption of the failure counter
    bool CheckBootLoaderID = false;
    // [FWVer] Version; nullopt when it holds no number, so the window keeps
    // the version it had.
    std::optional<std::int32_t> ToolFwVersion;
    // The image files found (names matched without regard to case); nullopt
    // for an image that is missing.
    std::array<std::optional<std::filesystem::path>, kSkinImageCount> SkinImages;

    std::filesystem::path SettingsFolder;  // .../SettingFiles/Settings
    std::filesystem::path SettingsFile;    // .../SettingFiles/Settings/UISettings.ini

    const std::optional<std::filesystem::path>& Image(SkinImage which) const {
        return SkinImages[static_cast<std::size_t>(which)];
    }
};

// Reads [UISettings] and [FWVer] of settings_folder/UISettings.ini and locates
// the skin images in settings_folder/Image. Never fails as a whole: each key
// is read by itself.
UiSettings LoadUiSettings(const std::filesystem::path& settings_folder);

}  // namespace txisp::app
