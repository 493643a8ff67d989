#pragma once

// The success and failure counts shown in the main window, kept across
// program starts in an INI file named after the program. The file is the only
// store: nothing is held in memory between a load and an update.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace txisp::engine {

inline constexpr std::string_view kCounterSection = "CountInfo";
inline constexpr std::string_view kSuccessKey = "Success";
inline constexpr std::string_view kFailKey = "Fail";

// Whether a file can be created and replaced in `folder` by this process.
bool IsWritableFolder(const std::filesystem::path& folder);

// Where the counter file may live. The defaults are the real system; tests
// replace them (a test running as root can write anywhere).
struct CounterFolders {
    std::function<bool(const std::filesystem::path& folder)> Writable = IsWritableFolder;
    // The user's own folder for state, for a program installed where the user
    // cannot write (platform::UserStateFolder).
    std::function<Result<std::filesystem::path>()> StateFolder = DefaultStateFolder;

private:
    static Result<std::filesystem::path> DefaultStateFolder();
};

// The counter file's name for a program: the program's file name with its
// last four characters cut and ".ini" appended ("Updater.exe" ->
// "Updater.ini", "txisp-gui" -> "txisp.ini"), whatever those four are. A name
// of four characters or fewer is kept whole with ".ini" appended, so the cut
// never reaches into the folder; a name the cut would turn into the program's
// own name ("x.ini") gets ".ini" appended too, so the program is never
// overwritten.
std::string CounterFileName(std::string_view program_file_name);

// The counter file beside the program when its folder is writable, else the
// file of the same name in the state folder. When the state folder cannot be
// made either, the file beside the program: its counts are still shown and
// UpdateCounters reports that they were not written.
std::filesystem::path CounterIniPath(const std::filesystem::path& program_path,
                                     const CounterFolders& folders = {});

struct CounterTexts {
    std::string Success;
    std::string Fail;
};

struct CounterUpdate {
    CounterTexts Texts;  // shown even when they could not be written
    bool Written = false;
};

// The two counts as they stand in the file, unconverted; "0" for a missing
// file or key.
CounterTexts LoadCounters(const std::filesystem::path& ini_path);

// Reads both counts as integers (0 when missing or not a number), adds one to
// the success or the failure count and writes both back, Success first, as
// clean decimal numbers.
CounterUpdate UpdateCounters(const std::filesystem::path& ini_path, bool success);

}  // namespace txisp::engine
