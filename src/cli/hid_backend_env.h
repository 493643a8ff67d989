#pragma once

// The HID backend the command-line tool talks through: hidraw, or the
// simulated bus when TXISP_SIM names a scenario file, exactly as the window
// decides it, so a scripted run and a window run see the same devices.

#include <memory>

#include "app/hid_backend_choice.h"
#include "hid/hid_backend.h"
#include "platform/clock.h"
#include "platform/result.h"

namespace txisp::cli {

inline constexpr const char* kSimScenarioVariable = app::kSimScenarioVariable;

// A scenario that cannot be loaded is an error naming the variable and the
// file; there is no quiet fallback to the real bus.
Result<std::unique_ptr<hid::HidBackend>> OpenHidBackend(platform::Clock& clock);

}  // namespace txisp::cli
