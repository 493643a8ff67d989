#include "app/unzipper.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unzip.h>

#include <array>
#include <cerrno>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"

namespace txisp::app {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxNameUnits = 260;  // the name buffer holds 261 characters
constexpr std::size_t kMaxCommentBytes = 255;
constexpr std::size_t kReadPiece = 2048;
constexpr unsigned kHostUnix = 3;
constexpr unsigned kHostDarwin = 19;

unzFile Handle(void* archive) {
    return static_cast<unzFile>(archive);
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

// Names are stored as bytes in a code page the archive does not record; UTF-8
// is taken as it is, anything else as Latin-1.
std::string NameToUtf8(std::string_view raw) {
    if (IsValidUtf8(raw)) return std::string(raw);
    std::string out;
    for (char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

// The entry's path below the target folder, one element per folder level, or
// nullopt when the name would reach outside the target folder.
std::optional<std::vector<std::string>> ContainedComponents(std::string_view name) {
    if (name.empty() || name.front() == '\\') return std::nullopt;  // absolute or UNC
    const bool drive = name.size() >= 2 && name[1] == ':' &&
                       ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
    if (drive) return std::nullopt;

    std::vector<std::string> components;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('\\', start);
        if (end == std::string_view::npos) end = name.size();
        std::string_view part = name.substr(start, end - start);
        if (part == "..") return std::nullopt;
        if (!part.empty() && part != ".") components.emplace_back(part);
        start = end + 1;
    }
    if (components.empty()) return std::nullopt;
    return components;
}

// True when no folder on the way from `folder` to the entry's file is a
// symbolic link (which could point anywhere).
bool NoLinkOnTheWay(const fs::path& folder, const std::vector<std::string>& components) {
    fs::path walk = folder;
    for (std::size_t i = 0; i + 1 < components.size(); ++i) {
        walk /= components[i];
        struct stat st {};
        if (::lstat(walk.c_str(), &st) != 0) return true;  // the rest is created afresh
        if (S_ISLNK(st.st_mode)) return false;
    }
    return true;
}

bool IsLinkEntry(const ArchiveEntryInfo& info) {
    const unsigned host = info.VersionMadeBy >> 8;
    const unsigned mode = info.ExternalAttributes >> 16;
    return (host == kHostUnix || host == kHostDarwin) && (mode & S_IFMT) == S_IFLNK;
}

int CreateReplacing(const fs::path& file) {
    constexpr int kFlags = O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::open(file.c_str(), kFlags, 0666);
    if (fd < 0 && errno == ELOOP) {
        // A link in the file's place is replaced, not written through.
        ::unlink(file.c_str());
        fd = ::open(file.c_str(), kFlags | O_EXCL, 0666);
    }
    return fd;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

CUnzipper::CUnzipper(const fs::path& archive) {
    archive_ = unzOpen64(archive.c_str());
    if (archive_ != nullptr) default_folder_ = fs::path(archive).replace_extension();
}

CUnzipper::~CUnzipper() {
    Close();
}

bool CUnzipper::Close() {
    if (archive_ == nullptr) return false;
    unzCloseCurrentFile(Handle(archive_));
    const bool closed = unzClose(Handle(archive_)) == UNZ_OK;
    archive_ = nullptr;
    return closed;
}

std::uint64_t CUnzipper::EntryCount() {
    if (archive_ == nullptr) return 0;
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(Handle(archive_), &global) != UNZ_OK) return 0;
    return global.number_entry;
}

bool CUnzipper::GetEntryInfo(ArchiveEntryInfo& info) {
    if (archive_ == nullptr) return false;
    unz_file_info64 raw{};
    if (unzGetCurrentFileInfo64(Handle(archive_), &raw, nullptr, 0, nullptr, 0, nullptr, 0) !=
        UNZ_OK) {
        return false;
    }
    std::string name(raw.size_filename, '\0');
    std::string comment(std::min<std::size_t>(raw.size_file_comment, kMaxCommentBytes), '\0');
    if (unzGetCurrentFileInfo64(Handle(archive_), &raw, name.data(), name.size(), nullptr, 0,
                                comment.data(), comment.size()) != UNZ_OK) {
        return false;
    }
    // A name cut to fit the system's buffer could name another file than the
    // archive meant; such an entry is unreadable instead.
    info.Name = NameToUtf8(name);
    if (platform::Utf8ToUtf16(info.Name).size() > kMaxNameUnits ||
        info.Name.find('\0') != std::string::npos) {
        return false;
    }
    for (char& c : info.Name) {
        if (c == '/') c = '\\';
    }
    info.Comment = NameToUtf8(comment);
    info.VersionMadeBy = static_cast<std::uint32_t>(raw.version);
    info.VersionNeeded = static_cast<std::uint32_t>(raw.version_needed);
    info.Flags = static_cast<std::uint32_t>(raw.flag);
    info.CompressionMethod = static_cast<std::uint32_t>(raw.compression_method);
    info.DosDateTime = static_cast<std::uint32_t>(raw.dosDate);
    info.Crc32 = static_cast<std::uint32_t>(raw.crc);
    info.CompressedSize = raw.compressed_size;
    info.UncompressedSize = raw.uncompressed_size;
    info.InternalAttributes = static_cast<std::uint32_t>(raw.internal_fa);
    info.ExternalAttributes = static_cast<std::uint32_t>(raw.external_fa);
    info.Folder = !info.Name.empty() && info.Name.back() == '\\';
    return true;
}

bool CUnzipper::GoToFirstEntry() {
    return archive_ != nullptr && unzGoToFirstFile(Handle(archive_)) == UNZ_OK;
}

bool CUnzipper::GoToNextEntry() {
    return archive_ != nullptr && unzGoToNextFile(Handle(archive_)) == UNZ_OK;
}

bool CUnzipper::ExtractCurrentEntry(const std::optional<fs::path>& folder, bool ignore_paths) {
    if (archive_ == nullptr) return false;
    const fs::path target = folder.value_or(default_folder_);
    if (!MakeFolderPath(target)) return false;

    ArchiveEntryInfo info;
    if (!GetEntryInfo(info)) return false;
    if (info.Folder) return true;  // folders are made when a file inside them is written
    if (IsLinkEntry(info)) return true;

    auto components = ContainedComponents(info.Name);
    if (!components) return false;
    if (ignore_paths) components->erase(components->begin(), components->end() - 1);
    if (!NoLinkOnTheWay(target, *components)) return false;

    fs::path file = target;
    for (const std::string& part : *components)
        file /= part;
    if (!MakeFolderPath(file.parent_path())) return false;
    if (!WriteCurrentEntry(file)) return false;

    StampFileTime(file, info.DosDateTime);
    return true;
}

bool CUnzipper::WriteCurrentEntry(const fs::path& file) {
    const int fd = CreateReplacing(file);
    if (fd < 0) return false;
    if (unzOpenCurrentFile(Handle(archive_)) != UNZ_OK) {
        ::close(fd);
        return false;
    }

    std::array<char, kReadPiece> piece{};
    bool complete = false;
    for (;;) {
        const int read = unzReadCurrentFile(Handle(archive_), piece.data(), piece.size());
        if (read == 0) {
            complete = true;
            break;
        }
        if (read < 0) break;
        unpacked_bytes_ += static_cast<std::uint64_t>(read);
        if (unpacked_bytes_ > kMaxUnpackedBytes) break;
        if (!WriteAll(fd, piece.data(), static_cast<std::size_t>(read))) break;
    }
    const bool closed = ::close(fd) == 0;
    // A CRC mismatch is reported when the entry is closed after its last byte.
    const bool checked = unzCloseCurrentFile(Handle(archive_)) == UNZ_OK;
    return complete && closed && checked;
}

bool CUnzipper::ExtractAll(const fs::path& folder, bool ignore_paths) {
    if (archive_ == nullptr || folder.empty() || !MakeFolderPath(folder)) return false;
    if (EntryCount() == 0 || !GoToFirstEntry()) return false;
    do {
        if (!ExtractCurrentEntry(folder, ignore_paths)) return false;
    } while (GoToNextEntry());
    return true;
}

bool CUnzipper::MakeFolderPath(const fs::path& path) {
    return platform::MakeFolderPath(path);
}

bool CUnzipper::StampFileTime(const fs::path& file, std::uint32_t dos_date_time) {
    const auto time = platform::DosDateTimeToTime(dos_date_time);
    return time && platform::SetFileModificationTime(file, *time);
}

}  // namespace txisp::app
