#pragma once

// The settings archive a prepared tool carries (resource 4011): written to the
// user's temporary folder as SettingFiles.zip and unpacked into SettingFiles
// there at every start, so the texts and skin can be read from ordinary
// files; the window deletes SettingFiles again when it closes.

#include <filesystem>
#include <optional>

#include "app/ui_settings.h"
#include "firmware/resource_ids.h"
#include "platform/resources.h"

namespace txisp::app {

using firmware::kSettingsArchiveResource;

// temp_folder/SettingFiles.zip: rewritten at every start, never deleted.
std::filesystem::path SettingsArchiveCopyPath(const std::filesystem::path& temp_folder);
// temp_folder/SettingFiles: deleted and unpacked afresh at every start.
std::filesystem::path SettingsUnpackFolder(const std::filesystem::path& temp_folder);
// temp_folder/SettingFiles/Settings, where UISettings.ini lives.
std::filesystem::path SettingsFolderPath(const std::filesystem::path& temp_folder);

// Writes the archive resource to its copy, removes what an earlier start left
// in SettingFiles, unpacks the copy there and, when every entry was unpacked,
// reads the UI settings. nullopt when the resource is absent, the copy cannot
// be written or opened as an archive, or an entry fails; nothing of this is
// reported to the operator.
std::optional<UiSettings> UnpackSettingsArchive(const platform::ResourceBundle& resources,
                                                const std::filesystem::path& temp_folder);

// Deletes the folder or file at `path` with everything below it. Only
// permanent deletion exists here: with permanently false nothing is touched
// and the result is false. True when nothing is left at `path`.
bool DeleteFolderTree(const std::filesystem::path& path, bool permanently);

}  // namespace txisp::app
