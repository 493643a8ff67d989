#include "app/hid_backend_choice.h"

#include <cstdlib>

#include "hid/hidraw_backend.h"
#include "sim/scenario.h"
#include "sim/sim_bus.h"

namespace txisp::app {

HidBackendEnv HidBackendEnv::FromProcess() {
    HidBackendEnv env;
    if (const char* scenario = std::getenv(kSimScenarioVariable)) env.SimScenario = scenario;
    return env;
}

Result<HidBackendChoice> CreateHidBackend(const HidBackendEnv& env, platform::Clock& clock) {
    HidBackendChoice choice;
    if (!env.SimScenario || env.SimScenario->empty()) {
        choice.Backend = std::make_unique<hid::HidrawBackend>();
        return choice;
    }
    const std::filesystem::path scenario = *env.SimScenario;
    auto bus = std::make_unique<sim::SimBus>(clock);
    if (Status loaded = sim::LoadScenarioInto(*bus, scenario); !loaded) {
        return Result<HidBackendChoice>::Fail(std::string(kSimScenarioVariable) + "=" +
                                              scenario.string() + ": " + loaded.message());
    }
    choice.Backend = std::move(bus);
    choice.SimScenario = scenario;
    return choice;
}

}  // namespace txisp::app
