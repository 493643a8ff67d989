#pragma once

// Keeps the trace texts of a programming run while passing every line on to
// the sink that was installed before, so that --json can give each device
// the trace lines of its own part of the run.

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/trace.h"

namespace txisp::cli {

class TraceCapture final : public platform::TraceSink {
public:
    // Installs itself as the process's trace sink until destroyed.
    TraceCapture();
    ~TraceCapture() override;
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    void Write(platform::TraceLevel level, std::string_view line) override;

    // How many lines were kept so far: a mark to cut the lines at.
    std::size_t Mark() const;
    // The lines kept from mark `from` up to mark `to`.
    std::vector<std::string> Lines(std::size_t from, std::size_t to) const;

private:
    platform::TraceSink* previous_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace txisp::cli
