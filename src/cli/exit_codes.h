#pragma once

// The exit codes of txisp, documented in its man page and README; scripts
// on production lines branch on them, so their numbers never change.

#include <string>

namespace txisp::cli {

enum class ExitCode : int {
    Success = 0,
    RunFailed = 1,    // the device or the run failed, or a file could not be written
    Usage = 2,        // a bad command line, or a TXISP_SIM scenario that cannot be loaded
    NoDevice = 3,     // no matching device on the bus
    Permission = 4,   // a matching device the user may not open
    BadFirmware = 5,  // a firmware file the command refuses
};

inline int ToInt(ExitCode code) {
    return static_cast<int>(code);
}

// A failure a command reports: what the user reads and how the process ends.
struct CliError {
    ExitCode Code = ExitCode::RunFailed;
    std::string Message;
};

}  // namespace txisp::cli
