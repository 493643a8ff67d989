#pragma once

// The program resources a tool prepared for one product carries.

#include "platform/resources.h"

namespace txisp::firmware {

inline constexpr platform::ResourceId kFirmwareImageResource = 4000;  // raw image, no header
inline constexpr platform::ResourceId kPasswordResource = 4007;       // UTF-16LE, 8 decimal digits
inline constexpr platform::ResourceId kVidResource = 4008;            // UTF-16LE, 4 hex digits
inline constexpr platform::ResourceId kPidResource = 4009;            // UTF-16LE, 4 hex digits
inline constexpr platform::ResourceId kChipNameResource = 4010;       // UTF-16LE
inline constexpr platform::ResourceId kSettingsArchiveResource = 4011;  // zip
inline constexpr platform::ResourceId kCodeSecurityResource = 4012;     // one byte, 0 to 3
// Carried for whoever prepares the tool; the tool itself never reads them.
inline constexpr platform::ResourceId kBuildTimeResource = 4013;  // "Build time:YYYY/MM/DD hh:mm"
inline constexpr platform::ResourceId kChecksumTextResource = 4014;  // e.g. "FC43"

}  // namespace txisp::firmware
