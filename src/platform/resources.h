#pragma once

// Program resources: data carried inside the program's own executable file,
// looked up by a 16-bit id (the firmware image, the chip name, the settings
// archive of a tool prepared for one product). They travel as a resource
// bundle appended to the executable; docs/resource-bundle.md defines the
// format.
//
// A program without a bundle, or with a truncated or corrupt one, simply has
// no resources: reading never fails in a way the caller must handle.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "platform/result.h"

namespace txisp::platform {

using ResourceId = std::uint16_t;
using ResourceMap = std::map<ResourceId, std::vector<std::uint8_t>>;

class ResourceBundle {
public:
    // No resources.
    ResourceBundle() = default;

    // The bundle at the end of the given file; empty when there is none or it
    // fails any check (magic, version, sizes, CRC-32).
    static ResourceBundle FromFile(const std::filesystem::path& file);

    // The bundle of the running program (/proc/self/exe).
    static ResourceBundle FromRunningProgram();

    // The bundle at the end of an in-memory file image.
    static ResourceBundle FromFileBytes(std::span<const std::uint8_t> file_bytes);

    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }

    // The resource's bytes, or nullopt when the bundle has no such id. An
    // entry of zero bytes is found and empty.
    std::optional<std::span<const std::uint8_t>> Find(ResourceId id) const;

    const ResourceMap& entries() const { return entries_; }

private:
    ResourceMap entries_;
};

// The bundle bytes for the given entries, ready to be appended to a file.
std::vector<std::uint8_t> BuildResourceBundle(const ResourceMap& entries);

// The number of bytes at the end of file_bytes that form a valid bundle, or 0.
std::size_t TrailingBundleSize(std::span<const std::uint8_t> file_bytes);

// Writes `output` as a copy of `program` (without any bundle it already
// carries) followed by a bundle of `entries`. The output is executable and is
// replaced atomically; `program` may be the same path as `output`.
Status WriteProgramWithResources(const std::filesystem::path& program,
                                 const std::filesystem::path& output, const ResourceMap& entries);

}  // namespace txisp::platform
