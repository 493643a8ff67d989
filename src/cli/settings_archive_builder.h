#pragma once

// The settings archive a prepared tool carries (resource 4011): the
// product's settings folder zipped the way products ship it, entry names
// with '\' ("Settings\Image\start.bmp"), or an existing .zip taken as it is.
// Either way it must hold Settings\UISettings.ini, where the window looks
// after unpacking it; an archive without it would leave the window on its
// defaults with no word said.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/result.h"

namespace txisp::cli {

// A folder holding Settings/UISettings.ini is zipped with its contents; a
// folder holding UISettings.ini itself is zipped as "Settings\...". A file
// is read as a zip archive. Entries carry their file's modification time,
// or `entry_time` when given, so that a packaging pipeline can make the same
// archive from a fresh checkout.
Result<std::vector<std::uint8_t>> SettingsArchiveBytes(
    const std::filesystem::path& settings, std::optional<std::time_t> entry_time = std::nullopt);

}  // namespace txisp::cli
