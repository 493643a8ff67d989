#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_dir.h"

namespace txisp::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

TEST(Files, BackslashesBecomeSeparators) {
    EXPECT_EQ(ToNativeSeparators("Settings\\Image\\a.bmp"), "Settings/Image/a.bmp");
    EXPECT_EQ(ToNativeSeparators("a/b\\c"), "a/b/c");
}

TEST(Files, ModuleFileNameIsTheRunningProgram) {
    const auto self = ModuleFileName();
    ASSERT_TRUE(self.has_value());
    EXPECT_TRUE(fs::exists(*self));
    EXPECT_EQ(self->filename(), "platform_tests");
}

TEST(Files, MakeFolderPath) {
    TempDir dir;
    testing::WriteText(dir / "file", "x");

    EXPECT_TRUE(MakeFolderPath(dir / "a/b/c"));
    EXPECT_TRUE(fs::is_directory(dir / "a/b/c"));
    EXPECT_TRUE(MakeFolderPath(dir / "a/b/c/"));  // trailing separator, already there
    EXPECT_FALSE(MakeFolderPath(dir / "file"));
    EXPECT_FALSE(MakeFolderPath(dir / "file/below"));
    EXPECT_FALSE(MakeFolderPath(""));
    EXPECT_TRUE(MakeFolderPath("/"));
    // A bare name has nothing above it to make and is not created.
    EXPECT_TRUE(MakeFolderPath("no-such-name-anywhere"));
    EXPECT_FALSE(fs::exists("no-such-name-anywhere"));
}

TEST(Files, DeleteTreeRemovesEverythingBelowButNotWhatLinksPointTo) {
    TempDir dir, outside;
    testing::WriteText(outside / "keep.txt", "keep");
    fs::create_directories(dir / "tree/sub");
    testing::WriteText(dir / "tree/sub/f.txt", "x");
    fs::create_directory_symlink(outside.path(), dir / "tree/link");

    EXPECT_TRUE(DeleteTree(dir / "tree"));
    EXPECT_FALSE(fs::exists(dir / "tree"));
    EXPECT_TRUE(fs::exists(outside / "keep.txt"));
    EXPECT_TRUE(DeleteTree(dir / "never-there"));
}

TEST(Files, DosDateTimes) {
    auto dos = [](unsigned year, unsigned month, unsigned day, unsigned h, unsigned m, unsigned s) {
        return ((year - 1980) << 25) | (month << 21) | (day << 16) | (h << 11) | (m << 5) | (s / 2);
    };
    const struct {
        const char* what;
        std::uint32_t value;
        bool valid;
    } kCases[] = {
        {"zero", 0, false},
        {"2020-02-29 23:59:58", dos(2020, 2, 29, 23, 59, 58), true},
        {"2021-02-29", dos(2021, 2, 29, 12, 0, 0), false},
        {"month 13", dos(2021, 13, 1, 0, 0, 0), false},
        {"day 0", dos(2021, 1, 0, 0, 0, 0), false},
        {"April 31", dos(2021, 4, 31, 0, 0, 0), false},
        {"hour 24", dos(2021, 1, 1, 24, 0, 0), false},
        {"minute 60", dos(2021, 1, 1, 0, 60, 0), false},
        {"1980-01-01", dos(1980, 1, 1, 0, 0, 0), true},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DosDateTimeToTime(c.value).has_value(), c.valid);
    }
    const auto leap = DosDateTimeToTime(dos(2020, 2, 29, 23, 59, 58));
    std::tm local{};
    ::localtime_r(&*leap, &local);
    EXPECT_EQ(local.tm_mday, 29);
    EXPECT_EQ(local.tm_sec, 58);
}

TEST(Files, WriteFileAtomically) {
    TempDir dir;
    const std::vector<std::uint8_t> bytes{1, 2, 3};
    ASSERT_TRUE(WriteFileAtomically(dir / "new.bin", bytes, 0640));
    EXPECT_EQ(testing::ReadBytes(dir / "new.bin"), bytes);

    // An existing file keeps its mode; no temporary file is left over.
    fs::permissions(dir / "new.bin", fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(WriteFileAtomically(dir / "new.bin", std::vector<std::uint8_t>{9}, 0777));
    EXPECT_EQ(testing::ReadBytes(dir / "new.bin"), std::vector<std::uint8_t>{9});
    EXPECT_EQ(fs::status(dir / "new.bin").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    // Through a link, the link's target is replaced and the link stays.
    fs::create_symlink(dir / "new.bin", dir / "link.bin");
    ASSERT_TRUE(WriteFileAtomically(dir / "link.bin", bytes));
    EXPECT_TRUE(fs::is_symlink(dir / "link.bin"));
    EXPECT_EQ(testing::ReadBytes(dir / "new.bin"), bytes);

    const Status missing = WriteFileAtomically(dir / "no/such/folder/f", bytes);
    EXPECT_FALSE(missing.ok());
    EXPECT_NE(missing.message().find("no/such/folder"), std::string::npos);
}

TEST(Files, ReadFileBytesRefusesMissingAndOversizedFiles) {
    TempDir dir;
    testing::WriteText(dir / "f", "12345");
    EXPECT_EQ(ReadFileBytes(dir / "f", 5).value().size(), 5u);
    EXPECT_FALSE(ReadFileBytes(dir / "f", 4).ok());
    EXPECT_FALSE(ReadFileBytes(dir / "missing", 100).ok());
}

TEST(Files, FindFileIgnoringCase) {
    TempDir dir;
    testing::WriteText(dir / "Start.bmp", "");
    testing::WriteText(dir / "exit.BMP", "");
    EXPECT_EQ(FindFileIgnoringCase(dir.path(), "START.BMP"), dir / "Start.bmp");
    EXPECT_EQ(FindFileIgnoringCase(dir.path(), "Start.bmp"), dir / "Start.bmp");
    EXPECT_EQ(FindFileIgnoringCase(dir.path(), "Exit.bmp"), dir / "exit.BMP");
    EXPECT_EQ(FindFileIgnoringCase(dir.path(), "Start.bm"), std::nullopt);
    EXPECT_EQ(FindFileIgnoringCase(dir / "missing", "Start.bmp"), std::nullopt);
}

}  // namespace
}  // namespace txisp::platform
