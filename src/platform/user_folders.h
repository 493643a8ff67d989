#pragma once

// The user's private folders.
//
// The temporary folder holds the fixed names SettingFiles.zip and
// SettingFiles. A fixed name in a shared /tmp would let another local user
// plant a link there, so the folder is the user's own: $XDG_RUNTIME_DIR/txisp
// when $XDG_RUNTIME_DIR is set, else ($TMPDIR or /tmp)/txisp-<uid>, created
// with mode 0700. An existing folder is used only when it is a real folder
// (not a link) owned by the user; its mode is then tightened to 0700.

#include <filesystem>
#include <optional>
#include <string>

#include "platform/result.h"

namespace txisp::platform {

struct UserFolderEnv {
    std::optional<std::string> XdgRuntimeDir;
    std::optional<std::string> TmpDir;
    std::optional<std::string> XdgStateHome;
    std::optional<std::string> Home;

    // The values of the running process's environment.
    static UserFolderEnv FromProcess();
};

Result<std::filesystem::path> UserTempFolder(const UserFolderEnv& env);
Result<std::filesystem::path> UserTempFolder();

// Where the program keeps state across runs when it cannot write beside
// itself: $XDG_STATE_HOME/txisp, default ~/.local/state/txisp, created with
// mode 0700.
Result<std::filesystem::path> UserStateFolder(const UserFolderEnv& env);
Result<std::filesystem::path> UserStateFolder();

}  // namespace txisp::platform
