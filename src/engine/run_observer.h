#pragma once

// How a programming run tells its surroundings what it is doing. The window
// shows progress, the step text and, at the end, the result line and the
// counters; the command-line tool prints them. Every call comes from the
// worker thread; a window marshals them to its own.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "isp/isp_result.h"

namespace txisp::engine {

// 1 when the run succeeded, 0 when it failed.
using RunResult = std::uint8_t;
inline constexpr RunResult kRunSucceeded = 1;
inline constexpr RunResult kRunFailed = 0;

// The status line's texts by step index. A run sets only 0 and 1; 2 is the
// window's start-up value and 3 is never set.
inline constexpr std::array<std::string_view, 4> kStepTexts = {
    "Chip Erasing",
    "Programming",
    "ISP Program",
    "Data Verifying",
};

// Which device of the table a run worked on, as the production record and a
// device list name it.
struct DeviceIdentity {
    int DeviceNumber = 0;    // table index + 1
    std::string DevicePath;  // what the transfers went to
    std::string Location;    // physical location and USB serial, as the device list shows it
};

struct DeviceOutcome {
    DeviceIdentity Device;
    bool Success = false;
    // The trace text of what ended the device; empty on success.
    std::string FirstFailure;
    // The boot loader's version bytes d0 .. d3, when they were read.
    std::optional<isp::VersionBytes> DeviceVersion;
    // The rolling value written into the image for this device, as stored.
    std::optional<std::string> RollingValue;
};

struct RunReport {
    // kRunSucceeded only when at least one device was selected and every
    // selected device was programmed and verified.
    RunResult Result = kRunFailed;
    // The last step index a device reached (0 erase, 1 programming); nullopt
    // when none began erasing or programming, and the window keeps the index
    // it had before the run.
    std::optional<int> Phase;
    std::vector<DeviceOutcome> Devices;
    // Devices programmed successfully: how far the rolling code advances.
    std::uint64_t DevicesProgrammed = 0;
    std::int64_t ElapsedMs = 0;
    // The run's trace log; nullopt when none could be written.
    std::optional<std::filesystem::path> TraceLog;
};

class RunObserver {
public:
    virtual ~RunObserver() = default;

    // The progress bar's position, 0 .. 100.
    virtual void OnProgress(int position) = 0;
    // The status line's step index (kStepTexts).
    virtual void OnStep(int step_index) = 0;
    // One trace text of the run: what the operator does not see but an
    // engineer may want to follow live.
    virtual void OnTrace(std::string_view line) = 0;
    virtual void OnDeviceStarted(const DeviceIdentity&) {}
    virtual void OnDeviceFinished(const DeviceOutcome&) {}
    // The last call of a run. The device table has been let go already, so
    // the window may take it back once it has joined the worker.
    virtual void OnRunFinished(const RunReport& report) = 0;
};

// The window's control mask after a run: the phase last reached goes into
// bits 0 and 1 of the mask saved at Start; without one the saved mask stays.
std::uint8_t ApplyPhaseBits(std::uint8_t saved_mask, std::optional<int> phase);

}  // namespace txisp::engine
