#pragma once

// Writes small zip archives for tests, with full control over entry names
// (either separator, hostile paths), DOS dates and Unix link entries.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace txisp::testing {

struct ZipEntrySpec {
    std::string Name;  // stored exactly as given
    std::string Data;
    std::uint32_t DosDateTime = 0;
    bool UnixSymlink = false;  // made by a Unix host with S_IFLNK attributes; Data = target
};

// Writes the archive; throws std::runtime_error when minizip fails.
void WriteZip(const std::filesystem::path& file, const std::vector<ZipEntrySpec>& entries);

// Every regular file below `root`, as paths relative to it, sorted.
std::vector<std::string> ListFiles(const std::filesystem::path& root);

}  // namespace txisp::testing
