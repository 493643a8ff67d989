#include "cli/settings_archive_builder.h"

#include <stdlib.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <optional>
#include <string>

#include "app/unzipper.h"
#include "platform/files.h"
#include "platform/text.h"

namespace txisp::cli {
namespace {

constexpr std::uintmax_t kMaxSettingsFileBytes = 64u << 20;
constexpr const char* kSettingsFolderName = "Settings";
constexpr const char* kUiSettingsName = "UISettings.ini";

struct ArchiveFile {
    std::string EntryName;  // with '\'
    std::filesystem::path Source;
};

std::string BackslashName(const std::filesystem::path& relative) {
    std::string name = relative.generic_string();
    std::ranges::replace(name, '/', '\\');
    return name;
}

// Which folder becomes the archive's root, and the prefix its entries get.
Result<std::pair<std::filesystem::path, std::string>> ArchiveRoot(
    const std::filesystem::path& folder) {
    if (const auto settings = platform::FindFileIgnoringCase(folder, kSettingsFolderName);
        settings && platform::FindFileIgnoringCase(*settings, kUiSettingsName)) {
        return std::pair{folder, std::string()};
    }
    if (platform::FindFileIgnoringCase(folder, kUiSettingsName)) {
        return std::pair{folder, std::string(kSettingsFolderName) + "\\"};
    }
    return Result<std::pair<std::filesystem::path, std::string>>::Fail(
        folder.string() + " holds neither Settings/UISettings.ini nor UISettings.ini");
}

// Regular files only, in name order so that the same folder always gives
// the same archive; links are not followed out of the folder.
Result<std::vector<ArchiveFile>> CollectFiles(const std::filesystem::path& root,
                                              const std::string& prefix) {
    std::vector<ArchiveFile> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec) || it->is_symlink(ec)) continue;
        files.push_back(
            {prefix + BackslashName(std::filesystem::relative(it->path(), root)), it->path()});
    }
    if (ec) {
        return Result<std::vector<ArchiveFile>>::Fail("cannot read " + root.string() + ": " +
                                                      ec.message());
    }
    std::ranges::sort(files, {}, &ArchiveFile::EntryName);
    return files;
}

std::optional<std::time_t> ModificationTime(const std::filesystem::path& source) {
    std::error_code ec;
    const auto written = std::filesystem::last_write_time(source, ec);
    if (ec) return std::nullopt;
    return std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(
            std::chrono::file_clock::to_sys(written)));
}

// Zip dates are local times without a zone; a fixed entry time is taken as
// UTC so that it gives the same bytes in every time zone.
zip_fileinfo EntryInfo(const std::filesystem::path& source, std::optional<std::time_t> entry_time) {
    zip_fileinfo info{};
    const std::optional<std::time_t> time = entry_time ? entry_time : ModificationTime(source);
    if (!time) return info;
    std::tm local{};
    if ((entry_time ? gmtime_r(&*time, &local) : localtime_r(&*time, &local)) == nullptr) {
        return info;
    }
    info.tmz_date = {static_cast<uInt>(local.tm_sec),  static_cast<uInt>(local.tm_min),
                     static_cast<uInt>(local.tm_hour), static_cast<uInt>(local.tm_mday),
                     static_cast<uInt>(local.tm_mon),  static_cast<uInt>(local.tm_year + 1900)};
    return info;
}

Status AddEntry(zipFile zip, const ArchiveFile& file, std::optional<std::time_t> entry_time) {
    Result<std::vector<std::uint8_t>> data =
        platform::ReadFileBytes(file.Source, kMaxSettingsFileBytes);
    if (!data) return data.status();
    const zip_fileinfo info = EntryInfo(file.Source, entry_time);
    if (zipOpenNewFileInZip(zip, file.EntryName.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                            Z_DEFLATED, Z_BEST_COMPRESSION) != ZIP_OK) {
        return Status::Fail("cannot add " + file.EntryName + " to the archive");
    }
    const bool written =
        data->empty() ||
        zipWriteInFileInZip(zip, data->data(), static_cast<unsigned>(data->size())) == ZIP_OK;
    const bool closed = zipCloseFileInZip(zip) == ZIP_OK;
    if (!written || !closed) return Status::Fail("cannot write " + file.EntryName);
    return Status::Ok();
}

// minizip writes through a file name, so the archive is built in a private
// temporary file and read back.
class TemporaryFile {
public:
    TemporaryFile() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "txisp-settings-XXXXXX").string();
        const int fd = mkstemp(pattern.data());
        if (fd < 0) return;
        ::close(fd);
        path_ = pattern;
    }
    ~TemporaryFile() {
        if (!path_) return;
        std::error_code ec;
        std::filesystem::remove(*path_, ec);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::optional<std::filesystem::path>& path() const { return path_; }

private:
    std::optional<std::filesystem::path> path_;
};

Result<std::vector<std::uint8_t>> ZipFolder(const std::filesystem::path& folder,
                                            std::optional<std::time_t> entry_time) {
    auto root = ArchiveRoot(folder);
    if (!root) return root.status();
    Result<std::vector<ArchiveFile>> files = CollectFiles(root->first, root->second);
    if (!files) return files.status();
    TemporaryFile temporary;
    if (!temporary.path()) {
        return Result<std::vector<std::uint8_t>>::Fail("cannot create a temporary file");
    }
    zipFile zip = zipOpen(temporary.path()->c_str(), APPEND_STATUS_CREATE);
    if (zip == nullptr) {
        return Result<std::vector<std::uint8_t>>::Fail("cannot create the settings archive");
    }
    Status added = Status::Ok();
    for (const ArchiveFile& file : *files) {
        added = AddEntry(zip, file, entry_time);
        if (!added) break;
    }
    const bool closed = zipClose(zip, nullptr) == ZIP_OK;
    if (!added) return added;
    if (!closed) return Result<std::vector<std::uint8_t>>::Fail("cannot finish the archive");
    return platform::ReadFileBytes(*temporary.path(), kMaxSettingsFileBytes);
}

bool NamesUiSettings(const std::string& entry_name) {
    return platform::EqualsIgnoreAsciiCase(
        entry_name, std::string(kSettingsFolderName) + "\\" + kUiSettingsName);
}

Status CheckArchive(const std::filesystem::path& archive) {
    app::CUnzipper unzipper(archive);
    if (!unzipper.IsOpen()) return Status::Fail(archive.string() + " is not a zip archive");
    for (bool more = unzipper.GoToFirstEntry(); more; more = unzipper.GoToNextEntry()) {
        app::ArchiveEntryInfo info;
        if (unzipper.GetEntryInfo(info) && NamesUiSettings(info.Name)) return Status::Ok();
    }
    return Status::Fail(archive.string() + " holds no Settings\\UISettings.ini");
}

}  // namespace

Result<std::vector<std::uint8_t>> SettingsArchiveBytes(const std::filesystem::path& settings,
                                                       std::optional<std::time_t> entry_time) {
    std::error_code ec;
    if (std::filesystem::is_directory(settings, ec)) return ZipFolder(settings, entry_time);
    if (!std::filesystem::exists(settings, ec)) {
        return Result<std::vector<std::uint8_t>>::Fail(settings.string() + " does not exist");
    }
    if (Status checked = CheckArchive(settings); !checked) return checked;
    return platform::ReadFileBytes(settings, kMaxSettingsFileBytes);
}

}  // namespace txisp::cli
