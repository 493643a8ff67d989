#pragma once

// The run's progress on standard error: a bar redrawn in place on a
// terminal, and one "progress N%" line per change otherwise, so that a log
// collected by a production script stays readable.

#include "cli/reporter.h"

namespace txisp::cli {

class ProgressDisplay {
public:
    ProgressDisplay(Reporter& reporter, bool terminal);

    // 0 .. 100; values outside are clamped, as the progress bar does.
    void Show(int position);
    // Ends a bar drawn in place, so that the next line starts on its own.
    void EndLine();

private:
    Reporter& reporter_;
    bool terminal_;
    int last_ = -1;
    bool bar_open_ = false;
};

}  // namespace txisp::cli
