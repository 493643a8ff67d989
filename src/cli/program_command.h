#pragma once

// txisp program: one run of the Start command as the window makes it - the
// same checks, messages, detection order and engine, through the window's
// own logic on a terminal view - after refusing the firmware files the
// window would carry on with silently.

#include <filesystem>
#include <optional>
#include <string>

#include "cli/exit_codes.h"
#include "cli/reporter.h"
#include "hid/hid_backend.h"
#include "platform/clock.h"

namespace txisp::cli {

struct ProgramRequest {
    std::string Chip;
    std::filesystem::path File;
    std::string Password;
    std::string Vid;
    std::string Pid;
    std::optional<int> Security;
    std::optional<int> Device;
    bool All = false;
    // The rolling-code settings file; it must be the one beside the
    // firmware file, where the window keeps it.
    std::optional<std::filesystem::path> Rolling;
    bool Yes = false;
    bool Json = false;
    std::optional<double> WaitSeconds;
    // Where the window program lives: its counters are the ones updated.
    std::filesystem::path WindowProgram;
};

ExitCode RunProgram(const ProgramRequest& request, hid::HidBackend& backend, platform::Clock& clock,
                    Reporter& reporter);

// txisp-gui beside the running txisp.
std::filesystem::path WindowProgramBesideThis();

}  // namespace txisp::cli
