#pragma once

// The request that makes the device's application firmware hand control to
// the chip's boot loader. It goes to the application, not the boot loader,
// so it is a raw block outside ISP_Command. The way back is the boot
// loader's Return User Mode command.

#include <array>
#include <cstdint>
#include <string_view>

#include "hid/hid_device_table.h"
#include "isp/step_log.h"
#include "platform/clock.h"
#include "platform/prompts.h"

namespace txisp::isp {

using BootModeRequestBlock = std::array<std::uint8_t, 8>;

inline constexpr std::string_view kReturnBootModeFailed = "Return Boot Mode Failed!!";
inline constexpr std::string_view kReturnKernelModeFailedTrace = "Failed to return Kernel Mode!!";
inline constexpr std::string_view kErrorCaption = "Error";

// AA 55 A5 5A FF 00 33 CC; family 6's application wants 0x81 as the last byte.
BootModeRequestBlock DefaultBootModeRequest(int family);

// The request to send: the product's CheckDeviceCmd when it is 16 hex
// digits (either letter case; digit pair k is byte k, so it replaces the
// family-6 byte as well), otherwise the default. A text of 16 characters
// that are not all hex digits names no request at all; the default goes
// out rather than a block made up of parsing leftovers.
BootModeRequestBlock BootModeRequest(int family, std::string_view check_device_cmd);

// Sends the boot-mode request to the table's current device and gives the
// boot loader 10 ms to take over. A request the device does not accept is
// traced, shown as "Return Boot Mode Failed!!" (caption "Error"; blocks until
// acknowledged) and gives false.
bool ReturnBootMode(hid::HidDeviceTable& table, platform::Clock& clock, platform::Prompts& prompts,
                    StepLog& log, std::uint16_t vid, std::uint16_t pid, int family,
                    std::string_view check_device_cmd);

}  // namespace txisp::isp
