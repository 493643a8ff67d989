#pragma once

// The texts a failed command is reported with: a label for the result code
// and a name for the command. The texts are the system's own and are used
// exactly as they are, trailing blanks and the odd full stop included: a log
// reader may search for them.

#include <array>
#include <string_view>

namespace txisp::isp {

// Indexed by the result code (isp_result.h).
inline constexpr std::array<std::string_view, 6> CommandTraceLabels = {
    "Command Out :",      "Command In :",       "Command Header :",
    "Command Sequence :", "Command Response :", "Command OK:",
};

// The numbers callers report a result under. 10 to 12 are not commands but
// the version checks of the device routines, which report them as a failed
// response.
enum CommandNumber : int {
    kDummy = 0,
    kGetFirmwareVersion = 1,
    kCompareIspPassword = 2,
    kSetEncryptionAlgorithm = 3,
    kEnableErase = 4,
    kEnableProgram = 5,
    kGetCheckSum = 6,
    kReturnUserMode = 7,
    kSetCodeOption = 8,
    kGetCodeOption = 9,
    kVersionNotForThisChip = 10,
    kVersionNotSupported = 11,
    kVersionDiffersFromImage = 12,
    kEnterIspMode20 = 13,
    kGetFirmwareVersion21 = 14,
    kCompareIspPassword22 = 15,
    kSetEncryptionAlgorithm23 = 16,
    kEnableErase24 = 17,
    kEnableProgram25 = 18,
    kGetCheckSum26 = 19,
    kReturnUserMode27 = 20,
    kSetCodeOption28 = 21,
    kGetCodeOption29 = 22,
    kEnableCheckData2A = 23,
};

// Indexed by CommandNumber.
// clang-format off
inline constexpr std::array<std::string_view, 24> CommandNames = {
    "Dummy",
    "Get Firmware Version (0x01)",
    "Compare ISP Password (0x02)",
    "Set Encryption Algorithm (0x03)",
    "Enable Erase (0x04)",
    "Enable Program (0x05)",
    "Get Check Sum (0x06)",
    "Return User Mode (0x07)",
    "Set Code Option (0x08)",
    "Get Code Option (0x09)",
    "FW Version is not for this chip. ",
    "This FW Version. is not supported. ",
    "FW Version in TX5 does not match that of USB Device. ",
    "Enter ISP Mode (0x20) ",
    "Get Firmware Version (0x21)",
    "Compare ISP Password (0x22)",
    "Set Encryption Algorithm (0x23)",
    "Enable Erase (0x24)",
    "Enable Program (0x25)",
    "Get Check Sum (0x26)",
    "Return User Mode (0x27)",
    "Set Code Option (0x28)",
    "Get Code Option (0x29)",
    "Enable Check Data (0x2A)",
};
// clang-format on

}  // namespace txisp::isp
