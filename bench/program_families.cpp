// How close a programming run comes to the waits its protocol prescribes.
//
// Programs one simulated device of each chip family with its sample firmware
// (the example scenarios) on the real clock, and prints per family the wait
// floor (the sum of the nominal waits the run asked for: busy waits at their
// value, command delays at twice theirs from 5 ms up), the measured wall
// time, their ratio and the CPU time used:
//
//   family 9 floor_ms 3874.0 wall_ms 3880.2 ratio 1.002 cpu_ms 3878.3
//
// The last line is the largest ratio:  ratio_max <value>
// A run takes a few minutes: the waits are real. With repetitions, each
// family is programmed that many times and its fastest run is shown, so that
// another program's use of the processors does not pass for the tool's.
//
// Usage: bench_program_families [repetitions] [examples folder]
//        (defaults: 1, the source tree's examples/sim)

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "engine/program_worker.h"
#include "firmware/chip_data.h"
#include "firmware/tx5_file.h"
#include "firmware/tx64_file.h"
#include "hid/hid_device_table.h"
#include "platform/clock.h"
#include "sim/scenario.h"
#include "sim/sim_bus.h"

namespace {

using namespace txisp;

// The real clock, adding up the nominal length of every wait asked of it.
class FloorClock final : public platform::Clock {
public:
    explicit FloorClock(platform::Clock& clock) : clock_(clock) {}

    std::int64_t NowMs() override { return clock_.NowMs(); }
    void BusyWaitMs(std::uint32_t ms) override {
        floor_ms_ += ms;
        clock_.BusyWaitMs(ms);
    }
    void DelayMs(std::uint32_t ms) override {
        floor_ms_ += platform::DelayDurationMs(ms);
        clock_.DelayMs(ms);
    }
    double FloorMs() const { return static_cast<double>(floor_ms_); }

private:
    platform::Clock& clock_;
    std::uint64_t floor_ms_ = 0;
};

class QuietObserver final : public engine::RunObserver {
public:
    void OnProgress(int) override {}
    void OnStep(int) override {}
    void OnTrace(std::string_view) override {}
    void OnRunFinished(const engine::RunReport&) override {}
};

class YesPrompts final : public platform::Prompts {
public:
    void ShowMessage(std::string_view, std::string_view) override {}
    bool AskYesNo(std::string_view, std::string_view) override { return true; }
};

double Ms(clockid_t id) {
    struct timespec now {};
    clock_gettime(id, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Example {
    const char* Chip;
    firmware::ChipFamily Family;
};

// One chip of each family, as examples/sim names them.
constexpr Example kExamples[] = {
    {"TX5K3317", 0},  {"TX5K3307", 1},  {"TX5K3358", 2},    {"TX5K3317B", 3}, {"TX5K3307B", 4},
    {"TX5K3355B", 5}, {"TX5K33E28", 6}, {"TX5K3304C", 7},   {"TX5K3390D", 8}, {"TX64K36x", 9},
    {"TX64K38x", 10}, {"TX64K33x", 11}, {"TX5K33E55B", 12}, {"TX64K39x", 13}, {"TX64K36xB", 14},
};

bool LoadImage(const sim::SimDeviceConfig& device, firmware::ChipFamily family,
               firmware::FirmwareImage& image) {
    if (firmware::IsTx64Kind(family))
        return firmware::LoadHexBinFile(device.Firmware, family, image).Outcome.ok();
    return firmware::ReadTx5Image(device.Firmware, image).ok();
}

struct Measurement {
    double FloorMs = 0;
    double WallMs = 0;
    double CpuMs = 0;
    double Ratio() const { return WallMs / FloorMs; }
};

// Programs a fresh device of the example's kind once; nullopt (and why on
// stderr) when the run fails.
std::optional<Measurement> ProgramOnce(const Example& example, const sim::SimDeviceConfig& device) {
    platform::SteadyClock& steady = platform::SteadyClock::Instance();
    sim::SimBus bus(steady);
    if (!bus.Plug(device)) return std::nullopt;
    hid::HidDeviceTable table(bus);
    table.SetReportBlockSize(static_cast<int>(firmware::ReportBlockSize(example.Family)));
    if (table.OpenHidDevice(device.VendorId, device.ProductId) != hid::kHidOk) return std::nullopt;
    static firmware::FirmwareImage image;
    if (!LoadImage(device, example.Family, image)) {
        std::fprintf(stderr, "%s: firmware not loaded\n", device.Firmware.c_str());
        return std::nullopt;
    }

    engine::RunParams params;
    params.DeviceMask = 1;
    params.Family = example.Family;
    params.Timing = engine::IspTimingFor(example.Family);
    params.Vid = device.VendorId;
    params.Pid = device.ProductId;
    params.Password = device.Password;
    params.ChipName = example.Chip;
    FloorClock clock(steady);
    QuietObserver observer;
    YesPrompts prompts;

    const double wall_start = Ms(CLOCK_MONOTONIC);
    const double cpu_start = Ms(CLOCK_PROCESS_CPUTIME_ID);
    const engine::RunReport report =
        engine::ProgramWorker(params, {table, clock, image, observer, prompts, std::nullopt});
    Measurement m;
    m.WallMs = Ms(CLOCK_MONOTONIC) - wall_start;
    m.CpuMs = Ms(CLOCK_PROCESS_CPUTIME_ID) - cpu_start;
    m.FloorMs = clock.FloorMs();
    if (report.Result != engine::kRunSucceeded) {
        std::fprintf(stderr, "family %d: run failed: %s\n", example.Family,
                     report.Devices.empty() ? "" : report.Devices[0].FirstFailure.c_str());
        return std::nullopt;
    }
    return m;
}

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    const std::filesystem::path examples =
        argc > 2 ? std::filesystem::path(argv[2])
                 : std::filesystem::path(TXISP_SOURCE_DIR) / "examples" / "sim";
    double ratio_max = 0;
    for (const Example& example : kExamples) {
        const auto file = examples / (std::string(example.Chip) + ".json");
        const Result<sim::Scenario> scenario = sim::LoadScenario(file);
        if (!scenario || scenario->Devices.empty()) {
            std::fprintf(stderr, "%s: %s\n", file.c_str(), scenario.error().c_str());
            return 1;
        }
        std::optional<Measurement> best;
        for (int i = 0; i < repetitions; ++i) {
            const std::optional<Measurement> m = ProgramOnce(example, scenario->Devices.front());
            if (!m) return 1;
            if (!best || m->Ratio() < best->Ratio()) best = m;
        }
        ratio_max = std::max(ratio_max, best->Ratio());
        std::printf("family %d floor_ms %.1f wall_ms %.1f ratio %.3f cpu_ms %.1f\n", example.Family,
                    best->FloorMs, best->WallMs, best->Ratio(), best->CpuMs);
        std::fflush(stdout);
    }
    std::printf("ratio_max %.3f\n", ratio_max);
    return 0;
}
