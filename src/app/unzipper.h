#pragma once

// CUnzipper: a small wrapper over minizip's unzip interface that unpacks the
// settings archive a prepared tool carries.
//
// Entry names in the archives products ship use '\' as separator; names with
// '/' are read the same way. An entry whose name would land outside the
// target folder (absolute, with a drive prefix, or with a ".." component), or
// whose path inside the target passes through a symbolic link, is refused:
// it fails as an unreadable entry would and ends ExtractAll. Symbolic-link
// entries are skipped without creating anything.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace txisp::app {

struct ArchiveEntryInfo {
    std::string Name;  // UTF-8, every '/' replaced by '\'
    std::string Comment;
    std::uint32_t VersionMadeBy = 0;
    std::uint32_t VersionNeeded = 0;
    std::uint32_t Flags = 0;
    std::uint32_t CompressionMethod = 0;
    std::uint32_t DosDateTime = 0;  // date in the high 16 bits, time in the low 16 bits
    std::uint32_t Crc32 = 0;
    std::uint64_t CompressedSize = 0;
    std::uint64_t UncompressedSize = 0;
    std::uint32_t InternalAttributes = 0;
    std::uint32_t ExternalAttributes = 0;
    bool Folder = false;  // the name ends with '\'
};

class CUnzipper {
public:
    // Opens the archive; see IsOpen. The default folder is the archive's path
    // without its extension.
    explicit CUnzipper(const std::filesystem::path& archive);
    ~CUnzipper();
    CUnzipper(const CUnzipper&) = delete;
    CUnzipper& operator=(const CUnzipper&) = delete;

    bool IsOpen() const { return archive_ != nullptr; }
    const std::filesystem::path& DefaultFolder() const { return default_folder_; }

    // Closes the current entry and the archive; true when the archive closed
    // cleanly.
    bool Close();

    // Number of entries; 0 when no archive is open or it cannot be read.
    std::uint64_t EntryCount();

    // False when no archive is open or the current entry cannot be read.
    bool GetEntryInfo(ArchiveEntryInfo& info);

    bool GoToFirstEntry();
    // False after the last entry.
    bool GoToNextEntry();

    // Writes the current entry below `folder` (the default folder when none),
    // keeping its path inside the archive unless ignore_paths is set. True
    // when the entry was written completely, or is a folder or link entry
    // that needs nothing written.
    bool ExtractCurrentEntry(const std::optional<std::filesystem::path>& folder, bool ignore_paths);

    // Every entry in turn; false at the first entry that fails (the entries
    // written before it stay on disk).
    bool ExtractAll(const std::filesystem::path& folder, bool ignore_paths);

    // True when `path` exists as a folder afterwards (see platform).
    static bool MakeFolderPath(const std::filesystem::path& path);

    // Sets the file's modification time from a DOS date and time, read as
    // local time. False, with the file's times unchanged, when the file cannot
    // be changed or the value is not a valid date (a zero date among them).
    static bool StampFileTime(const std::filesystem::path& file, std::uint32_t dos_date_time);

    // Unpacking stops at this many bytes in all, so a crafted archive cannot
    // fill the disk; real settings archives are well under a megabyte.
    static constexpr std::uint64_t kMaxUnpackedBytes = 256ull << 20;

private:
    bool WriteCurrentEntry(const std::filesystem::path& file);

    void* archive_ = nullptr;
    std::filesystem::path default_folder_;
    std::uint64_t unpacked_bytes_ = 0;
};

}  // namespace txisp::app
