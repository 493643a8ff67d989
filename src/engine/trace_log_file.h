#pragma once

// One trace log per programming run: every trace text of the run, time-
// stamped, so that the reason a device failed can be read after the window
// has forgotten it. The files live in <state folder>/logs, are named so that
// they sort by time, and only the newest kKeptTraceLogs are kept.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/result.h"

namespace txisp::engine {

inline constexpr std::size_t kKeptTraceLogs = 50;
inline constexpr std::string_view kTraceLogFolder = "logs";

// "run-20250102-101112-345.log" for that local time.
std::string TraceLogFileName(std::chrono::system_clock::time_point time);

// "2025-01-02 10:11:12.345" for that local time.
std::string TraceTimeStamp(std::chrono::system_clock::time_point time);

// Removes the oldest run-*.log files of `folder` until `keep` are left.
void PruneTraceLogs(const std::filesystem::path& folder, std::size_t keep);

class TraceLogFile {
public:
    // Creates a new file in <state_folder>/logs (made with mode 0700 when
    // missing) and prunes the folder to the newest kKeptTraceLogs.
    Status Open(const std::filesystem::path& state_folder);

    // Appends "<time stamp>  <text>" and a line end. After the first failed
    // write the file is given up, and the failure is traced once.
    void WriteLine(std::string_view text);

    // The file, once open.
    const std::optional<std::filesystem::path>& Path() const { return path_; }

private:
    platform::UniqueFd fd_;
    std::optional<std::filesystem::path> path_;
};

}  // namespace txisp::engine
