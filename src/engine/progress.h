#pragma once

// The status line and the progress bar as a run drives them, and the phase
// it records for the window's control mask.

#include <optional>

#include "engine/run_observer.h"

namespace txisp::engine {

class RunProgress {
public:
    explicit RunProgress(RunObserver& observer) : observer_(observer) {}

    // Shows step text `index`; an index with bit 2 set shows nothing.
    void ShowStep(int index);
    void SetProgress(int position);
    // The start of a phase: its step text, its phase bits, the bar at 0.
    void BeginPhase(int phase);

    // The last phase begun in this run.
    std::optional<int> Phase() const { return phase_; }

private:
    RunObserver& observer_;
    std::optional<int> phase_;
};

}  // namespace txisp::engine
