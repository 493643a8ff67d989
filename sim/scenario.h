#pragma once

// Scenario files: a JSON description of the devices on a simulated bus (the
// format is documented in docs/simulator.md). Loading one onto a bus is one
// call, LoadScenarioInto.

#include <filesystem>
#include <string_view>
#include <vector>

#include "platform/result.h"
#include "sim/sim_bus.h"
#include "sim/sim_device_config.h"

namespace txisp::sim {

struct Scenario {
    // One entry per device, in plugging order: an entry with a count of n
    // stands here n times.
    std::vector<SimDeviceConfig> Devices;
};

// `folder` resolves relative firmware paths. Errors name the key, with the
// device's index: "devices[1].chip: unknown chip \"TX5K3317x\"".
Result<Scenario> ParseScenario(std::string_view json_text, const std::filesystem::path& folder);

Result<Scenario> LoadScenario(const std::filesystem::path& file);

// Plugs the scenario's devices in order; stops at the first that fails.
Status PlugScenario(SimBus& bus, const Scenario& scenario);

Status LoadScenarioInto(SimBus& bus, const std::filesystem::path& file);

}  // namespace txisp::sim
