#pragma once

// The configuration a tool prepared for one product carries in its own
// resources: chip name, firmware image, code-security level, ISP password and
// the device's VID and PID. Read once at start-up; when the reading
// completes the tool is in embedded mode and programs the image it carries.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "firmware/firmware_image.h"
#include "platform/resources.h"

namespace txisp::firmware {

inline constexpr std::string_view kDefaultPassword = "40172958";
inline constexpr std::string_view kDefaultVid = "5E3A";
inline constexpr std::string_view kDefaultPid = "3442";

struct ToolConfig {
    std::string ChipName;  // empty when the resource is absent: matches no chip
    bool Embedded = false;
    std::int32_t CodeSecurity = 0;  // 0 to 3, as the CS0..CS3 choice
    std::string Password;
    std::string VID;
    std::string PID;
};

// The text resources are UTF-16LE without a terminator, read into a
// 260-unit buffer: at most 259 units are kept (a longer resource is cut) and
// the text ends at the first zero unit. An absent resource gives "".
inline constexpr std::size_t kTextResourceUnits = 259;
std::string LoadTextResource(const platform::ResourceBundle& resources, platform::ResourceId id);

// The outcome of the reading, for the application to apply.
struct ToolConfigReading {
    // After an incomplete reading only ChipName is set; Password, VID and PID
    // are then empty and the window keeps its own values.
    ToolConfig Config;
    // "Checksum : XXXX" for the embedded image, for the log list; nullopt
    // when there is no image or the reading stopped.
    std::optional<std::string> ChecksumLine;

    // The settings archive is unpacked, and the firmware counts as loaded,
    // only after a complete reading.
    bool UnpackSettingsArchive() const { return Config.Embedded; }
};

// Reads the chip name, copies the embedded image to the start of the buffer
// of the chip's kind (nothing beyond it changes), then the code-security
// level, password, VID and PID. An image with a chip name that is not in
// ChipTable, or larger than its buffer (0x10000 / 0x8400 bytes), stops the
// reading there: the tool stays in file mode. An absent image does not.
ToolConfigReading ReadToolConfig(const platform::ResourceBundle& resources, FirmwareImage& image);

}  // namespace txisp::firmware
