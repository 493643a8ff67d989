#pragma once

// Where a run's trace texts go: the observer (a window may show them), the
// run's trace log file and the diagnostic trace. The log list of the window
// gets none of them; it shows only the start and result lines.

#include <filesystem>
#include <optional>
#include <string_view>

#include "engine/run_observer.h"
#include "engine/trace_log_file.h"
#include "isp/step_log.h"

namespace txisp::engine {

class RunLog final : public isp::StepLog {
public:
    // Without a state folder there is no trace log file. A file that cannot
    // be made is traced and the run goes on without it.
    RunLog(RunObserver& observer, const std::optional<std::filesystem::path>& state_folder);

    // A trace text of the system's own: to the observer, the file and the
    // diagnostic trace.
    void Write(std::string_view text) override;

    // The engine's own explanation where the system traces nothing (a
    // declined question, a device at another protection level): to the file
    // and the diagnostic trace only.
    void Note(std::string_view text);

    const std::optional<std::filesystem::path>& Path() const { return file_.Path(); }

private:
    RunObserver& observer_;
    TraceLogFile file_;
};

}  // namespace txisp::engine
