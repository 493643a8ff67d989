#include "rolling/rolling_code.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ini_profile.h"
#include "support/temp_dir.h"

namespace txisp::rolling {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

constexpr std::size_t kTx5ImageSize = 0x8400;
constexpr std::size_t kTx64ImageSize = 0x10000;
constexpr std::uint8_t kFill = 0x5A;

class RollingCodeTest : public ::testing::Test {
protected:
    // A settings file as the operator's dialog leaves it: UTF-16LE with a mark.
    void WriteSettings(std::string_view address, std::string_view word_length,
                       std::string_view count, std::string_view step) {
        testing::WriteBytes(
            file_, testing::Utf16LeWithBom("[Rolling Code]\r\nAddress=" + std::string(address) +
                                           "\r\nWord_Length=" + std::string(word_length) +
                                           "\r\nCount=" + std::string(count) +
                                           "\r\nStep=" + std::string(step) + "\r\n"));
    }
    std::string Count() const {
        return platform::ReadProfileString(file_, kRollingSection, kCountKey, "<none>");
    }

    TempDir dir_;
    fs::path file_ = dir_ / "prod.INI";
};

// The image as it should be: filled, with `bytes` at `offset`.
std::vector<std::uint8_t> Expected(std::size_t size, std::size_t offset,
                                   const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> image(size, kFill);
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
    return image;
}

struct ApplyCase {
    const char* name;
    RollingWidth width;
    std::size_t image_size;
    std::int32_t address;
    std::int32_t word_length;
    const char* count;
    std::size_t offset;
    std::vector<std::uint8_t> bytes;
};

TEST_F(RollingCodeTest, WritesTheValueLittleEndianAtTwiceTheAddress) {
    const ApplyCase kCases[] = {
        {"TX64 one word",
         RollingWidth::Words32,
         kTx64ImageSize,
         0x100,
         1,
         "89ABCDEF",
         0x200,
         {0xEF, 0xCD, 0xAB, 0x89}},
        {"TX5 two words",
         RollingWidth::Words16,
         kTx5ImageSize,
         0x1FF0,
         2,
         "0001A2B3",
         0x3FE0,
         {0xB3, 0xA2, 0x01, 0x00}},
        {"TX5 one word, lower case",
         RollingWidth::Words16,
         kTx5ImageSize,
         0x10,
         1,
         "a1b2",
         0x20,
         {0xB2, 0xA1}},
        {"TX5 64 bits",
         RollingWidth::Words16,
         kTx5ImageSize,
         0x0,
         4,
         "0123456789ABCDEF",
         0x0,
         {0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01}},
        {"TX64 64 bits",
         RollingWidth::Words32,
         kTx64ImageSize,
         0x7FFC,
         2,
         "0123456789ABCDEF",
         0xFFF8,
         {0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01}},  // the image's last 8 bytes
        {"TX5 ending at the buffer's end",
         RollingWidth::Words16,
         kTx5ImageSize,
         0x41FF,
         1,
         "BEEF",
         0x83FE,
         {0xEF, 0xBE}},
        // Too few digits: the missing ones are leading zeros, never a
        // repeat of another piece.
        {"short Count",
         RollingWidth::Words16,
         kTx5ImageSize,
         0x0,
         2,
         "1A",
         0x0,
         {0x1A, 0x00, 0x00, 0x00}},
        {"empty Count",
         RollingWidth::Words16,
         kTx5ImageSize,
         0x0,
         2,
         "",
         0x0,
         {0x00, 0x00, 0x00, 0x00}},
        {"non-hex Count", RollingWidth::Words16, kTx5ImageSize, 0x0, 1, "12G4", 0x0, {0x04, 0x12}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> image(c.image_size, kFill);
        const RollingSettings settings{c.address, c.word_length, c.count, "0001"};
        EXPECT_EQ(ApplyRollingCode(settings, c.width, image), RollingOutcome::Done);
        EXPECT_EQ(image, Expected(c.image_size, c.offset, c.bytes));
    }
}

TEST_F(RollingCodeTest, ReadsTheRunCopyFromTheFile) {
    WriteSettings("0x1FF0", "2", "0001a2b3", "00000001");
    const RollingSettings settings = ReadRollingSettings(file_);
    EXPECT_EQ(settings.Address, 0x1FF0);
    EXPECT_EQ(settings.WordLength, 2);
    EXPECT_EQ(settings.Count, "0001a2b3");
    EXPECT_EQ(settings.Step, "00000001");
}

TEST_F(RollingCodeTest, RefusesWhatWouldNotFitAndWritesNothing) {
    const struct {
        const char* name;
        RollingWidth width;
        std::size_t image_size;
        std::int32_t address;
        std::int32_t word_length;
        RollingOutcome outcome;
    } kCases[] = {
        {"no word length", RollingWidth::Words16, kTx5ImageSize, 0x10, 0, RollingOutcome::Off},
        {"negative word length", RollingWidth::Words16, kTx5ImageSize, 0x10, -1,
         RollingOutcome::Off},
        {"TX5 five words", RollingWidth::Words16, kTx5ImageSize, 0x10, 5,
         RollingOutcome::WordLengthTooBig},
        {"TX64 three words", RollingWidth::Words32, kTx64ImageSize, 0x10, 3,
         RollingOutcome::WordLengthTooBig},
        {"one byte past the TX5 buffer", RollingWidth::Words16, kTx5ImageSize, 0x4200, 1,
         RollingOutcome::OutsideImage},
        {"straddling the TX5 buffer's end", RollingWidth::Words16, kTx5ImageSize, 0x41FF, 2,
         RollingOutcome::OutsideImage},
        {"straddling the TX64 buffer's end", RollingWidth::Words32, kTx64ImageSize, 0x7FFF, 1,
         RollingOutcome::OutsideImage},
        {"negative address", RollingWidth::Words16, kTx5ImageSize, -1, 1,
         RollingOutcome::OutsideImage},
        {"address far beyond", RollingWidth::Words32, kTx64ImageSize, 0x7FFFFFFF, 1,
         RollingOutcome::OutsideImage},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> image(c.image_size, kFill);
        const RollingSettings settings{c.address, c.word_length, "FFFFFFFFFFFFFFFF", "1"};
        EXPECT_EQ(ApplyRollingCode(settings, c.width, image), c.outcome);
        EXPECT_EQ(image, std::vector<std::uint8_t>(c.image_size, kFill));
    }
}

TEST_F(RollingCodeTest, MissingSettingsFileWritesNothingAnywhere) {
    std::vector<std::uint8_t> image(kTx5ImageSize, kFill);
    EXPECT_EQ(ApplyRollingCode(ReadRollingSettings(file_), RollingWidth::Words16, image),
              RollingOutcome::Off);
    EXPECT_EQ(image, std::vector<std::uint8_t>(kTx5ImageSize, kFill));

    EXPECT_EQ(AdvanceRollingCode(file_, RollingWidth::Words16), RollingOutcome::Off);
    EXPECT_FALSE(fs::exists(file_));
}

TEST_F(RollingCodeTest, AdvanceStoresTheNextValueInTheWidthsDigits) {
    const struct {
        const char* name;
        RollingWidth width;
        const char* word_length;
        const char* count;
        const char* step;
        const char* next;
    } kCases[] = {
        {"wraps to zero", RollingWidth::Words16, "1", "FFFF", "0001", "0000"},
        {"five digits wrap to zero, not one", RollingWidth::Words16, "1", "FFFE", "0003", "0000"},
        {"lower case", RollingWidth::Words16, "1", "0009", "0001", "000a"},
        {"upper case read", RollingWidth::Words32, "1", "89ABCDEF", "00000001", "89abcdf0"},
        {"carry into the high word", RollingWidth::Words32, "2", "00000000FFFFFFFF",
         "0000000000000001", "0000000100000000"},
        {"twelve digits", RollingWidth::Words16, "3", "000fffffffff", "000000000001",
         "001000000000"},
        {"twelve digits wrap", RollingWidth::Words16, "3", "ffffffffffff", "000000000001",
         "000000000000"},
        {"64 bits wrap", RollingWidth::Words16, "4", "ffffffffffffffff", "0000000000000002",
         "0000000000000001"},
        {"short texts", RollingWidth::Words32, "2", "1A", "1", "000000000000001b"},
        {"non-hex digit", RollingWidth::Words16, "1", "12G4", "0001", "1205"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        WriteSettings("0x1FF0", c.word_length, c.count, c.step);
        EXPECT_EQ(AdvanceRollingCode(file_, c.width), RollingOutcome::Done);
        EXPECT_EQ(Count(), c.next);
        // Nothing but "Count" changes.
        const RollingSettings after = ReadRollingSettings(file_);
        EXPECT_EQ(after.Address, 0x1FF0);
        EXPECT_EQ(std::to_string(after.WordLength), c.word_length);
        EXPECT_EQ(after.Step, c.step);
    }
}

TEST_F(RollingCodeTest, AdvanceLeavesTheFileAsItIsWhenThereIsNothingToCount) {
    const struct {
        const char* name;
        RollingWidth width;
        const char* word_length;
        std::uint64_t devices;
        RollingOutcome outcome;
    } kCases[] = {
        {"no word length", RollingWidth::Words16, "", 1, RollingOutcome::Off},
        {"zero word length", RollingWidth::Words16, "0", 1, RollingOutcome::Off},
        {"no device programmed", RollingWidth::Words16, "1", 0, RollingOutcome::Off},
        {"TX5 five words", RollingWidth::Words16, "5", 1, RollingOutcome::WordLengthTooBig},
        {"TX64 three words", RollingWidth::Words32, "3", 1, RollingOutcome::WordLengthTooBig},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        WriteSettings("0x10", c.word_length, "0009", "0001");
        const auto before = testing::ReadBytes(file_);
        EXPECT_EQ(AdvanceRollingCode(file_, c.width, c.devices), c.outcome);
        EXPECT_EQ(testing::ReadBytes(file_), before);
    }
}

// Each device programmed successfully gets the value one step on from the
// previous one, wrapping the same way as the advance after a run; the next
// run then starts right after the last value used.
TEST_F(RollingCodeTest, DevicesOfOneRunGetSuccessiveValuesAcrossAWrap) {
    const struct {
        const char* name;
        const char* count;
        const char* step;
        std::vector<std::vector<std::uint8_t>> device_bytes;  // k = 0, 1, ...
        const char* next_run;
    } kCases[] = {
        {"step 1",
         "FFFE",
         "0001",
         {{0xFE, 0xFF}, {0xFF, 0xFF}, {0x00, 0x00}, {0x01, 0x00}},
         "0002"},
        {"step 3",
         "FFFA",
         "0003",
         {{0xFA, 0xFF}, {0xFD, 0xFF}, {0x00, 0x00}, {0x03, 0x00}},
         "0006"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        WriteSettings("0x20", "1", c.count, c.step);
        const RollingSettings run = ReadRollingSettings(file_);
        for (std::size_t k = 0; k < c.device_bytes.size(); ++k) {
            SCOPED_TRACE(::testing::Message() << "device " << k);
            std::vector<std::uint8_t> image(kTx5ImageSize, kFill);
            EXPECT_EQ(ApplyRollingCode(run, RollingWidth::Words16, image, k), RollingOutcome::Done);
            EXPECT_EQ(image, Expected(kTx5ImageSize, 0x40, c.device_bytes[k]));
        }
        EXPECT_EQ(AdvanceRollingCode(file_, RollingWidth::Words16, c.device_bytes.size()),
                  RollingOutcome::Done);
        EXPECT_EQ(Count(), c.next_run);
    }
}

TEST_F(RollingCodeTest, OneDevicePerRunProgramsEachValueOnce) {
    // Run after run: what a run programs is what the previous advance stored.
    WriteSettings("0x0", "1", "FFFE", "0001");
    const std::vector<std::uint8_t> kLowBytes = {0xFE, 0xFF, 0x00, 0x01};
    for (const std::uint8_t low : kLowBytes) {
        std::vector<std::uint8_t> image(kTx5ImageSize, kFill);
        EXPECT_EQ(ApplyRollingCode(ReadRollingSettings(file_), RollingWidth::Words16, image),
                  RollingOutcome::Done);
        EXPECT_EQ(image[0], low);
        EXPECT_EQ(AdvanceRollingCode(file_, RollingWidth::Words16), RollingOutcome::Done);
    }
}

}  // namespace
}  // namespace txisp::rolling
