#pragma once

// Where txisp's output goes. Results (the JSON document with --json) go to
// standard output and nothing else does, so a script can parse it; messages,
// warnings and the trace go to standard error. With --log every trace line
// at every level, and every message, is also appended to a file, so a failed
// run on a production line can be read afterwards even without -v.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <ostream>
#include <string_view>

#include "platform/result.h"
#include "platform/trace.h"

namespace txisp::cli {

class Reporter final : public platform::TraceSink {
public:
    Reporter(std::ostream& out, std::ostream& err);
    ~Reporter() override;
    Reporter(const Reporter&) = delete;
    Reporter& operator=(const Reporter&) = delete;

    // 0: no trace on the terminal; 1: steps and results; 2: and decisions;
    // 3: and every report as hex.
    void SetVerbosity(int verbosity);
    // Appends to `file`, creating it when missing.
    Status OpenLog(const std::filesystem::path& file);
    // Installs this reporter as the process's trace sink until destroyed.
    void InstallAsTraceSink();

    std::ostream& Out() { return out_; }

    // "txisp: <text>" on standard error, and in the log.
    void Error(std::string_view text);
    void Warning(std::string_view text);
    // A line for the person at the terminal (not a result): standard error.
    void Note(std::string_view text);
    // A line for the log only (the command line, what was decided).
    void LogOnly(std::string_view text);
    // Text without a line end on standard error, not logged: a question
    // waiting for its answer, a progress bar redrawn in place.
    void Prompt(std::string_view text);

    void Write(platform::TraceLevel level, std::string_view line) override;

private:
    void ToLog(std::string_view tag, std::string_view line);

    std::ostream& out_;
    std::ostream& err_;
    int verbosity_ = 0;
    bool installed_ = false;
    platform::TraceSink* previous_sink_ = nullptr;
    std::mutex mutex_;
    std::ofstream log_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

}  // namespace txisp::cli
