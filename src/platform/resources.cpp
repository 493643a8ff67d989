#include "platform/resources.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <string>
#include <system_error>
#include <utility>

#include "platform/files.h"

// Layout and the reasons behind each check: docs/resource-bundle.md.

namespace txisp::platform {
namespace {

constexpr std::array<std::uint8_t, 8> kMagic = {'T', 'X', 'I', 'S', 'P', 'R', 'E', 'S'};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kTrailerSize = 32;
constexpr std::size_t kIndexEntrySize = 12;
// Firmware images and settings archives are a few MiB; a larger bundle means a
// corrupt trailer, and the cap bounds what a reader allocates on its word.
constexpr std::uint64_t kMaxBundleSize = 64 * 1024 * 1024;
constexpr std::size_t kCopyChunkSize = 64 * 1024;
constexpr unsigned kProgramMode = 0755;

struct Trailer {
    std::uint32_t entry_count = 0;
    std::uint64_t bundle_size = 0;
    std::uint32_t index_offset = 0;
    std::uint32_t crc = 0;
};

struct IndexEntry {
    ResourceId id = 0;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

std::uint64_t LoadLittleEndian(const std::uint8_t* bytes, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = count; i > 0; --i)
        value = (value << 8) | bytes[i - 1];
    return value;
}

std::uint16_t LoadU16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(LoadLittleEndian(bytes, 2));
}
std::uint32_t LoadU32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(LoadLittleEndian(bytes, 4));
}
std::uint64_t LoadU64(const std::uint8_t* bytes) {
    return LoadLittleEndian(bytes, 8);
}

void AppendLittleEndian(std::vector<std::uint8_t>& out, std::uint64_t value, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
    // Bundles are capped far below 4 GiB, so one call covers them.
    return static_cast<std::uint32_t>(
        crc32(crc32(0L, Z_NULL, 0), bytes.data(), static_cast<uInt>(bytes.size())));
}

// The trailer when its own fields are consistent with each other and with a
// file of file_size bytes; the index and CRC are checked later, once the whole
// bundle is at hand.
std::optional<Trailer> ParseTrailer(std::span<const std::uint8_t, kTrailerSize> bytes,
                                    std::uint64_t file_size) {
    if (!std::equal(kMagic.begin(), kMagic.end(), bytes.begin())) return std::nullopt;
    if (LoadU32(&bytes[8]) != kVersion) return std::nullopt;
    Trailer trailer;
    trailer.entry_count = LoadU32(&bytes[12]);
    trailer.bundle_size = LoadU64(&bytes[16]);
    trailer.index_offset = LoadU32(&bytes[24]);
    trailer.crc = LoadU32(&bytes[28]);

    if (trailer.bundle_size > kMaxBundleSize || trailer.bundle_size > file_size) {
        return std::nullopt;
    }
    // At most 2^32 entries of 12 bytes: no overflow in 64 bits.
    const std::uint64_t index_size = std::uint64_t{trailer.entry_count} * kIndexEntrySize;
    if (trailer.bundle_size < kTrailerSize + index_size) return std::nullopt;
    // The index sits right before the trailer, so its offset is implied; a
    // different value means the trailer was damaged.
    if (trailer.index_offset != trailer.bundle_size - kTrailerSize - index_size) {
        return std::nullopt;
    }
    return trailer;
}

IndexEntry LoadIndexEntry(const std::uint8_t* bytes) {
    return {LoadU16(bytes), LoadU32(bytes + 4), LoadU32(bytes + 8)};
}

// The index of `bundle` (exactly one bundle, trailer last) when every check
// passes. Ids must rise strictly, which refuses duplicates, and entries must
// follow each other without overlapping inside the data area.
std::optional<std::vector<IndexEntry>> ValidatedIndex(std::span<const std::uint8_t> bundle) {
    if (bundle.size() < kTrailerSize) return std::nullopt;
    auto trailer = ParseTrailer(bundle.last<kTrailerSize>(), bundle.size());
    if (!trailer || trailer->bundle_size != bundle.size()) return std::nullopt;
    if (Crc32(bundle.first(bundle.size() - 4)) != trailer->crc) return std::nullopt;

    std::vector<IndexEntry> index;
    index.reserve(trailer->entry_count);
    std::uint64_t previous_end = 0;
    for (std::uint32_t i = 0; i < trailer->entry_count; ++i) {
        const std::uint8_t* raw = &bundle[trailer->index_offset + i * kIndexEntrySize];
        const IndexEntry entry = LoadIndexEntry(raw);
        const bool reserved_clear = LoadU16(raw + 2) == 0;
        const bool id_rises = index.empty() || entry.id > index.back().id;
        const std::uint64_t end = std::uint64_t{entry.offset} + entry.size;
        if (!reserved_clear || !id_rises || entry.offset < previous_end ||
            end > trailer->index_offset) {
            return std::nullopt;
        }
        previous_end = end;
        index.push_back(entry);
    }
    return index;
}

// The bytes at the end of file_bytes that its trailer claims as a bundle;
// nothing beyond the trailer has been checked yet.
std::optional<std::span<const std::uint8_t>> ClaimedBundle(
    std::span<const std::uint8_t> file_bytes) {
    if (file_bytes.size() < kTrailerSize) return std::nullopt;
    auto trailer = ParseTrailer(file_bytes.last<kTrailerSize>(), file_bytes.size());
    if (!trailer) return std::nullopt;
    return file_bytes.last(static_cast<std::size_t>(trailer->bundle_size));
}

// 0 or the errno value of the failure; a file that ends early counts as EIO.
int ReadAllAt(int fd, std::span<std::uint8_t> out, std::uint64_t position) {
    while (!out.empty()) {
        const ssize_t count = ::pread(fd, out.data(), out.size(), static_cast<off_t>(position));
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return errno;
        if (count == 0) return EIO;
        out = out.subspan(static_cast<std::size_t>(count));
        position += static_cast<std::uint64_t>(count);
    }
    return 0;
}

// The bundle a file of file_size bytes claims to end with, read without
// touching the rest of the file (a program can be far larger than its bundle).
std::optional<std::vector<std::uint8_t>> ReadClaimedBundle(int fd, std::uint64_t file_size) {
    if (file_size < kTrailerSize) return std::nullopt;
    std::array<std::uint8_t, kTrailerSize> trailer_bytes{};
    if (ReadAllAt(fd, trailer_bytes, file_size - kTrailerSize) != 0) return std::nullopt;
    auto trailer = ParseTrailer(trailer_bytes, file_size);
    if (!trailer) return std::nullopt;

    std::vector<std::uint8_t> bundle(static_cast<std::size_t>(trailer->bundle_size));
    if (ReadAllAt(fd, bundle, file_size - trailer->bundle_size) != 0) return std::nullopt;
    return bundle;
}

std::optional<std::uint64_t> RegularFileSize(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

Status CopyPrefix(int from, int to, std::uint64_t count) {
    std::vector<std::uint8_t> buffer(kCopyChunkSize);
    for (std::uint64_t position = 0; position < count;) {
        const auto chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), count - position));
        const std::span<std::uint8_t> part(buffer.data(), chunk);
        if (int error = ReadAllAt(from, part, position); error != 0) {
            return Status::Fail("cannot read: " + ErrnoText(error));
        }
        if (int error = WriteAll(to, part); error != 0) {
            return Status::Fail("cannot write: " + ErrnoText(error));
        }
        position += chunk;
    }
    return Status::Ok();
}

// The size of `program` without the bundle it already carries, if any.
Result<std::uint64_t> ProgramSizeWithoutBundle(int fd, const std::filesystem::path& program) {
    auto file_size = RegularFileSize(fd);
    if (!file_size) return Result<std::uint64_t>::Fail("'" + program.string() + "' is not a file");
    auto bundle = ReadClaimedBundle(fd, *file_size);
    if (!bundle) return *file_size;
    return *file_size - TrailingBundleSize(*bundle);
}

}  // namespace

ResourceBundle ResourceBundle::FromFile(const std::filesystem::path& file) {
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return {};
    auto file_size = RegularFileSize(fd.get());
    if (!file_size) return {};
    auto bundle = ReadClaimedBundle(fd.get(), *file_size);
    if (!bundle) return {};
    return FromFileBytes(*bundle);
}

ResourceBundle ResourceBundle::FromRunningProgram() {
    return FromFile("/proc/self/exe");
}

ResourceBundle ResourceBundle::FromFileBytes(std::span<const std::uint8_t> file_bytes) {
    auto bundle = ClaimedBundle(file_bytes);
    if (!bundle) return {};
    auto index = ValidatedIndex(*bundle);
    if (!index) return {};

    ResourceBundle result;
    for (const IndexEntry& entry : *index) {
        auto bytes = bundle->subspan(entry.offset, entry.size);
        result.entries_.emplace(entry.id, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    }
    return result;
}

std::optional<std::span<const std::uint8_t>> ResourceBundle::Find(ResourceId id) const {
    auto found = entries_.find(id);
    if (found == entries_.end()) return std::nullopt;
    return std::span<const std::uint8_t>(found->second);
}

std::vector<std::uint8_t> BuildResourceBundle(const ResourceMap& entries) {
    std::uint64_t total = kTrailerSize + entries.size() * kIndexEntrySize;
    for (const auto& [id, bytes] : entries)
        total += bytes.size();
    if (total > kMaxBundleSize) return {};

    std::vector<std::uint8_t> bundle;
    bundle.reserve(static_cast<std::size_t>(total));
    for (const auto& [id, bytes] : entries)
        bundle.insert(bundle.end(), bytes.begin(), bytes.end());

    const std::size_t index_offset = bundle.size();
    std::uint32_t offset = 0;
    for (const auto& [id, bytes] : entries) {
        AppendLittleEndian(bundle, id, 2);
        AppendLittleEndian(bundle, 0, 2);
        AppendLittleEndian(bundle, offset, 4);
        AppendLittleEndian(bundle, bytes.size(), 4);
        offset += static_cast<std::uint32_t>(bytes.size());
    }

    bundle.insert(bundle.end(), kMagic.begin(), kMagic.end());
    AppendLittleEndian(bundle, kVersion, 4);
    AppendLittleEndian(bundle, entries.size(), 4);
    AppendLittleEndian(bundle, total, 8);
    AppendLittleEndian(bundle, index_offset, 4);
    AppendLittleEndian(bundle, Crc32(bundle), 4);
    return bundle;
}

std::size_t TrailingBundleSize(std::span<const std::uint8_t> file_bytes) {
    auto bundle = ClaimedBundle(file_bytes);
    if (!bundle || !ValidatedIndex(*bundle)) return 0;
    return bundle->size();
}

Status WriteProgramWithResources(const std::filesystem::path& program,
                                 const std::filesystem::path& output, const ResourceMap& entries) {
    const std::vector<std::uint8_t> bundle = BuildResourceBundle(entries);
    if (bundle.empty()) {
        return Status::Fail("the resources do not fit in a bundle of at most " +
                            std::to_string(kMaxBundleSize / (1024 * 1024)) + " MiB");
    }

    // Reading from an open descriptor keeps the old program readable even when
    // the rename below replaces it (program == output).
    UniqueFd source(::open(program.c_str(), O_RDONLY | O_CLOEXEC));
    if (!source.valid()) {
        const int error = errno;
        return Status::Fail("cannot open '" + program.string() + "': " + ErrnoText(error));
    }
    auto keep = ProgramSizeWithoutBundle(source.get(), program);
    if (!keep) return keep.status();

    AtomicFileWriter temp;
    if (Status opened = temp.Open(output); !opened) return opened;
    if (Status copied = CopyPrefix(source.get(), temp.fd(), *keep); !copied) {
        return copied.Context("copy '" + program.string() + "'");
    }
    if (Status written = temp.Write(bundle); !written) return written;
    // Set outright so the umask of whoever prepares the tool does not decide
    // whether it runs.
    return temp.Commit(kProgramMode);
}

}  // namespace txisp::platform
