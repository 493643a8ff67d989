#include "cli/trace_capture.h"

#include <algorithm>

namespace txisp::cli {

TraceCapture::TraceCapture() : previous_(platform::SetTraceSink(this)) {}

TraceCapture::~TraceCapture() {
    platform::SetTraceSink(previous_);
}

// Only the run's own trace texts (Info); decisions and raw reports stay in
// the log, where -vv and -vvv can show them.
void TraceCapture::Write(platform::TraceLevel level, std::string_view line) {
    if (level == platform::TraceLevel::Info) {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(line);
    }
    if (previous_ != nullptr) previous_->Write(level, line);
}

std::size_t TraceCapture::Mark() const {
    std::lock_guard lock(mutex_);
    return lines_.size();
}

std::vector<std::string> TraceCapture::Lines(std::size_t from, std::size_t to) const {
    std::lock_guard lock(mutex_);
    to = std::min(to, lines_.size());
    from = std::min(from, to);
    return {lines_.begin() + static_cast<std::ptrdiff_t>(from),
            lines_.begin() + static_cast<std::ptrdiff_t>(to)};
}

}  // namespace txisp::cli
