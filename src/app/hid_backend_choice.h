#pragma once

// Which HID backend the front ends use, decided once at start-up: the
// kernel's hidraw devices, or the simulated bus when TXISP_SIM names a
// simulator scenario file. No command-line argument is involved, so the
// window and the command-line tool behave alike.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "hid/hid_backend.h"
#include "platform/clock.h"
#include "platform/result.h"

namespace txisp::app {

inline constexpr const char* kSimScenarioVariable = "TXISP_SIM";

struct HidBackendEnv {
    // TXISP_SIM; unset or empty: hidraw.
    std::optional<std::string> SimScenario;

    static HidBackendEnv FromProcess();
};

struct HidBackendChoice {
    std::unique_ptr<hid::HidBackend> Backend;
    // The scenario the simulated bus was loaded from; nullopt for hidraw.
    std::optional<std::filesystem::path> SimScenario;
};

// hidraw, or a simulated bus running on `clock` with the scenario's devices
// plugged in. A scenario that cannot be loaded is an error naming the
// variable, the file and what is wrong with it; there is no quiet fallback
// to real devices.
Result<HidBackendChoice> CreateHidBackend(const HidBackendEnv& env, platform::Clock& clock);

}  // namespace txisp::app
