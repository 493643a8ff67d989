#include "platform/user_folders.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <vector>

#include "platform/files.h"

namespace txisp::platform {
namespace {

constexpr mode_t kPrivateMode = 0700;
constexpr const char* kFolderName = "txisp";

std::optional<std::string> EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

// A usable base path: set, non-empty and absolute. A relative value would
// make the folder depend on the current directory of whoever runs the tool.
std::optional<std::filesystem::path> AbsolutePath(const std::optional<std::string>& value) {
    if (!value || value->empty() || value->front() != '/') return std::nullopt;
    return std::filesystem::path(*value);
}

bool IsExistingFolder(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsLink(const std::filesystem::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// Checks and fixes an existing folder through one descriptor opened without
// following a link, so the folder checked is the folder whose mode changes
// even if someone swaps the name in between.
Status CheckPrivateFolder(const std::filesystem::path& folder) {
    UniqueFd handle(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (handle.get() < 0) {
        const int error = errno;
        // With O_DIRECTORY a link fails as ENOTDIR, not ELOOP; lstat only
        // picks the message, the refusal is already decided.
        if (error == ELOOP || IsLink(folder)) {
            return Status::Fail("'" + folder.string() + "' is a symbolic link");
        }
        if (error == ENOTDIR) return Status::Fail("'" + folder.string() + "' is not a folder");
        return Status::Fail("cannot open '" + folder.string() + "': " + ErrnoText(error));
    }
    struct stat info {};
    if (::fstat(handle.get(), &info) != 0) {
        const int error = errno;
        return Status::Fail("cannot inspect '" + folder.string() + "': " + ErrnoText(error));
    }
    if (info.st_uid != ::geteuid()) {
        return Status::Fail("'" + folder.string() + "' belongs to user id " +
                            std::to_string(info.st_uid) + ", not to " +
                            std::to_string(::geteuid()));
    }
    // Exactly 0700: group and other lose any access, and the owner gets the
    // full access the program needs to unpack into it.
    if ((info.st_mode & 07777) != kPrivateMode && ::fchmod(handle.get(), kPrivateMode) != 0) {
        const int error = errno;
        return Status::Fail("cannot make '" + folder.string() + "' private: " + ErrnoText(error));
    }
    return Status::Ok();
}

// mkdir never follows a link at the last component, so a planted link makes
// it fail with EEXIST instead of creating a folder wherever the link points.
Result<std::filesystem::path> MakePrivateFolder(const std::filesystem::path& folder) {
    if (::mkdir(folder.c_str(), kPrivateMode) != 0 && errno != EEXIST) {
        const int error = errno;
        return Result<std::filesystem::path>::Fail("cannot create '" + folder.string() +
                                                   "': " + ErrnoText(error));
    }
    Status checked = CheckPrivateFolder(folder);
    if (!checked) return checked;
    return folder;
}

// The parents of a state folder are ordinary folders in the user's home, so
// they may be links; only those this call creates are made private.
Status MakeParentFolders(const std::filesystem::path& folder) {
    std::filesystem::path prefix;
    for (const auto& part : folder.parent_path()) {
        prefix /= part;
        if (::mkdir(prefix.c_str(), kPrivateMode) == 0 || errno == EEXIST) continue;
        const int error = errno;
        return Status::Fail("cannot create '" + prefix.string() + "': " + ErrnoText(error));
    }
    return Status::Ok();
}

std::filesystem::path TempFolderPath(const UserFolderEnv& env) {
    auto runtime = AbsolutePath(env.XdgRuntimeDir);
    if (runtime && IsExistingFolder(*runtime)) return *runtime / kFolderName;
    const auto base = AbsolutePath(env.TmpDir).value_or("/tmp");
    return base / (std::string(kFolderName) + "-" + std::to_string(::geteuid()));
}

std::optional<std::string> HomeFromPasswordDatabase() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
        return std::nullopt;
    }
    return std::string(found->pw_dir);
}

}  // namespace

UserFolderEnv UserFolderEnv::FromProcess() {
    UserFolderEnv env;
    env.XdgRuntimeDir = EnvironmentValue("XDG_RUNTIME_DIR");
    env.TmpDir = EnvironmentValue("TMPDIR");
    env.XdgStateHome = EnvironmentValue("XDG_STATE_HOME");
    // Services and sudo may run without HOME; the account still has one.
    env.Home = EnvironmentValue("HOME");
    if (!env.Home || env.Home->empty()) env.Home = HomeFromPasswordDatabase();
    return env;
}

Result<std::filesystem::path> UserTempFolder(const UserFolderEnv& env) {
    return MakePrivateFolder(TempFolderPath(env)).Context("temporary folder");
}

Result<std::filesystem::path> UserTempFolder() {
    return UserTempFolder(UserFolderEnv::FromProcess());
}

Result<std::filesystem::path> UserStateFolder(const UserFolderEnv& env) {
    std::filesystem::path folder;
    if (auto state_home = AbsolutePath(env.XdgStateHome)) {
        folder = *state_home / kFolderName;
    } else if (auto home = AbsolutePath(env.Home)) {
        folder = *home / ".local" / "state" / kFolderName;
    } else {
        return Result<std::filesystem::path>::Fail(
            "state folder: neither XDG_STATE_HOME nor HOME is an absolute path");
    }
    if (Status parents = MakeParentFolders(folder); !parents) {
        return parents.Context("state folder");
    }
    return MakePrivateFolder(folder).Context("state folder");
}

Result<std::filesystem::path> UserStateFolder() {
    return UserStateFolder(UserFolderEnv::FromProcess());
}

}  // namespace txisp::platform
