#pragma once

// File-system stand-ins for what the system expects of its platform: the
// module file name, folder creation, deleting a folder tree, file times, and
// whole-file reads and atomic writes.
//
// Paths are formed and cut with '/'. Names that came from settings files or
// archives may use '\' as their separator; ToNativeSeparators turns them into
// paths first.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace txisp::platform {

// Every '\' replaced by '/'.
std::string ToNativeSeparators(std::string_view path);

// The running program's own file (/proc/self/exe), or nullopt.
std::optional<std::filesystem::path> ModuleFileName();

// True when `path` exists as a folder afterwards. An empty path is false; an
// existing file is false; a path without any separator is true without
// anything being created. Otherwise the parent is made first, recursively.
bool MakeFolderPath(const std::filesystem::path& path);

// Deletes the file or folder at `path` with everything below it, without
// following symbolic links (a link is removed, never what it points to). True
// when nothing is left at `path` afterwards.
bool DeleteTree(const std::filesystem::path& path);

// The time a DOS date (high 16 bits) and time (low 16 bits) stand for, taken
// as local time; nullopt for a value that is not a valid date and time (a zero
// date among them).
std::optional<std::time_t> DosDateTimeToTime(std::uint32_t dos_date_time);

// Sets the file's last-modification time and keeps its access time. Linux has
// no settable creation time.
bool SetFileModificationTime(const std::filesystem::path& file, std::time_t time);

// The error text of an errno value.
std::string ErrnoText(int error);

// Owns a file descriptor and closes it.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    ~UniqueFd() { Close(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    bool valid() const { return fd_ >= 0; }
    int get() const { return fd_; }
    int Release();
    // False when close reports an error (the data may not have been written).
    bool Close();

private:
    int fd_;
};

// Writes all of `bytes`; 0 or the errno of the failure.
int WriteAll(int fd, std::span<const std::uint8_t> bytes);

// The whole file; nullopt when it does not exist. A file that exists but
// cannot be read, is not a regular file (a FIFO does not hang the call) or is
// larger than max_bytes is an error.
Result<std::optional<std::vector<std::uint8_t>>> ReadFileIfExists(const std::filesystem::path& file,
                                                                  std::uintmax_t max_bytes);

// The whole file; a missing file is an error too.
Result<std::vector<std::uint8_t>> ReadFileBytes(const std::filesystem::path& file,
                                                std::uintmax_t max_bytes);

// Replaces a file atomically: the new content goes to a temporary file in the
// target's folder, which Commit flushes and renames over the target; a crash
// leaves either the old or the new file, never half of one. A symbolic link
// at the target is followed: its target is replaced and the link stays.
// Without a Commit the temporary file is removed again.
class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    Status Open(const std::filesystem::path& target);
    int fd() const { return fd_.get(); }
    Status Write(std::span<const std::uint8_t> bytes);

    // The file gets exactly `mode` when given; otherwise a replaced file keeps
    // its mode and a new one gets 0666 less the umask.
    Status Commit(std::optional<unsigned> mode = std::nullopt);

private:
    std::filesystem::path target_;
    std::filesystem::path temp_;
    UniqueFd fd_;
};

// The whole of `file` replaced atomically by `bytes` (see AtomicFileWriter);
// a new file gets `mode` less the umask, a replaced one keeps its mode.
Status WriteFileAtomically(const std::filesystem::path& file, std::span<const std::uint8_t> bytes,
                           unsigned mode = 0666);

// `folder`/`name` when it exists; otherwise the first entry of `folder` whose
// name equals `name` without regard to ASCII letter case (START.BMP finds
// Start.bmp); nullopt when none does.
std::optional<std::filesystem::path> FindFileIgnoringCase(const std::filesystem::path& folder,
                                                          std::string_view name);

}  // namespace txisp::platform
