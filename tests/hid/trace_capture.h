#pragma once

// Collects the trace lines written while it is installed.

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/trace.h"

namespace txisp::testing {

class TraceCapture final : public platform::TraceSink {
public:
    TraceCapture() : previous_(platform::SetTraceSink(this)) {}
    ~TraceCapture() override { platform::SetTraceSink(previous_); }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    void Write(platform::TraceLevel level, std::string_view line) override {
        std::lock_guard lock(mutex_);
        lines_.push_back({level, std::string(line)});
    }

    // The lines of `level`, oldest first.
    std::vector<std::string> Lines(platform::TraceLevel level) const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> lines;
        for (const auto& [line_level, text] : lines_) {
            if (line_level == level) lines.push_back(text);
        }
        return lines;
    }

private:
    platform::TraceSink* previous_;
    mutable std::mutex mutex_;
    std::vector<std::pair<platform::TraceLevel, std::string>> lines_;
};

}  // namespace txisp::testing
