#pragma once

// What the main window knows while it runs: the embedded configuration, the
// control-state mask, the device last found, the product's texts, the file
// and chip chosen in file mode, and the rolling-code settings.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "firmware/special_pid.h"
#include "firmware/tool_config.h"
#include "firmware/tx5_file.h"
#include "isp/isp_result.h"

namespace txisp::app {

// ControlMask: bits 0-1 the status step index (engine::kStepTexts), bit 2
// unused, the others enable controls.
inline constexpr std::uint8_t kStepIndexBits = 0x03;
inline constexpr std::uint8_t kFirmwareLoadedBit = 0x08;  // rolling-code controls
inline constexpr std::uint8_t kLoadFileBit = 0x10;
inline constexpr std::uint8_t kPasswordBit = 0x20;
inline constexpr std::uint8_t kRadioButtonsBit = 0x40;  // 1004 and 1005
inline constexpr std::uint8_t kIdBoxesBit = 0x80;       // VID and PID boxes
// "ISP Program", Load File, password, radio buttons, VID and PID boxes.
inline constexpr std::uint8_t kStartUpControlMask = 0xF2;

inline constexpr std::string_view kDefaultStartMessage = "Start program";
inline constexpr std::string_view kDefaultSuccessMessage = "Program successfully";
inline constexpr std::string_view kDefaultFailMessage = "Program fail";
inline constexpr std::string_view kDefaultStartButtonText = "Start";
inline constexpr std::string_view kDefaultDeviceButtonText = "Get Device Info";
// The caption of input-check boxes while the product's settings name no
// title (file mode).
inline constexpr std::string_view kProgramName = "txisp";

struct MainDialogState {
    firmware::ToolConfig Config;  // ChipName is the effective chip name

    std::uint8_t ControlMask = 0;
    std::uint8_t SavedControlMask = 0;  // ControlMask as it was when the run started
    bool Busy = false;                  // a programming run is going

    // The identity the device was last found under.
    std::uint16_t DeviceVid = 0;
    std::uint16_t DevicePid = 0;
    // No device has been found newer than the tool's firmware: before any
    // device was found there is nothing to warn about.
    bool DeviceNotNewer = true;
    std::string DeviceVidText;
    std::string DevicePidText;
    std::string DeviceRevText;

    std::int32_t ToolFwVersion = 0;
    // True until the product's settings say otherwise.
    bool CheckBootLoaderID = true;
    std::string CheckDeviceCmd;
    firmware::SpecialPidList SpecialPidList;

    std::string ISPTitle;
    std::string StartMessage{kDefaultStartMessage};
    std::string SuccessMessage{kDefaultSuccessMessage};
    std::string FailMessage{kDefaultFailMessage};
    std::string StartButtonText{kDefaultStartButtonText};
    std::string DeviceButtonText{kDefaultDeviceButtonText};
    std::string VersionText;
    // The unpacked Settings folder; nullopt in file mode or when unpacking
    // failed.
    std::optional<std::filesystem::path> SettingsFolder;

    // File mode: the chip picked in the chip list at the last confirmed
    // Load File, and the TX5 file chosen then.
    std::string ChosenChip;
    firmware::Tx5FileChoice Tx5File;
    std::filesystem::path RollingSettingsFile;
    bool RollingEnabled = false;

    isp::PasswordBytes PasswordBytes{};
};

}  // namespace txisp::app
