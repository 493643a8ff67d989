// The HID backend is chosen once from TXISP_SIM: hidraw without it, the
// simulated bus with the named scenario's devices with it.

#include "app/hid_backend_choice.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "hid/hidraw_backend.h"
#include "sim/sim_bus.h"
#include "support/temp_dir.h"

namespace txisp::app {
namespace {

namespace fs = std::filesystem;

TEST(HidBackendChoice, HidrawUnlessAScenarioIsNamed) {
    platform::VirtualClock clock;
    for (const std::optional<std::string>& value :
         {std::optional<std::string>(), std::optional<std::string>("")}) {
        SCOPED_TRACE(value ? "empty" : "unset");
        Result<HidBackendChoice> choice = CreateHidBackend({value}, clock);
        ASSERT_TRUE(choice.ok()) << choice.error();
        EXPECT_NE(dynamic_cast<hid::HidrawBackend*>(choice->Backend.get()), nullptr);
        EXPECT_FALSE(choice->SimScenario.has_value());
    }
}

TEST(HidBackendChoice, ScenarioPutsItsDevicesOnASimulatedBus) {
    platform::VirtualClock clock;
    const fs::path scenario = testing::SourceDir() / "examples/sim/production-line.json";

    Result<HidBackendChoice> choice = CreateHidBackend({scenario.string()}, clock);

    ASSERT_TRUE(choice.ok()) << choice.error();
    auto* bus = dynamic_cast<sim::SimBus*>(choice->Backend.get());
    ASSERT_NE(bus, nullptr);
    EXPECT_EQ(bus->DeviceCount(), 3);
    EXPECT_EQ(choice->Backend->Enumerate(hid::InterfaceClass::Hid).size(), 3u);
    EXPECT_EQ(choice->SimScenario, scenario);
}

TEST(HidBackendChoice, ScenarioThatCannotBeLoadedIsAnError) {
    testing::TempDir dir;
    testing::WriteText(dir / "bad.json", R"({"devices": [{"chip": "TX5K3317x"}]})");
    const struct {
        const char* name;
        fs::path file;
        const char* says;
    } kCases[] = {
        {"missing file", dir / "missing.json", "missing.json"},
        {"unknown chip", dir / "bad.json", "TX5K3317x"},
    };
    platform::VirtualClock clock;
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Result<HidBackendChoice> choice = CreateHidBackend({c.file.string()}, clock);
        ASSERT_FALSE(choice.ok());
        EXPECT_TRUE(choice.error().starts_with("TXISP_SIM=" + c.file.string() + ": "))
            << choice.error();
        EXPECT_NE(choice.error().find(c.says), std::string::npos) << choice.error();
    }
}

TEST(HidBackendChoice, TheVariableIsReadFromTheEnvironment) {
    ::setenv("TXISP_SIM", "scenario.json", 1);
    EXPECT_EQ(HidBackendEnv::FromProcess().SimScenario, "scenario.json");
    ::unsetenv("TXISP_SIM");
    EXPECT_FALSE(HidBackendEnv::FromProcess().SimScenario.has_value());
}

}  // namespace
}  // namespace txisp::app
