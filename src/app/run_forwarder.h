#pragma once

// Carries what the programming worker reports over to the window thread:
// every observer call is queued there, so the worker never touches a widget
// and never waits for the window. The run's report waits here until the
// window thread takes it; whoever takes it first (the queued task, or the
// window's end while a run is still going) finishes the run.

#include <functional>
#include <mutex>
#include <optional>

#include "engine/run_observer.h"

namespace txisp::app {

class RunForwarder final : public engine::RunObserver {
public:
    using Post = std::function<void(std::function<void()>)>;

    struct Handlers {
        std::function<void(int position)> Progress;
        std::function<void(int step_index)> Step;
        std::function<void(const engine::DeviceOutcome&)> DeviceFinished;
        // The run has ended; its report is ready for TakeReport.
        std::function<void()> RunFinished;
    };

    RunForwarder(Post post, Handlers handlers)
        : post_(std::move(post)), handlers_(std::move(handlers)) {}

    void OnProgress(int position) override;
    void OnStep(int step_index) override;
    // The run's trace already goes to its trace log and the diagnostic trace;
    // the window shows none of it.
    void OnTrace(std::string_view) override {}
    void OnDeviceFinished(const engine::DeviceOutcome& outcome) override;
    void OnRunFinished(const engine::RunReport& report) override;

    // The finished run's report, once; nullopt when there is none (yet).
    std::optional<engine::RunReport> TakeReport();

private:
    Post post_;
    Handlers handlers_;
    std::mutex mutex_;
    std::optional<engine::RunReport> report_;
};

}  // namespace txisp::app
