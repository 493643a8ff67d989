#include "cli/hid_backend_env.h"

#include <cstdlib>
#include <filesystem>
#include <string>

#include "hid/hidraw_backend.h"
#include "sim/scenario.h"
#include "sim/sim_bus.h"

namespace txisp::cli {

Result<std::unique_ptr<hid::HidBackend>> OpenHidBackend(platform::Clock& clock) {
    const char* scenario = std::getenv(kSimScenarioVariable);
    if (scenario == nullptr || *scenario == '\0') {
        return std::unique_ptr<hid::HidBackend>(std::make_unique<hid::HidrawBackend>());
    }
    auto bus = std::make_unique<sim::SimBus>(clock);
    if (Status loaded = sim::LoadScenarioInto(*bus, std::filesystem::path(scenario)); !loaded) {
        return Result<std::unique_ptr<hid::HidBackend>>::Fail(
            std::string(kSimScenarioVariable) + "=" + scenario + ": " + loaded.message());
    }
    return std::unique_ptr<hid::HidBackend>(std::move(bus));
}

}  // namespace txisp::cli
