#include "platform/user_folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "support/temp_dir.h"

namespace txisp::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

const std::string kUid = std::to_string(::geteuid());

// The permission bits of `path` itself (a link is not followed), or -1.
int ModeOf(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

bool IsLink(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : previous_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(previous_); }

private:
    mode_t previous_;
};

class UserTempFolderTest : public ::testing::Test {
protected:
    UserTempFolderTest() {
        fs::create_directory(temp_ / "run");
        fs::create_directory(temp_ / "tmp");
        env_.TmpDir = (temp_ / "tmp").string();
    }

    fs::path TmpdirFolder() const { return temp_ / "tmp" / ("txisp-" + kUid); }

    TempDir temp_;
    UserFolderEnv env_;
};

TEST_F(UserTempFolderTest, ChoosesRuntimeFolderOnlyWhenItIsUsable) {
    struct Case {
        const char* name;
        std::optional<std::string> XdgRuntimeDir;  // a leading '@' stands for the TempDir
        bool runtime_chosen;
    };
    const Case cases[] = {
        {"existing runtime folder", "@/run", true},
        {"unset", std::nullopt, false},
        {"empty", "", false},
        {"relative", "run", false},
        {"missing folder", "@/gone", false},
        {"a file", "@/file", false},
    };
    testing::WriteText(temp_ / "file", "");
    for (const Case& c : cases) {
        env_.XdgRuntimeDir = c.XdgRuntimeDir;
        if (c.XdgRuntimeDir && c.XdgRuntimeDir->starts_with('@')) {
            env_.XdgRuntimeDir = temp_.path().string() + c.XdgRuntimeDir->substr(1);
        }
        const auto folder = UserTempFolder(env_);
        ASSERT_TRUE(folder.ok()) << c.name << ": " << folder.error();
        const fs::path expected = c.runtime_chosen ? temp_ / "run" / "txisp" : TmpdirFolder();
        EXPECT_EQ(*folder, expected) << c.name;
        EXPECT_EQ(ModeOf(expected), 0700) << c.name;
    }
}

TEST_F(UserTempFolderTest, DefaultsToSlashTmpWithTheUidInTheName) {
    // Uses the real /tmp and leaves the folder there, as the program would:
    // removing it could pull it from under a test running beside this one.
    const fs::path expected = fs::path("/tmp") / ("txisp-" + kUid);
    for (const std::optional<std::string>& tmpdir :
         {std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>("relative")}) {
        env_.TmpDir = tmpdir;
        const auto folder = UserTempFolder(env_);
        ASSERT_TRUE(folder.ok()) << folder.error();
        EXPECT_EQ(*folder, expected);
    }
}

TEST_F(UserTempFolderTest, CreatesPrivateFolderWhateverTheUmask) {
    ScopedUmask loose(0);
    const auto folder = UserTempFolder(env_);
    ASSERT_TRUE(folder.ok()) << folder.error();
    EXPECT_EQ(ModeOf(TmpdirFolder()), 0700);
}

TEST_F(UserTempFolderTest, ExistingFolderOfTheUserIsMadePrivateAndKept) {
    for (const int mode : {0700, 0755, 0777, 0750, 01777, 0500}) {
        fs::create_directory(TmpdirFolder());
        testing::WriteText(TmpdirFolder() / "kept", "x");
        ASSERT_EQ(::chmod(TmpdirFolder().c_str(), static_cast<mode_t>(mode)), 0);

        const auto folder = UserTempFolder(env_);
        ASSERT_TRUE(folder.ok()) << std::oct << mode << ": " << folder.error();
        EXPECT_EQ(ModeOf(TmpdirFolder()), 0700) << std::oct << mode;
        EXPECT_TRUE(fs::exists(TmpdirFolder() / "kept")) << std::oct << mode;
        fs::remove_all(TmpdirFolder());
    }
}

TEST_F(UserTempFolderTest, RefusesWhatIsPlantedAtTheName) {
    struct Case {
        const char* name;
        void (*plant)(const fs::path& at, const fs::path& target);
        const char* message;
    };
    const Case cases[] = {
        {"dangling link",
         [](const fs::path& at, const fs::path& target) {
             fs::create_directory_symlink(target, at);
         },
         "symbolic link"},
        {"link to a folder",
         [](const fs::path& at, const fs::path& target) {
             fs::create_directory(target);
             ::chmod(target.c_str(), 0755);
             fs::create_directory_symlink(target, at);
         },
         "symbolic link"},
        {"regular file",
         [](const fs::path& at, const fs::path&) { testing::WriteText(at, "planted"); },
         "not a folder"},
    };
    for (const Case& c : cases) {
        TempDir temp;
        env_.TmpDir = temp.path().string();
        const fs::path at = temp / ("txisp-" + kUid);
        const fs::path target = temp / "target";
        c.plant(at, target);
        const int target_mode = ModeOf(target);  // -1 when there is no target
        const bool planted_link = IsLink(at);

        const auto folder = UserTempFolder(env_);
        ASSERT_FALSE(folder.ok()) << c.name;
        EXPECT_NE(folder.error().find(at.string()), std::string::npos) << folder.error();
        EXPECT_NE(folder.error().find(c.message), std::string::npos) << folder.error();
        // Nothing happened through the planted name.
        EXPECT_EQ(ModeOf(target), target_mode) << c.name;
        EXPECT_EQ(IsLink(at), planted_link) << c.name;
    }
}

TEST_F(UserTempFolderTest, RefusesFolderOfAnotherUser) {
    fs::create_directory(TmpdirFolder());
    ::chmod(TmpdirFolder().c_str(), 0755);
    const uid_t other = ::geteuid() + 4242;
    if (::chown(TmpdirFolder().c_str(), other, static_cast<gid_t>(-1)) != 0) {
        GTEST_SKIP() << "cannot give a folder to another user here";
    }
    const auto folder = UserTempFolder(env_);
    ASSERT_FALSE(folder.ok());
    EXPECT_NE(folder.error().find("belongs to user id " + std::to_string(other)), std::string::npos)
        << folder.error();
    EXPECT_EQ(ModeOf(TmpdirFolder()), 0755);
}

TEST(UserStateFolder, ChoosesAndCreatesTheFolderWithPrivateNewParents) {
    struct Case {
        const char* name;
        std::optional<std::string> XdgStateHome;  // relative to the TempDir unless "relative"
        const char* expected;
        std::vector<const char*> created_parents;
    };
    const Case cases[] = {
        {"XDG_STATE_HOME", "/xdg/state", "xdg/state/txisp", {"xdg", "xdg/state"}},
        {"default", std::nullopt, "home/.local/state/txisp", {"home/.local", "home/.local/state"}},
        {"empty XDG_STATE_HOME",
         "",
         "home/.local/state/txisp",
         {"home/.local", "home/.local/state"}},
        {"relative XDG_STATE_HOME",
         "relative",
         "home/.local/state/txisp",
         {"home/.local", "home/.local/state"}},
    };
    for (const Case& c : cases) {
        TempDir temp;
        fs::create_directory(temp / "home");
        ::chmod((temp / "home").c_str(), 0755);
        UserFolderEnv env;
        env.Home = (temp / "home").string();
        env.XdgStateHome = c.XdgStateHome;
        if (c.XdgStateHome && c.XdgStateHome->starts_with('/')) {
            env.XdgStateHome = temp.path().string() + *c.XdgStateHome;
        }

        const auto folder = UserStateFolder(env);
        ASSERT_TRUE(folder.ok()) << c.name << ": " << folder.error();
        EXPECT_EQ(*folder, temp / c.expected) << c.name;
        EXPECT_EQ(ModeOf(temp / c.expected), 0700) << c.name;
        for (const char* parent : c.created_parents) {
            EXPECT_EQ(ModeOf(temp / parent), 0700) << c.name << ": " << parent;
        }
        EXPECT_EQ(ModeOf(temp / "home"), 0755) << c.name << ": an existing parent is left alone";
    }
}

TEST(UserStateFolder, FailsWithoutAnAbsoluteBaseOrOnAPlantedLink) {
    UserFolderEnv env;
    env.Home = "relative/home";
    auto folder = UserStateFolder(env);
    ASSERT_FALSE(folder.ok());
    EXPECT_NE(folder.error().find("HOME"), std::string::npos) << folder.error();

    TempDir temp;
    fs::create_directory(temp / "target");
    fs::create_directory_symlink(temp / "target", temp / "txisp");
    env.XdgStateHome = temp.path().string();
    folder = UserStateFolder(env);
    ASSERT_FALSE(folder.ok());
    EXPECT_NE(folder.error().find("symbolic link"), std::string::npos) << folder.error();
}

}  // namespace
}  // namespace txisp::platform
