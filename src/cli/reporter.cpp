#include "cli/reporter.h"

#include <fmt/core.h>

#include <cerrno>

#include "platform/files.h"

namespace txisp::cli {
namespace {

std::string_view LevelTag(platform::TraceLevel level) {
    switch (level) {
        case platform::TraceLevel::Info:
            return "info";
        case platform::TraceLevel::Debug:
            return "debug";
        case platform::TraceLevel::Raw:
            return "raw";
    }
    return "trace";
}

int LevelRank(platform::TraceLevel level) {
    switch (level) {
        case platform::TraceLevel::Info:
            return 1;
        case platform::TraceLevel::Debug:
            return 2;
        case platform::TraceLevel::Raw:
            return 3;
    }
    return 3;
}

}  // namespace

Reporter::Reporter(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

Reporter::~Reporter() {
    if (installed_) platform::SetTraceSink(previous_sink_);
}

void Reporter::SetVerbosity(int verbosity) {
    verbosity_ = verbosity;
}

Status Reporter::OpenLog(const std::filesystem::path& file) {
    log_.open(file, std::ios::app);
    if (!log_) {
        return Status::Fail(fmt::format("cannot open the log file {}: {}", file.string(),
                                        platform::ErrnoText(errno)));
    }
    return Status::Ok();
}

void Reporter::InstallAsTraceSink() {
    if (installed_) return;
    previous_sink_ = platform::SetTraceSink(this);
    installed_ = true;
}

void Reporter::Error(std::string_view text) {
    std::lock_guard lock(mutex_);
    err_ << "txisp: " << text << '\n' << std::flush;
    ToLog("error", text);
}

void Reporter::Warning(std::string_view text) {
    std::lock_guard lock(mutex_);
    err_ << "txisp: warning: " << text << '\n' << std::flush;
    ToLog("warning", text);
}

void Reporter::Note(std::string_view text) {
    std::lock_guard lock(mutex_);
    err_ << text << '\n' << std::flush;
    ToLog("note", text);
}

void Reporter::LogOnly(std::string_view text) {
    std::lock_guard lock(mutex_);
    ToLog("note", text);
}

void Reporter::Prompt(std::string_view text) {
    std::lock_guard lock(mutex_);
    err_ << text << std::flush;
}

void Reporter::Write(platform::TraceLevel level, std::string_view line) {
    std::lock_guard lock(mutex_);
    if (LevelRank(level) <= verbosity_) err_ << "[" << LevelTag(level) << "] " << line << '\n';
    ToLog(LevelTag(level), line);
}

// Lines carry the seconds since the program started: what an engineer needs
// to line a log up with the device's timing.
void Reporter::ToLog(std::string_view tag, std::string_view line) {
    if (!log_.is_open()) return;
    const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_);
    log_ << fmt::format("{:10.3f} {:<7} {}\n", elapsed.count(), tag, line) << std::flush;
}

}  // namespace txisp::cli
