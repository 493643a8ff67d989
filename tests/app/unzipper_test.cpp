#include "app/unzipper.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/temp_dir.h"
#include "support/zip_builder.h"

namespace txisp::app {
namespace {

namespace fs = std::filesystem;
using testing::ListFiles;
using testing::ReadText;
using testing::TempDir;
using testing::WriteZip;
using testing::ZipEntrySpec;

// DOS date 2021-03-14, time 15:09:26.
constexpr std::uint32_t kPiDay =
    ((2021u - 1980u) << 25) | (3u << 21) | (14u << 16) | (15u << 11) | (9u << 5) | (26u / 2u);

class UnzipperTest : public ::testing::Test {
protected:
    fs::path Zip(const std::vector<ZipEntrySpec>& entries) {
        const fs::path file = dir_ / "archive.zip";
        WriteZip(file, entries);
        return file;
    }
    fs::path Out() const { return dir_ / "out"; }

    TempDir dir_;
};

TEST_F(UnzipperTest, BothSeparatorStylesLandInTheSameFolders) {
    CUnzipper unzipper(Zip({{"Settings\\Image\\a.bmp", "A"},
                            {"Settings/Image/b.bmp", "B"},
                            {"Settings\\c.txt", "C"}}));
    ASSERT_TRUE(unzipper.IsOpen());
    EXPECT_EQ(unzipper.EntryCount(), 3u);

    ASSERT_TRUE(unzipper.ExtractAll(Out(), false));
    EXPECT_EQ(ListFiles(Out()),
              (std::vector<std::string>{"Settings/Image/a.bmp", "Settings/Image/b.bmp",
                                        "Settings/c.txt"}));
    EXPECT_EQ(ReadText(Out() / "Settings/Image/b.bmp"), "B");
}

TEST_F(UnzipperTest, EntryInfoReportsNamesWithBackslashesAndFolderEntries) {
    CUnzipper unzipper(Zip({{"Settings/", ""}, {"Settings/x.ini", "x", kPiDay}}));
    ASSERT_TRUE(unzipper.GoToFirstEntry());
    ArchiveEntryInfo info;
    ASSERT_TRUE(unzipper.GetEntryInfo(info));
    EXPECT_EQ(info.Name, "Settings\\");
    EXPECT_TRUE(info.Folder);

    ASSERT_TRUE(unzipper.GoToNextEntry());
    ASSERT_TRUE(unzipper.GetEntryInfo(info));
    EXPECT_EQ(info.Name, "Settings\\x.ini");
    EXPECT_FALSE(info.Folder);
    EXPECT_EQ(info.DosDateTime, kPiDay);
    EXPECT_EQ(info.UncompressedSize, 1u);
    EXPECT_FALSE(unzipper.GoToNextEntry());
}

TEST_F(UnzipperTest, FolderEntryCreatesNothingByItself) {
    CUnzipper unzipper(Zip({{"Settings\\", ""}, {"Empty\\", ""}, {"Settings\\a.txt", "a"}}));
    ASSERT_TRUE(unzipper.ExtractAll(Out(), false));
    EXPECT_EQ(ListFiles(Out()), std::vector<std::string>{"Settings/a.txt"});
    EXPECT_FALSE(fs::exists(Out() / "Empty"));
}

TEST_F(UnzipperTest, ReplacesAnExistingFile) {
    fs::create_directories(Out() / "Settings");
    testing::WriteText(Out() / "Settings/a.txt", "old content, longer than the new one");
    CUnzipper unzipper(Zip({{"Settings\\a.txt", "new"}}));
    ASSERT_TRUE(unzipper.ExtractAll(Out(), false));
    EXPECT_EQ(ReadText(Out() / "Settings/a.txt"), "new");
}

TEST_F(UnzipperTest, IgnorePathsKeepsOnlyTheFileName) {
    CUnzipper unzipper(Zip({{"Settings\\Image\\a.bmp", "A"}}));
    ASSERT_TRUE(unzipper.ExtractAll(Out(), true));
    EXPECT_EQ(ListFiles(Out()), std::vector<std::string>{"a.bmp"});
}

TEST_F(UnzipperTest, EntryTimesComeFromTheDosDateUnlessItIsZero) {
    CUnzipper unzipper(Zip({{"dated.txt", "d", kPiDay}, {"undated.txt", "u", 0}}));
    const auto before = fs::file_time_type::clock::now() - std::chrono::minutes(1);
    ASSERT_TRUE(unzipper.ExtractAll(Out(), false));

    struct stat dated {};
    ASSERT_EQ(::stat((Out() / "dated.txt").c_str(), &dated), 0);
    std::tm local{};
    ::localtime_r(&dated.st_mtime, &local);
    EXPECT_EQ(local.tm_year + 1900, 2021);
    EXPECT_EQ(local.tm_mon + 1, 3);
    EXPECT_EQ(local.tm_mday, 14);
    EXPECT_EQ(local.tm_hour, 15);
    EXPECT_EQ(local.tm_min, 9);
    EXPECT_EQ(local.tm_sec, 26);

    // A zero date is no date: the file keeps the time it was written at.
    EXPECT_GT(fs::last_write_time(Out() / "undated.txt"), before);
    EXPECT_FALSE(CUnzipper::StampFileTime(Out() / "undated.txt", 0));
}

// Names that would write outside the target folder. Each archive also holds
// a harmless entry before the hostile one, which stays written: an entry that
// fails ends the unpacking but does not undo it.
TEST_F(UnzipperTest, HostileNamesAreRefusedAndWriteNothingOutside) {
    const char* const kHostile[] = {
        "..\\..\\x",
        "../../x",
        "Settings\\..\\..\\x",
        "/etc/x",
        "\\etc\\x",
        "C:\\x",
        "c:x",
        "..",
        "Settings/../../x",
        "\\\\server\\share\\x",
    };
    for (const char* name : kHostile) {
        SCOPED_TRACE(name);
        TempDir sandbox;
        const fs::path target = sandbox / "a/b/out";
        fs::create_directories(target);
        const fs::path zip = sandbox / "hostile.zip";
        WriteZip(zip, {{"Settings\\ok.txt", "ok"}, {name, "pwned"}, {"Settings\\after.txt", "!"}});

        CUnzipper unzipper(zip);
        EXPECT_FALSE(unzipper.ExtractAll(target, false));
        EXPECT_EQ(ListFiles(sandbox.path()),
                  (std::vector<std::string>{"a/b/out/Settings/ok.txt", "hostile.zip"}));
        EXPECT_FALSE(fs::exists("/etc/x"));
    }
}

TEST_F(UnzipperTest, LinkEntriesAreNotCreated) {
    CUnzipper unzipper(Zip({{"Settings\\link", "/etc/passwd", 0, true}, {"Settings\\a.txt", "a"}}));
    ASSERT_TRUE(unzipper.ExtractAll(Out(), false));
    EXPECT_EQ(ListFiles(Out()), std::vector<std::string>{"Settings/a.txt"});
}

TEST_F(UnzipperTest, DoesNotWriteThroughALinkInTheTargetFolder) {
    TempDir elsewhere;
    fs::create_directories(Out());
    fs::create_directory_symlink(elsewhere.path(), Out() / "Settings");
    CUnzipper unzipper(Zip({{"Settings\\a.txt", "a"}}));
    EXPECT_FALSE(unzipper.ExtractAll(Out(), false));
    EXPECT_TRUE(ListFiles(elsewhere.path()).empty());
}

TEST_F(UnzipperTest, ALinkInTheFilesPlaceIsReplacedNotFollowed) {
    TempDir elsewhere;
    testing::WriteText(elsewhere / "victim.txt", "untouched");
    fs::create_directories(Out() / "Settings");
    fs::create_symlink(elsewhere / "victim.txt", Out() / "Settings/a.txt");
    CUnzipper unzipper(Zip({{"Settings\\a.txt", "new"}}));
    ASSERT_TRUE(unzipper.ExtractAll(Out(), false));
    EXPECT_EQ(ReadText(elsewhere / "victim.txt"), "untouched");
    EXPECT_FALSE(fs::is_symlink(Out() / "Settings/a.txt"));
    EXPECT_EQ(ReadText(Out() / "Settings/a.txt"), "new");
}

TEST_F(UnzipperTest, DamagedArchivesFailWithoutCrashing) {
    WriteZip(dir_ / "good.zip", {{"Settings\\a.txt", std::string(5000, 'a')}});
    const auto good = testing::ReadBytes(dir_ / "good.zip");

    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Case> cases = {
        {"empty file", {}},
        {"not a zip", {'h', 'e', 'l', 'l', 'o'}},
        {"cut in half", {good.begin(), good.begin() + static_cast<long>(good.size() / 2)}},
    };
    auto flipped = good;
    flipped[60] ^= 0xFF;  // inside the compressed data: a CRC or inflate error
    cases.push_back({"data flipped", flipped});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::WriteBytes(dir_ / "bad.zip", c.bytes);
        CUnzipper unzipper(dir_ / "bad.zip");
        EXPECT_FALSE(unzipper.ExtractAll(Out(), false));
        EXPECT_EQ(unzipper.EntryCount(), unzipper.IsOpen() ? unzipper.EntryCount() : 0u);
    }
}

TEST_F(UnzipperTest, WithoutAnArchiveEveryOperationFails) {
    CUnzipper unzipper(dir_ / "missing.zip");
    ArchiveEntryInfo info;
    EXPECT_FALSE(unzipper.IsOpen());
    EXPECT_EQ(unzipper.EntryCount(), 0u);
    EXPECT_FALSE(unzipper.GetEntryInfo(info));
    EXPECT_FALSE(unzipper.GoToFirstEntry());
    EXPECT_FALSE(unzipper.ExtractCurrentEntry(Out(), false));
    EXPECT_FALSE(unzipper.ExtractAll(Out(), false));
    EXPECT_FALSE(unzipper.Close());
}

TEST_F(UnzipperTest, DefaultFolderIsTheArchivePathWithoutExtension) {
    CUnzipper unzipper(Zip({{"a.txt", "a"}}));
    EXPECT_EQ(unzipper.DefaultFolder(), dir_ / "archive");
    ASSERT_TRUE(unzipper.GoToFirstEntry());
    ASSERT_TRUE(unzipper.ExtractCurrentEntry(std::nullopt, false));
    EXPECT_EQ(ReadText(dir_ / "archive/a.txt"), "a");
}

}  // namespace
}  // namespace txisp::app
