#pragma once

// Programming runs against the simulated bus on a virtual clock: the shipped
// example scenarios and their sample firmware, an observer that records
// everything a run reports, and readers for what went over the wire.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/program_worker.h"
#include "engine/run_observer.h"
#include "firmware/chip_data.h"
#include "firmware/firmware_image.h"
#include "firmware/tx5_file.h"
#include "firmware/tx64_file.h"
#include "hid/hid_device_table.h"
#include "platform/clock.h"
#include "platform/trace.h"
#include "sim/scenario.h"
#include "sim/sim_bus.h"
#include "support/recording_prompts.h"
#include "support/temp_dir.h"

namespace txisp::engine::testing {

using Bytes = std::vector<std::uint8_t>;

inline std::string HexText(std::span<const std::uint8_t> bytes) {
    return platform::HexBytes(bytes.data(), bytes.size());
}

// Everything a run reports, in order: "step 1", "p 37", "t Program OK!!",
// "device 2", "finished". Thread-safe: runs may report from their worker thread.
class RecordingObserver final : public RunObserver {
public:
    void OnProgress(int position) override { Add("p " + std::to_string(position)); }
    void OnStep(int step_index) override { Add("step " + std::to_string(step_index)); }
    void OnTrace(std::string_view line) override {
        std::lock_guard lock(mutex_);
        traces_.emplace_back(line);
        events_.push_back("t " + std::string(line));
    }
    void OnDeviceStarted(const DeviceIdentity& device) override {
        Add("device " + std::to_string(device.DeviceNumber));
    }
    void OnDeviceFinished(const DeviceOutcome& outcome) override {
        std::lock_guard lock(mutex_);
        outcomes_.push_back(outcome);
    }
    void OnRunFinished(const RunReport& report) override {
        {
            std::lock_guard lock(mutex_);
            events_.push_back("finished");
            report_ = report;
        }
        finished_.notify_all();
    }

    void Clear() {
        std::lock_guard lock(mutex_);
        events_.clear();
        traces_.clear();
        outcomes_.clear();
        report_.reset();
    }

    std::vector<std::string> Events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::vector<std::string> Traces() const {
        std::lock_guard lock(mutex_);
        return traces_;
    }
    std::vector<DeviceOutcome> Outcomes() const {
        std::lock_guard lock(mutex_);
        return outcomes_;
    }
    std::optional<RunReport> Report() const {
        std::lock_guard lock(mutex_);
        return report_;
    }
    // Until OnRunFinished, at most `timeout`; whether it came.
    bool WaitForFinish(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return finished_.wait_for(lock, timeout, [&] { return report_.has_value(); });
    }
    bool HasTrace(std::string_view line) const {
        const auto traces = Traces();
        return std::find(traces.begin(), traces.end(), line) != traces.end();
    }

    // The bar's positions from the start of the `occurrence`-th phase
    // `phase` to the next step text or device; traces in between are passed
    // over.
    std::vector<int> PhasePositions(int phase, int occurrence = 0) const {
        const std::vector<std::string> events = Events();
        const std::string start = "step " + std::to_string(phase);
        std::vector<int> positions;
        int seen = -1;
        for (const std::string& event : events) {
            if (event == start) {
                ++seen;
                continue;
            }
            if (seen != occurrence || event.starts_with("t ")) continue;
            if (!event.starts_with("p ")) break;
            positions.push_back(std::stoi(event.substr(2)));
        }
        return positions;
    }

private:
    void Add(std::string event) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }

    mutable std::mutex mutex_;
    std::condition_variable finished_;
    std::vector<std::string> events_;
    std::vector<std::string> traces_;
    std::vector<DeviceOutcome> outcomes_;
    std::optional<RunReport> report_;
};

// The example scenario of `chip`: one device and its sample firmware.
inline sim::SimDeviceConfig ExampleDevice(std::string_view chip) {
    const auto file = txisp::testing::SourceDir() / "examples/sim" / (std::string(chip) + ".json");
    Result<sim::Scenario> scenario = sim::LoadScenario(file);
    EXPECT_TRUE(scenario.ok()) << scenario.error();
    if (!scenario.ok() || scenario->Devices.empty()) return {};
    return scenario->Devices.front();
}

// One request or data block as the device received it.
struct WireBlock {
    Bytes Payload;
    bool Data = false;  // a raw data block of a programming phase
};

// The reports sent to `device`, with the data blocks told apart from the
// requests: Enable Program announces how many follow (after the status
// request that fetches its result, in the status-polled set).
inline std::vector<WireBlock> SentBlocks(const sim::SimBus& bus, int device, bool tx64) {
    std::vector<WireBlock> blocks;
    int data_left = 0;
    for (const sim::Transfer& t : bus.Transcript()) {
        if (t.Direction != sim::TransferDirection::Set || t.Device != device || !t.Ok) continue;
        Bytes payload(t.Report.begin() + 1, t.Report.end());
        const bool status_request = payload[0] == 0x2A && payload[1] == 0xAA;
        if (data_left > 0 && !status_request) {
            --data_left;
            blocks.push_back({std::move(payload), true});
            continue;
        }
        if ((payload[0] == 0x05 || payload[0] == 0x25) && payload[1] == 0xAA && payload[2] == 0x55)
            data_left = tx64 ? payload[8] | payload[9] << 8 : payload[6] | payload[7] << 8;
        blocks.push_back({std::move(payload), false});
    }
    return blocks;
}

// The requests sent to `device`, without the data blocks and the status
// requests, each shown with at most `shown` bytes.
inline std::vector<std::string> SentRequests(const sim::SimBus& bus, int device, bool tx64,
                                             std::size_t shown) {
    std::vector<std::string> requests;
    for (const WireBlock& block : SentBlocks(bus, device, tx64)) {
        if (block.Data || (block.Payload[0] == 0x2A && block.Payload[1] == 0xAA)) continue;
        requests.push_back(
            HexText(std::span(block.Payload).first(std::min(shown, block.Payload.size()))));
    }
    return requests;
}

class EngineTest : public ::testing::Test {
protected:
    static constexpr std::uint16_t kAppVid = 0x5E3A;
    static constexpr std::uint16_t kAppPid = 0x3442;

    // Puts `config`'s device on the bus; its index.
    int Plug(sim::SimDeviceConfig config) {
        Result<int> plugged = bus_.Plug(std::move(config));
        EXPECT_TRUE(plugged.ok()) << plugged.error();
        return plugged.ok() ? *plugged : -1;
    }

    // The device's sample firmware into the image buffer of `family`.
    void LoadFirmware(const sim::SimDeviceConfig& config, firmware::ChipFamily family) {
        if (firmware::IsTx64Kind(family)) {
            const firmware::HexBinLoad load =
                firmware::LoadHexBinFile(config.Firmware, family, image_);
            ASSERT_TRUE(load.Outcome.ok()) << load.Outcome.message();
        } else {
            const Result<firmware::Tx5ImageRead> read =
                firmware::ReadTx5Image(config.Firmware, image_);
            ASSERT_TRUE(read.ok()) << read.error();
        }
    }

    // The example device of `chip` plugged `count` times, its firmware loaded
    // and the devices found, as the Start command does before a run.
    void PlugExample(std::string_view chip, int count = 1) {
        const sim::SimDeviceConfig config = ExampleDevice(chip);
        for (int i = 0; i < count; ++i)
            Plug(config);
        const firmware::ChipFamily family = firmware::FindChipFamily(chip, firmware::kNoFamily);
        LoadFirmware(config, family);
        Find(family);
    }

    void Find(firmware::ChipFamily family, std::uint16_t vid = kAppVid,
              std::uint16_t pid = kAppPid) {
        table_.SetReportBlockSize(static_cast<int>(firmware::ReportBlockSize(family)));
        ASSERT_EQ(table_.OpenHidDevice(vid, pid), hid::kHidOk);
    }

    RunParams Params(firmware::ChipFamily family, std::int32_t mask = 1) const {
        RunParams params;
        params.DeviceMask = mask;
        params.Family = family;
        params.Timing = IspTimingFor(family);
        params.Vid = kAppVid;
        params.Pid = kAppPid;
        params.Password = {0x40, 0x17, 0x29, 0x58};
        params.ChipName = "chip";
        return params;
    }

    RunDependencies Deps() { return {table_, clock_, image_, observer_, prompts_, state_.path()}; }

    RunReport Run(const RunParams& params) { return ProgramWorker(params, Deps()); }

    long CountWaits(platform::WaitKind kind, std::uint32_t ms) const {
        const auto waits = clock_.Waits();
        return std::count_if(waits.begin(), waits.end(), [&](const platform::RecordedWait& w) {
            return w.Kind == kind && w.Ms == ms;
        });
    }

    platform::VirtualClock clock_;
    sim::SimBus bus_{clock_};
    hid::HidDeviceTable table_{bus_};
    firmware::FirmwareImage image_;
    RecordingObserver observer_;
    txisp::testing::RecordingPrompts prompts_;
    txisp::testing::TempDir state_;
};

}  // namespace txisp::engine::testing
