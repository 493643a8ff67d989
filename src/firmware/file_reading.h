#pragma once

// Reading firmware files: only regular files are opened (a FIFO or a device
// node named as firmware must neither hang nor flood a load), and a load reads
// no more than its buffer holds.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "platform/files.h"
#include "platform/result.h"

namespace txisp::firmware {

class FileReader {
public:
    Status Open(const std::filesystem::path& path);
    std::uintmax_t size() const { return size_; }

    // Moves to `offset`; reading past the end then gives nothing.
    Status Seek(std::uintmax_t offset);
    // Fills as much of `buffer` as the file has left; 0 at the end.
    Result<std::size_t> Read(std::span<std::uint8_t> buffer);

private:
    std::filesystem::path path_;
    platform::UniqueFd fd_;
    std::uintmax_t size_ = 0;
};

struct FileSlice {
    std::vector<std::uint8_t> Bytes;  // at most the bytes asked for
    std::uintmax_t FileSize = 0;
};

// Bytes [offset, offset + max_bytes) of a regular file, fewer where the file
// ends earlier.
Result<FileSlice> ReadFileSlice(const std::filesystem::path& path, std::uintmax_t offset,
                                std::size_t max_bytes);

}  // namespace txisp::firmware
