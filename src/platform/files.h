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

// The whole file, refused when it is larger than max_bytes.
Result<std::vector<std::uint8_t>> ReadFileBytes(const std::filesystem::path& file,
                                                std::uintmax_t max_bytes);

// Replaces `file` atomically with `bytes`: a temporary file in the same folder
// is written, flushed and renamed over it. The file gets `mode` (before the
// umask) when it is new and keeps its mode when it is replaced. A symbolic
// link is followed: its target is replaced and the link stays.
Status WriteFileAtomically(const std::filesystem::path& file, std::span<const std::uint8_t> bytes,
                           unsigned mode = 0666);

// `folder`/`name` when it exists; otherwise the first entry of `folder` whose
// name equals `name` without regard to ASCII letter case (START.BMP finds
// Start.bmp); nullopt when none does.
std::optional<std::filesystem::path> FindFileIgnoringCase(const std::filesystem::path& folder,
                                                          std::string_view name);

}  // namespace txisp::platform
