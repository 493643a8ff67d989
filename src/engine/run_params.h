#pragma once

// What a programming run needs to know, handed to the worker by value before
// it starts: which devices, which chip family, the family's timing, the
// identity the devices were found under, the password and protection level,
// the boot-mode request text, and the rolling code to write. The things a run
// works with (device table, clock, image, observer) come separately
// (program_worker.h).

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "firmware/chip_data.h"
#include "isp/isp_result.h"
#include "rolling/rolling_settings.h"

namespace txisp::engine {

// The run's own waits, in milliseconds, chosen from the family. They are
// what the boot loaders were tuned to; a faster pace loses blocks.
struct IspTiming {
    std::uint32_t EraseStepDelayMs = 0;  // per erase progress step
    std::uint32_t BlockDelayMs = 0;      // after each data block
    std::uint32_t ProgressDelayMs = 0;   // after each progress update of the programming phase

    bool operator==(const IspTiming&) const = default;
};

// clang-format off
inline constexpr std::array<IspTiming, 6> IspTimingClasses = {{
//   Erase step  Block  Progress
    {17,          0,     1},  // 0
    {50,         50,     1},  // 1: chosen for no family
    {11,          0,     1},  // 2
    {30,          0,     1},  // 3
    {38,          0,     1},  // 4
    {11,          0,     8},  // 5
}};
// clang-format on

// Families 1, 4, 7, 8, 9, 10, 11: class 2; 2 and 5: class 3; 6: class 4;
// 13 and 14: class 5; every other value, not-found values included: class 0.
int IspTimingClassFor(firmware::ChipFamily family);
IspTiming IspTimingFor(firmware::ChipFamily family);

// Where the rolling code comes from: the settings file beside the firmware
// file, and the chip's word width.
struct RollingPlan {
    std::filesystem::path SettingsFile;
    rolling::RollingWidth Width = rolling::RollingWidth::Words16;
};

struct RunParams {
    // Bit i set: program entry i of the device table. Walked as a signed
    // value, so bit 31 programs nothing; only bits 0 .. 7 can name a device.
    std::int32_t DeviceMask = 0;
    firmware::ChipFamily Family = 0;
    IspTiming Timing;
    // The identity the devices were found under, the same for all of them.
    std::uint16_t Vid = 0;
    std::uint16_t Pid = 0;
    isp::PasswordBytes Password{};
    std::int32_t CodeSecurity = 0;  // 0 .. 3
    std::string CheckDeviceCmd;     // boot-mode request text; empty: the default request
    std::string ChipName;           // for the production record
    // nullopt: the image is programmed as it is.
    std::optional<RollingPlan> Rolling;
};

// --- The password as the operator types it ------------------------------

inline constexpr std::string_view kPasswordEmpty = "Password should be entered!!";
inline constexpr std::string_view kPasswordLength = "Password should be 8 characters!!";
inline constexpr std::string_view kPasswordDigits = "Only 0 ~ 9 can be filled!!";
inline constexpr std::string_view kWrongPasswordFormat = "Wrong Password Format!!";

// Eight decimal digits packed two to a byte, the first digit of each pair in
// the high nibble: "40172958" -> 40 17 29 58. Anything else gives the
// message to show (with the tool's title), and after it the caller shows
// kWrongPasswordFormat with the caption "Error". The length counts UTF-16
// units as the password box does; a text longer than the box's 8 characters
// gets the length message too.
std::variant<isp::PasswordBytes, std::string_view> PackPassword(std::string_view text);

}  // namespace txisp::engine
