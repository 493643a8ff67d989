#include "cli/progress_display.h"

#include <fmt/core.h>

#include <algorithm>
#include <string>

namespace txisp::cli {
namespace {

constexpr int kBarWidth = 40;

}  // namespace

ProgressDisplay::ProgressDisplay(Reporter& reporter, bool terminal)
    : reporter_(reporter), terminal_(terminal) {}

void ProgressDisplay::Show(int position) {
    position = std::clamp(position, 0, 100);
    if (position == last_) return;
    // A log gets a line per tenth, not a hundred lines per device.
    const bool plain_line_due = last_ < 0 || position / 10 != last_ / 10;
    last_ = position;
    if (!terminal_) {
        if (plain_line_due) reporter_.Note(fmt::format("progress {}%", position));
        return;
    }
    const int filled = position * kBarWidth / 100;
    reporter_.Prompt(fmt::format("\r[{}{}] {:3}%", std::string(filled, '#'),
                                 std::string(kBarWidth - filled, ' '), position));
    bar_open_ = true;
}

void ProgressDisplay::EndLine() {
    if (bar_open_) reporter_.Prompt("\n");
    bar_open_ = false;
    // A new run starts its bar from the beginning, even at the same value.
    last_ = -1;
}

}  // namespace txisp::cli
