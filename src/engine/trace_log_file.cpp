#include "engine/trace_log_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <span>
#include <vector>

#include "platform/trace.h"

namespace txisp::engine {
namespace {

constexpr std::string_view kPrefix = "run-";
constexpr std::string_view kSuffix = ".log";

struct LocalTime {
    std::tm Fields{};
    int Millis = 0;
};

LocalTime ToLocal(std::chrono::system_clock::time_point time) {
    const auto since_epoch = time.time_since_epoch();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    LocalTime local;
    localtime_r(&seconds, &local.Fields);
    local.Millis = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count() % 1000);
    return local;
}

bool IsTraceLogName(const std::string& name) {
    return name.size() > kPrefix.size() + kSuffix.size() && name.starts_with(kPrefix) &&
           name.ends_with(kSuffix);
}

}  // namespace

std::string TraceLogFileName(std::chrono::system_clock::time_point time) {
    const LocalTime t = ToLocal(time);
    char name[64];
    std::snprintf(name, sizeof name, "run-%04d%02d%02d-%02d%02d%02d-%03d.log",
                  t.Fields.tm_year + 1900, t.Fields.tm_mon + 1, t.Fields.tm_mday, t.Fields.tm_hour,
                  t.Fields.tm_min, t.Fields.tm_sec, t.Millis);
    return name;
}

std::string TraceTimeStamp(std::chrono::system_clock::time_point time) {
    const LocalTime t = ToLocal(time);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d",
                  t.Fields.tm_year + 1900, t.Fields.tm_mon + 1, t.Fields.tm_mday, t.Fields.tm_hour,
                  t.Fields.tm_min, t.Fields.tm_sec, t.Millis);
    return stamp;
}

void PruneTraceLogs(const std::filesystem::path& folder, std::size_t keep) {
    std::error_code error;
    std::vector<std::filesystem::path> logs;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.is_regular_file(error) && IsTraceLogName(entry.path().filename().string()))
            logs.push_back(entry.path());
    }
    if (logs.size() <= keep) return;
    // The names sort by the time they were made.
    std::sort(logs.begin(), logs.end());
    for (std::size_t i = 0; i + keep < logs.size(); ++i)
        std::filesystem::remove(logs[i], error);
}

Status TraceLogFile::Open(const std::filesystem::path& state_folder) {
    const std::filesystem::path folder = state_folder / kTraceLogFolder;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return Status::Fail("trace log folder " + folder.string() + ": " +
                            platform::ErrnoText(errno));
    const std::string name = TraceLogFileName(std::chrono::system_clock::now());
    // Two runs within one millisecond: the second gets a suffix rather than
    // the first one's file; "_" sorts after ".", so it still sorts as newer.
    const std::string stem = name.substr(0, name.size() - kSuffix.size());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path path =
            folder /
            (attempt == 0 ? name : stem + "_" + std::to_string(attempt) + std::string(kSuffix));
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
        if (fd >= 0) {
            fd_ = platform::UniqueFd(fd);
            path_ = path;
            PruneTraceLogs(folder, kKeptTraceLogs);
            return Status::Ok();
        }
        if (errno != EEXIST)
            return Status::Fail("trace log " + path.string() + ": " + platform::ErrnoText(errno));
    }
    return Status::Fail("trace log: no free name in " + folder.string());
}

void TraceLogFile::WriteLine(std::string_view text) {
    if (!fd_.valid()) return;
    std::string line = TraceTimeStamp(std::chrono::system_clock::now());
    line += "  ";
    line += text;
    line += '\n';
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
    if (const int error = platform::WriteAll(fd_.get(), bytes); error != 0) {
        platform::Trace(platform::TraceLevel::Info,
                        "trace log " + path_->string() + ": " + platform::ErrnoText(error) +
                            "; the rest of the run is not logged there");
        fd_.Close();
    }
}

}  // namespace txisp::engine
