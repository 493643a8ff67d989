#include "rolling/rolling_dialog.h"

#include <gtest/gtest.h>

#include "platform/ini_profile.h"
#include "support/temp_dir.h"

namespace txisp::rolling {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

TEST(RollingDialogTextTest, ShowsTheStoredValueInFourGroups) {
    const struct {
        const char* stored;
        const char* shown;
    } kCases[] = {
        {"1A", "0000 0000 0000 001A"},
        {"", "0000 0000 0000 0000"},
        {"0001a2b3", "0000 0000 0001 a2b3"},  // the upper-case box, not this text, shows it upper
        {"0123456789ABCDEF", "0123 4567 89AB CDEF"},
        {"0123456789ABCDEF01", "0123 4567 89AB CDEF01"},  // too long: shown whole
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.stored);
        EXPECT_EQ(ShownRollingText(c.stored), c.shown);
    }
}

TEST(RollingDialogTextTest, OkDeletesThreePositionsThenTheSurplusDigits) {
    const struct {
        const char* shown;
        std::int64_t digits;
        const char* stored;
    } kCases[] = {
        {"0000 0000 0000 001A", 4, "001A"},
        {"0000 0000 0001 A2B3", 8, "0001A2B3"},
        {"0000 0000 0001 A2B3", 12, "00000001A2B3"},
        {"0123 4567 89AB CDEF", 16, "0123456789ABCDEF"},
        {"0123 4567 89AB CDEF", 20, "0123456789ABCDEF"},  // no surplus: nothing more deleted
        // Typed without blanks: the three deletions take digits ("E", "9", "4").
        {"0123456789ABCDEF", 16, "01235678ABCDF"},
        {"0123456789ABCDEF", 8, "ABCDF"},
        {"0123456789ABCDEF", 4, "F"},
        // A short entry loses everything to the surplus.
        {"1A", 4, ""},
        {"1234 5678", 4, ""},
        // No width: nothing is kept.
        {"0000 0000 0000 001A", 0, ""},
        {"0000 0000 0000 001A", -4, ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(::testing::Message() << '"' << c.shown << "\" / " << c.digits);
        EXPECT_EQ(StoredRollingText(c.shown, c.digits), c.stored);
    }
}

class RollingDialogFileTest : public ::testing::Test {
protected:
    std::string Value(std::string_view key) const {
        return platform::ReadProfileString(file_, kRollingSection, key, "<none>");
    }

    TempDir dir_;
    fs::path file_ = dir_ / "prod.INI";
};

TEST_F(RollingDialogFileTest, OpensWithTheFilesValuesInShownForm) {
    testing::WriteText(file_,
                       "[Rolling Code]\r\nAddress=8176\r\nWord_Length=2\r\nCount=0001a2b3\r\n");
    const RollingDialogFields fields = LoadRollingDialogFields(file_);
    EXPECT_EQ(fields.Address, "0x1FF0");
    EXPECT_EQ(fields.WordLength, "2");
    EXPECT_EQ(fields.Value, "0000 0000 0001 a2b3");
    EXPECT_EQ(fields.Step, "0000 0000 0000 0000");
}

TEST_F(RollingDialogFileTest, OpensWithZerosWithoutAFile) {
    const RollingDialogFields fields = LoadRollingDialogFields(file_);
    EXPECT_EQ(fields.Address, "0x0");
    EXPECT_EQ(fields.WordLength, "0");
    EXPECT_EQ(fields.Value, "0000 0000 0000 0000");
    EXPECT_EQ(fields.Step, "0000 0000 0000 0000");
}

TEST_F(RollingDialogFileTest, OkStoresTheBoxesForTheWidthTheWordLengthGives) {
    const struct {
        const char* name;
        RollingWidth width;
        const char* word_length;
        const char* value;
        const char* step;
        const char* count_stored;
        const char* step_stored;
    } kCases[] = {
        {"TX5 one word", RollingWidth::Words16, "1", "0000 0000 0000 001A", "0000 0000 0000 0001",
         "001A", "0001"},
        {"TX64 one word", RollingWidth::Words32, "1", "0000 0000 89AB CDEF", "0000 0000 0000 0001",
         "89ABCDEF", "00000001"},
        {"TX64 two words", RollingWidth::Words32, "2", "0123 4567 89AB CDEF", "0000 0000 0000 0010",
         "0123456789ABCDEF", "0000000000000010"},
        {"hex word length, as the file reads it", RollingWidth::Words16, "0x2",
         "0000 0000 0001 A2B3", "0000 0000 0000 0001", "0001A2B3", "00000001"},
        {"empty word length", RollingWidth::Words16, "", "0000 0000 0000 001A",
         "0000 0000 0000 0001", "", ""},
        {"word length no number", RollingWidth::Words32, "two", "0000 0000 0000 001A",
         "0000 0000 0000 0001", "", ""},
        {"typed without blanks", RollingWidth::Words16, "4", "0123456789ABCDEF",
         "0000 0000 0000 0001", "01235678ABCDF", "0000000000000001"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const RollingDialogFields fields{"0x1ff0", c.word_length, c.value, c.step};
        EXPECT_TRUE(SaveRollingDialogFields(file_, c.width, fields));
        EXPECT_EQ(Value(kAddressKey), "0x1ff0");
        EXPECT_EQ(Value(kWordLengthKey), c.word_length);
        EXPECT_EQ(Value(kCountKey), c.count_stored);
        EXPECT_EQ(Value(kStepKey), c.step_stored);
    }
}

TEST_F(RollingDialogFileTest, WhatOkStoresOpensAgainUnchanged) {
    const RollingDialogFields typed{"0x100", "2", "0123 4567 89AB CDEF", "0000 0000 0000 0001"};
    ASSERT_TRUE(SaveRollingDialogFields(file_, RollingWidth::Words32, typed));
    const RollingDialogFields reopened = LoadRollingDialogFields(file_);
    EXPECT_EQ(reopened.Address, "0x100");
    EXPECT_EQ(reopened.WordLength, "2");
    EXPECT_EQ(reopened.Value, typed.Value);
    EXPECT_EQ(reopened.Step, typed.Step);
}

TEST_F(RollingDialogFileTest, ReportsAFileThatCannotBeWritten) {
    const fs::path nowhere = dir_ / "missing-folder" / "prod.INI";
    EXPECT_FALSE(
        SaveRollingDialogFields(nowhere, RollingWidth::Words16,
                                {"0x0", "1", "0000 0000 0000 0001", "0000 0000 0000 0001"}));
    EXPECT_FALSE(fs::exists(nowhere));
}

}  // namespace
}  // namespace txisp::rolling
