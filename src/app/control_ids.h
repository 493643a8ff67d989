#pragma once

// The main window's controls by the numbers the dialog template gives them.
// The logic names a control by its number; the window maps each to a widget,
// the command-line tool to whatever it prints.

namespace txisp::app {

// clang-format off
enum class ControlId : int {
    Exit              = 1,     // closes the window
    LoadFile          = 1000,
    Start             = 1002,
    TestButton        = 1003,  // never shown
    IspDeviceRadio    = 1004,  // "Noruk ISP Device"
    CustomerRadio     = 1005,  // "Customer Device"
    VidBox            = 1006,  // VID to search
    PidBox            = 1007,  // PID to search
    Progress          = 1008,
    LogList           = 1009,
    StatusText        = 1010,
    DeviceInfoButton  = 1011,  // never shown
    PasswordBox       = 1017,
    EnableEncryption  = 1021,  // never shown, never read
    VersionLabel      = 1023,
    PasswordLabel     = 1024,
    VidLabel          = 1025,
    PidLabel          = 1026,
    ChipNameLabel     = 1027,
    ChecksumLabel     = 1028,
    BuildTimeLabel    = 1029,
    EnableRollingCode = 1039,
    SetRollingCode    = 1040,
    CodeSecurity0     = 1042,
    CodeSecurity1     = 1043,
    CodeSecurity2     = 1044,
    CodeSecurity3     = 1045,
    CodeSecurityGroup = 1046,
    DeviceVidBox      = 1047,
    DevicePidBox      = 1048,
    DeviceRevBox      = 1049,
    VidCaption        = 1050,  // "VID:"
    PidCaption        = 1051,  // "PID:"
    RevCaption        = 1052,  // "REV:"
    Title             = 1053,
    SuccessCaption    = 1055,
    FailCaption       = 1056,
    SuccessCount      = 1057,
    FailCount         = 1058,
};
// clang-format on

// CS0 .. CS3 by level.
inline constexpr ControlId kCodeSecurityRadios[] = {
    ControlId::CodeSecurity0,
    ControlId::CodeSecurity1,
    ControlId::CodeSecurity2,
    ControlId::CodeSecurity3,
};

}  // namespace txisp::app
