#include "firmware/tx5_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "support/recording_prompts.h"
#include "support/temp_dir.h"

namespace txisp::firmware {
namespace {

namespace fs = std::filesystem;
using testing::Message;

constexpr std::string_view kTitle = "ISP Tool";

std::vector<std::uint8_t> Header(std::string_view text) {
    std::vector<std::uint8_t> header(kTx5HeaderSize, 0);
    std::copy(text.begin(), text.end(), header.begin());
    return header;
}

// A TX5 file: the header text zero-padded to 256 bytes, then `image_size`
// bytes counting up from `first`.
std::vector<std::uint8_t> Tx5File(std::string_view header_text, std::size_t image_size,
                                  std::uint8_t first = 1) {
    std::vector<std::uint8_t> file = Header(header_text);
    for (std::size_t i = 0; i < image_size; ++i)
        file.push_back(static_cast<std::uint8_t>(first + i));
    return file;
}

TEST(CheckTx5HeaderTest, LooksForTheChipNameInTheTextBeforeTheFirstZero) {
    // 252 blanks, then the name running 4 characters past the header.
    const std::string_view name = "TX5K3317";
    std::vector<std::uint8_t> across_the_end(kTx5HeaderSize - 4, ' ');
    across_the_end.insert(across_the_end.end(), name.begin(), name.end());

    const struct {
        const char* what;
        std::vector<std::uint8_t> header;
        bool valid;
    } kCases[] = {
        {"exactly the name", Header("TX5K3317"), true},
        {"a longer name containing it", Header("TX5K3317B"), true},
        {"anywhere in the text", Header("Firmware for TX5K3317 rev 2"), true},
        {"other case", Header("tx5k3317"), false},
        {"zero first byte", Header(std::string_view("\0TX5K3317", 9)), false},
        {"name after a zero byte", Header(std::string_view("ABC\0TX5K3317", 12)), false},
        {"name cut by the 256-byte end", across_the_end, false},
        {"header shorter than 256 bytes", {'T', 'X', '5', 'K', '3', '3', '1', '7'}, true},
        {"empty file", {}, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CheckTx5Header(c.header, name), c.valid);
    }
}

TEST(RollingSettingsFileTest, ReplacesOnlyTheLastExtension) {
    const struct {
        const char* firmware;
        const char* settings;
    } kCases[] = {
        {"/fw/prod.rev.tx5", "/fw/prod.rev.INI"},
        {"/fw/prod.TX5", "/fw/prod.INI"},
        {"/my.dir/prod", "/my.dir/prod.INI"},
        {"prod.hex", "prod.INI"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.firmware);
        EXPECT_EQ(RollingSettingsFileFor(c.firmware), fs::path(c.settings));
    }
}

class Tx5FileTest : public ::testing::Test {
protected:
    fs::path Write(std::string_view name, const std::vector<std::uint8_t>& bytes) {
        const fs::path file = dir_ / name;
        testing::WriteBytes(file, bytes);
        return file;
    }
    Tx5FileCheck Check(const fs::path& file, std::string_view chip) {
        return CheckChosenTx5File(file, chip, choice_, prompts_, kTitle);
    }
    std::optional<Tx5ImageRead> Load() { return LoadTx5Image(choice_, *image_, prompts_); }
    void Prefill(std::uint8_t value) { image_->Tx5ImageBuffer.fill(value); }
    auto& buffer() const { return image_->Tx5ImageBuffer; }

    testing::TempDir dir_;
    testing::RecordingPrompts prompts_;
    Tx5FileChoice choice_;
    std::unique_ptr<FirmwareImage> image_ = std::make_unique<FirmwareImage>();
};

TEST_F(Tx5FileTest, AValidFileIsChosenAndFindsItsRollingSettings) {
    const fs::path file = Write("prod.rev.tx5", Tx5File("TX5K3317B", 4));
    testing::WriteText(dir_ / "prod.rev.INI", "[Rolling Code]\r\n");

    const Tx5FileCheck check = Check(file, "TX5K3317");
    EXPECT_EQ(check.Verdict, Tx5FileVerdict::Valid);
    EXPECT_EQ(choice_.UsableFile(), file);
    EXPECT_EQ(choice_.DisplayText(), file.string());
    ASSERT_TRUE(check.Rolling.has_value());
    EXPECT_EQ(check.Rolling->RollingSettingsFile, dir_ / "prod.rev.INI");
    EXPECT_TRUE(check.Rolling->RollingEnabled);
    EXPECT_TRUE(prompts_.prompts().empty());
}

TEST_F(Tx5FileTest, AFileWithoutTheChipNameIsRejectedButStillLooksForSettings) {
    const fs::path file = Write("other.tx5", Tx5File("TX5K3307", 4));
    const Tx5FileCheck check = Check(file, "TX5K3317");
    EXPECT_EQ(check.Verdict, Tx5FileVerdict::NotValid);
    EXPECT_EQ(prompts_.prompts(), std::vector{Message(kTitle, "Not a valid TX5 file!!")});
    EXPECT_FALSE(choice_.UsableFile().has_value());
    EXPECT_EQ(choice_.DisplayText(), "None");
    ASSERT_TRUE(check.Rolling.has_value());
    EXPECT_FALSE(check.Rolling->RollingEnabled);
}

TEST_F(Tx5FileTest, AFileThatCannotBeOpenedStaysChosenForStartToReport) {
    const fs::path file = dir_ / "missing.tx5";
    const Tx5FileCheck check = Check(file, "TX5K3317");
    EXPECT_EQ(check.Verdict, Tx5FileVerdict::CannotOpen);
    EXPECT_FALSE(check.Rolling.has_value());
    ASSERT_EQ(prompts_.prompts().size(), 1u);
    EXPECT_EQ(prompts_.prompts()[0].Caption, kTitle);
    EXPECT_NE(prompts_.prompts()[0].Text.find("No such file"), std::string::npos);
    EXPECT_EQ(choice_.UsableFile(), file);

    prompts_.Clear();
    Prefill(0xAA);
    EXPECT_FALSE(Load().has_value());
    EXPECT_EQ(prompts_.prompts(), std::vector{Message("Error", "Load TX5 File Failed!!")});
    EXPECT_EQ(buffer()[0], 0xAA);
}

TEST_F(Tx5FileTest, StartWithoutAnyChoiceFails) {
    EXPECT_EQ(choice_.DisplayText(), "");
    EXPECT_FALSE(Load().has_value());
    EXPECT_EQ(prompts_.prompts(), std::vector{Message("Error", "Load TX5 File Failed!!")});
}

// "None" is what the window shows after a rejected file, never a path.
TEST_F(Tx5FileTest, StartAfterARejectedFileNeverReadsAFileNamedNone) {
    const fs::path before = fs::current_path();
    fs::current_path(dir_.path());
    Write("None", Tx5File("TX5K3317", 16, 0x40));
    const fs::path file = Write("bad.tx5", Tx5File("nothing", 16));
    Check(file, "TX5K3317");
    prompts_.Clear();
    Prefill(0x00);

    const auto read = Load();
    fs::current_path(before);
    EXPECT_FALSE(read.has_value());
    EXPECT_EQ(prompts_.prompts(), std::vector{Message("Error", "Load TX5 File Failed!!")});
    EXPECT_EQ(buffer()[0], 0x00);
}

TEST_F(Tx5FileTest, StartReadsTheImageOverWhatTheBufferHeld) {
    const struct {
        const char* what;
        std::size_t file_size;
        std::size_t image_length;
        std::uintmax_t dropped;
    } kCases[] = {
        {"header only: nothing overwritten", 256, 0, 0},
        {"shorter than a header", 100, 0, 0},
        {"small image", 256 + 10, 10, 0},
        {"full buffer", 256 + kTx5ImageSize, kTx5ImageSize, 0},
        {"image part too long", 256 + kTx5ImageSize + 7, kTx5ImageSize, 7},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> bytes = Tx5File("TX5K3317", kTx5ImageSize + 7);
        bytes.resize(c.file_size);
        const fs::path file = Write("fw.tx5", bytes);
        choice_.Choose(file);
        Prefill(0xEE);

        const auto read = Load();
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->ImageLength, c.image_length);
        EXPECT_EQ(read->DroppedBytes, c.dropped);
        for (std::size_t i = 0; i < kTx5ImageSize; ++i) {
            const std::uint8_t expected = i < c.image_length ? bytes[256 + i] : 0xEE;
            ASSERT_EQ(buffer()[i], expected) << "at " << i;
        }
    }
    EXPECT_TRUE(prompts_.prompts().empty());
}

TEST_F(Tx5FileTest, AShorterImageLeavesTheTailOfTheLongerOne) {
    choice_.Choose(Write("long.tx5", Tx5File("TX5K3317", 32, 0x10)));
    ASSERT_TRUE(Load().has_value());
    choice_.Choose(Write("short.tx5", Tx5File("TX5K3317", 8, 0x80)));
    ASSERT_TRUE(Load().has_value());
    EXPECT_EQ(buffer()[7], 0x87);
    EXPECT_EQ(buffer()[8], 0x18);
    EXPECT_EQ(buffer()[31], 0x2F);
}

// Start reads the file as it is then, without checking the header again.
TEST_F(Tx5FileTest, StartReadsTheFileAsItIsThen) {
    const fs::path file = Write("fw.tx5", Tx5File("TX5K3317", 4, 0x10));
    ASSERT_EQ(Check(file, "TX5K3317").Verdict, Tx5FileVerdict::Valid);
    Write("fw.tx5", Tx5File("changed", 4, 0x50));
    ASSERT_TRUE(Load().has_value());
    EXPECT_EQ(buffer()[0], 0x50);
}

}  // namespace
}  // namespace txisp::firmware
