#include "engine/counters.h"

#include <gtest/gtest.h>

#include "platform/ini_profile.h"
#include "support/temp_dir.h"

namespace txisp::engine {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

TEST(CounterFileNameTest, CutsFourCharactersAndAppendsIni) {
    const struct {
        const char* program;
        const char* counters;
    } kCases[] = {
        {"Updater.exe", "Updater.ini"},
        {"Updater.EXE", "Updater.ini"},
        {"txisp-gui", "txisp.ini"},  // whatever the four are
        {"ab.exe", "ab.ini"},
        {"Pr\xC3\xBC"
         "fer.exe",
         "Pr\xC3\xBC"
         "fer.ini"},
        {"tool-\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F", "tool-.ini"},  // four characters, eight bytes
        // Names the cut would empty or eat through: kept whole.
        {"tool", "tool.ini"},
        {"abc", "abc.ini"},
        // A cut that gives the program's own name back never overwrites it.
        {"x.ini", "x.ini.ini"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.program);
        EXPECT_EQ(CounterFileName(c.program), c.counters);
    }
}

class CounterPathTest : public ::testing::Test {
protected:
    CounterPathTest() {
        fs::create_directory(bin_);
        folders_.Writable = [this](const fs::path& folder) {
            asked_ = folder;
            return bin_writable_;
        };
        folders_.StateFolder = [this]() -> Result<fs::path> {
            if (!state_available_) return Result<fs::path>::Fail("state folder: no HOME");
            fs::create_directories(state_);
            return state_;
        };
    }

    TempDir dir_;
    fs::path bin_ = dir_ / "bin";
    fs::path state_ = dir_ / "state" / "txisp";
    bool bin_writable_ = true;
    bool state_available_ = true;
    fs::path asked_;
    CounterFolders folders_;
};

TEST_F(CounterPathTest, ChoosesThePlaceThatCanBeWritten) {
    const struct {
        const char* name;
        bool bin_writable;
        bool state_available;
        bool in_state;
    } kCases[] = {
        {"program folder writable", true, true, false},
        {"program folder read-only", false, true, true},
        // Nowhere to write: still the file beside the program, whose counts
        // are shown and whose failed writes are reported.
        {"no state folder either", false, false, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        bin_writable_ = c.bin_writable;
        state_available_ = c.state_available;
        const fs::path path = CounterIniPath(bin_ / "Updater.EXE", folders_);
        EXPECT_EQ(asked_, bin_);
        EXPECT_EQ(path, (c.in_state ? state_ : bin_) / "Updater.ini");
    }
}

TEST_F(CounterPathTest, CountsOfAReadOnlyProgramFolderLiveOnInTheStateFolder) {
    bin_writable_ = false;
    const fs::path program = bin_ / "txisp-gui";
    const CounterUpdate update = UpdateCounters(CounterIniPath(program, folders_), true);
    EXPECT_TRUE(update.Written);
    EXPECT_FALSE(fs::exists(bin_ / "txisp.ini"));

    // The next start reads the same file.
    const CounterTexts shown = LoadCounters(CounterIniPath(program, folders_));
    EXPECT_EQ(shown.Success, "1");
    EXPECT_EQ(shown.Fail, "0");
    EXPECT_EQ(platform::ReadProfileString(state_ / "txisp.ini", kCounterSection, kSuccessKey, ""),
              "1");
}

TEST(IsWritableFolderTest, NeedsAnExistingFolder) {
    TempDir dir;
    EXPECT_TRUE(IsWritableFolder(dir.path()));
    EXPECT_FALSE(IsWritableFolder(dir / "missing"));
}

class CountersTest : public ::testing::Test {
protected:
    std::string Stored(std::string_view key) const {
        return platform::ReadProfileString(ini_, kCounterSection, key, "<none>");
    }

    TempDir dir_;
    fs::path ini_ = dir_ / "Updater.ini";
};

TEST_F(CountersTest, StartsAtZeroAndWritesBothKeys) {
    const CounterTexts shown = LoadCounters(ini_);
    EXPECT_EQ(shown.Success, "0");
    EXPECT_EQ(shown.Fail, "0");

    const CounterUpdate update = UpdateCounters(ini_, true);
    EXPECT_TRUE(update.Written);
    EXPECT_EQ(update.Texts.Success, "1");
    EXPECT_EQ(update.Texts.Fail, "0");
    EXPECT_EQ(Stored(kSuccessKey), "1");
    EXPECT_EQ(Stored(kFailKey), "0");
}

TEST_F(CountersTest, EachRunRaisesExactlyOneCount) {
    const struct {
        bool success;
        const char* shown_success;
        const char* shown_fail;
    } kRuns[] = {
        {false, "0", "1"},
        {true, "1", "1"},
        {false, "1", "2"},
        {false, "1", "3"},
    };
    for (const auto& run : kRuns) {
        SCOPED_TRACE(::testing::Message() << run.shown_success << "/" << run.shown_fail);
        const CounterUpdate update = UpdateCounters(ini_, run.success);
        EXPECT_EQ(update.Texts.Success, run.shown_success);
        EXPECT_EQ(update.Texts.Fail, run.shown_fail);
        const CounterTexts reloaded = LoadCounters(ini_);
        EXPECT_EQ(reloaded.Success, run.shown_success);
        EXPECT_EQ(reloaded.Fail, run.shown_fail);
    }
}

TEST_F(CountersTest, TextThatIsNoNumberIsShownThenCountedFromItsLeadingDigits) {
    testing::WriteBytes(
        ini_, testing::Utf16LeWithBom("[CountInfo]\r\nSuccess=many\r\nFail=7 so far\r\n"));
    const CounterTexts shown = LoadCounters(ini_);
    EXPECT_EQ(shown.Success, "many");
    EXPECT_EQ(shown.Fail, "7 so far");

    const CounterUpdate update = UpdateCounters(ini_, false);
    EXPECT_EQ(update.Texts.Success, "0");
    EXPECT_EQ(update.Texts.Fail, "8");
    EXPECT_EQ(Stored(kSuccessKey), "0");
    EXPECT_EQ(Stored(kFailKey), "8");
}

TEST_F(CountersTest, TopOfTheRangeWrapsInsteadOfOverflowing) {
    testing::WriteText(ini_, "[CountInfo]\r\nSuccess=2147483647\r\nFail=0\r\n");
    EXPECT_EQ(UpdateCounters(ini_, true).Texts.Success, "-2147483648");
}

TEST_F(CountersTest, CountsAreShownEvenWhenTheyCannotBeWritten) {
    const fs::path nowhere = dir_ / "missing-folder" / "Updater.ini";
    const CounterUpdate update = UpdateCounters(nowhere, true);
    EXPECT_FALSE(update.Written);
    EXPECT_EQ(update.Texts.Success, "1");
    EXPECT_EQ(update.Texts.Fail, "0");
    EXPECT_EQ(LoadCounters(nowhere).Success, "0");
}

}  // namespace
}  // namespace txisp::engine
