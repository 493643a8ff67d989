#pragma once

// A programming run over the selected devices of the device table, one after
// another, on a worker thread of its own.
//
// The window (or the command-line tool) fills RunParams, lets go of the
// device table (HidDeviceTable::Release) and starts the run; the worker
// claims the table for the run, programs each selected device, reports
// through the RunObserver and lets the table go again before its last
// call, OnRunFinished. The caller then joins the worker and claims the table
// back.
//
// Every selected device gets its own rolling value (when the run has a
// rolling plan), a line in the production record and a trace in the run's
// trace log (when a state folder is given). Files that cannot be written
// never fail a run; that is traced.

#include <atomic>
#include <filesystem>
#include <optional>
#include <thread>

#include "engine/run_observer.h"
#include "engine/run_params.h"
#include "firmware/firmware_image.h"
#include "hid/hid_device_table.h"
#include "platform/clock.h"
#include "platform/prompts.h"

namespace txisp::engine {

// The run's pause after every position of the device mask, selected or not.
inline constexpr std::uint32_t kDevicePauseMs = 500;
// The Start command's own waits, which belong to the window: after the
// password check, and after the device list was confirmed.
inline constexpr std::uint32_t kAfterPasswordCheckMs = 200;
inline constexpr std::uint32_t kAfterDeviceListMs = 250;
// The result handler's wait before the controls come back.
inline constexpr std::uint32_t kRunFinishedPauseMs = 500;

// What a run works with. Everything must outlive the run.
struct RunDependencies {
    hid::HidDeviceTable& Table;
    platform::Clock& Clock;
    // The run programs the buffer of its family's kind; sequences B, B' and F
    // write the chip's code options into it, and the rolling value goes in
    // before each device.
    firmware::FirmwareImage& Image;
    RunObserver& Observer;
    // The crystal question and the "Return Boot Mode Failed!!" box; both
    // block the run until answered.
    platform::Prompts& Prompts;
    // Holds logs/ and production.jsonl; nullopt: neither is written.
    std::optional<std::filesystem::path> StateFolder;
};

// The whole run on the calling thread; the report is also handed to the
// observer's OnRunFinished.
RunReport ProgramWorker(const RunParams& params, const RunDependencies& deps);

// The worker thread of one run at a time.
class ProgramRun {
public:
    ProgramRun() = default;
    // Waits for a run still going: it uses the table, the image and the
    // observer, which must not go away under it.
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    // Starts ProgramWorker on its own thread. False, and nothing started,
    // while a run is going; a finished run is joined first.
    bool Start(RunParams params, RunDependencies deps);
    // Until the worker has returned.
    bool Running() const { return running_.load(std::memory_order_acquire); }
    // Joins the worker; at once when none was started.
    void Wait();

private:
    std::thread thread_;
    std::atomic<bool> running_{false};
};

}  // namespace txisp::engine
