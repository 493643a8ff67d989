#include "app/settings_archive.h"

#include "app/unzipper.h"
#include "platform/files.h"

namespace txisp::app {

namespace fs = std::filesystem;

fs::path SettingsArchiveCopyPath(const fs::path& temp_folder) {
    return temp_folder / "SettingFiles.zip";
}

fs::path SettingsUnpackFolder(const fs::path& temp_folder) {
    return temp_folder / "SettingFiles";
}

fs::path SettingsFolderPath(const fs::path& temp_folder) {
    return SettingsUnpackFolder(temp_folder) / "Settings";
}

std::optional<UiSettings> UnpackSettingsArchive(const platform::ResourceBundle& resources,
                                                const fs::path& temp_folder) {
    const auto archive = resources.Find(kSettingsArchiveResource);
    if (!archive) return std::nullopt;

    const fs::path copy = SettingsArchiveCopyPath(temp_folder);
    if (!platform::WriteFileAtomically(copy, *archive, 0600)) return std::nullopt;

    CUnzipper unzipper(copy);
    DeleteFolderTree(SettingsUnpackFolder(temp_folder), true);
    const bool unpacked = unzipper.ExtractAll(SettingsUnpackFolder(temp_folder), false);
    unzipper.Close();
    if (!unpacked) return std::nullopt;
    return LoadUiSettings(SettingsFolderPath(temp_folder));
}

bool DeleteFolderTree(const fs::path& path, bool permanently) {
    return permanently && platform::DeleteTree(path);
}

}  // namespace txisp::app
