#include "firmware/special_pid.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/recording_prompts.h"
#include "support/temp_dir.h"

namespace txisp::firmware {
namespace {

namespace fs = std::filesystem;
using testing::Message;

constexpr std::string_view kTitle = "ISP Tool";

class SpecialPidTest : public ::testing::Test {
protected:
    // UISettings.ini as products ship it: UTF-16LE with a mark, CR LF.
    void WriteIni(std::string_view text) {
        testing::WriteBytes(ini_, testing::Utf16LeWithBom(text));
    }
    SpecialPidList Read() { return ReadSpecialPidTable(dir_.path(), ini_, kTitle, prompts_); }

    SpecialPidEntry Entry(std::string chip, std::string type, std::string fw_name) {
        SpecialPidEntry entry;
        entry.VID = "0x1234";
        entry.PID = "0x5678";
        entry.ChipName = std::move(chip);
        entry.FirmwareType = std::move(type);
        entry.FirmwarePath = dir_ / "FWFiles" / fw_name;
        entry.CodeSecurity = 2;
        return entry;
    }
    SpecialFirmwareLoad LoadFirmware(const SpecialPidEntry& entry) {
        return LoadSpecialFirmware(entry, *image_, kTitle, prompts_);
    }
    void WriteFirmware(std::string_view name, std::string_view text) {
        fs::create_directories(dir_ / "FWFiles");
        testing::WriteText(dir_ / "FWFiles" / name, text);
    }

    testing::TempDir dir_;
    fs::path ini_ = dir_ / "UISettings.ini";
    testing::RecordingPrompts prompts_;
    std::unique_ptr<FirmwareImage> image_ = std::make_unique<FirmwareImage>();
};

TEST_F(SpecialPidTest, NoCountMeansNoEntries) {
    for (const char* ini : {"", "[UISettings]\r\nISPTitle=x\r\n", "[SpecialPID]\r\nCount=0\r\n",
                            "[SpecialPID]\r\nCount=-1\r\n[SpecialPID0]\r\nVID=0x1\r\n"}) {
        SCOPED_TRACE(ini);
        WriteIni(ini);
        EXPECT_TRUE(Read().empty());
    }
    fs::remove(ini_);
    EXPECT_TRUE(Read().empty());
    EXPECT_TRUE(prompts_.prompts().empty());
}

TEST_F(SpecialPidTest, ReadsEveryEntryAndDropsThoseWithABadLevel) {
    WriteIni(
        "[specialpid]\r\nCount=5\r\n"
        "[SpecialPID0]\r\nVID=0x1111\r\nPID=0x2222\r\nChipName=TX64K39x\r\n"
        "FWName=fw0.hex\r\nFWType=HEX        //No1. F/W format.\r\nCodeSecurity=2\r\n"
        "[SpecialPID1]\r\nVID=0x3333\r\nPID=0x4444\r\nCodeSecurity=3\r\n"
        "[SpecialPID2]\r\nVID=0x5555\r\nPID=0x6666\r\nCodeSecurity=-1\r\n"
        "[SpecialPID3]\r\nVID=0x7777\r\nFWName=sub\\fw3.tx5\r\nCodeSecurity=0x1\r\n");
    const SpecialPidList list = Read();

    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].VID, "0x1111");
    EXPECT_EQ(list[0].PID, "0x2222");
    EXPECT_EQ(list[0].ChipName, "TX64K39x");
    EXPECT_EQ(list[0].FirmwarePath, dir_ / "FWFiles/fw0.hex");
    EXPECT_EQ(list[0].FirmwareType, "HEX        //No1. F/W format.");
    EXPECT_EQ(list[0].CodeSecurity, 2);
    EXPECT_EQ(list[1].VID, "0x7777");
    EXPECT_EQ(list[1].FirmwarePath, dir_ / "FWFiles/sub/fw3.tx5");
    EXPECT_EQ(list[1].CodeSecurity, 1);
    // A section that does not exist still gives an entry.
    EXPECT_EQ(list[2].VID, "");
    EXPECT_EQ(list[2].ChipName, "");
    EXPECT_EQ(list[2].CodeSecurity, 0);

    EXPECT_EQ(prompts_.prompts(),
              (std::vector{
                  Message(kTitle,
                          "The code security setting of special VID 0x3333, PID 0x4444 "
                          "is wrong."),
                  Message(kTitle,
                          "The code security setting of special VID 0x5555, PID 0x6666 "
                          "is wrong."),
              }));
}

TEST_F(SpecialPidTest, AnAbsoluteFirmwareNameStaysBelowTheFirmwareFolder) {
    WriteIni("[SpecialPID]\r\nCount=1\r\n[SpecialPID0]\r\nFWName=/etc/passwd\r\n");
    const SpecialPidList list = Read();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].FirmwarePath.lexically_normal(), dir_ / "FWFiles/etc/passwd");
}

TEST_F(SpecialPidTest, AHugeCountIsReadAsTheMostEntriesThereCanBe) {
    WriteIni("[SpecialPID]\r\nCount=2147483647\r\n");
    EXPECT_EQ(Read().size(), kMaxSpecialPidEntries);
}

TEST_F(SpecialPidTest, Tx5FirmwareLoadsWithoutAnyHeaderCheck) {
    std::string file(256, '\0');
    file.replace(0, 8, "TX5K3307");
    file += "\x11\x22\x33";
    WriteFirmware("fw.tx5", file);
    image_->Tx5ImageBuffer.fill(0xEE);

    for (const char* type : {"TX5", "tx5"}) {
        SCOPED_TRACE(type);
        const SpecialFirmwareLoad load = LoadFirmware(Entry("TX5K3317", type, "fw.tx5"));
        EXPECT_TRUE(load.Loaded);
        EXPECT_EQ(load.ChipName, "TX5K3317");
        EXPECT_FALSE(load.CodeSecurity.has_value());
        EXPECT_EQ(image_->Tx5ImageBuffer[0], 0x11);
        EXPECT_EQ(image_->Tx5ImageBuffer[2], 0x33);
        EXPECT_EQ(image_->Tx5ImageBuffer[3], 0xEE);
    }
    EXPECT_TRUE(prompts_.prompts().empty());
}

TEST_F(SpecialPidTest, HexFirmwareLoadsWithTheChipsFillAndSetsTheLevel) {
    WriteFirmware("fw.hex", ":0100100042AD\n");
    const struct {
        const char* chip;
        const char* type;
        std::uint8_t fill;
    } kCases[] = {
        {"TX64K39x", "HEX", 0x00},
        {"TX64K36x", "hex", 0xFF},
        {"NoSuchChip", "Hex", 0xFF},  // family 0's fill
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.chip);
        const SpecialFirmwareLoad load = LoadFirmware(Entry(c.chip, c.type, "fw.hex"));
        EXPECT_TRUE(load.Loaded);
        EXPECT_EQ(load.ChipName, c.chip);
        EXPECT_EQ(load.CodeSecurity, 2);
        EXPECT_EQ(image_->Tx64ImageBuffer[0x10], 0x42);
        EXPECT_EQ(image_->Tx64ImageBuffer[0x00], c.fill);
    }
    EXPECT_TRUE(prompts_.prompts().empty());
}

TEST_F(SpecialPidTest, FirmwareThatCannotBeLoadedFailsWithItsMessage) {
    WriteFirmware("empty.hex", ":00000001FF\n");
    const std::string hex_message =
        "The format of hex file for special VID 0x1234, PID 0x5678 is wrong!";
    const struct {
        const char* type;
        const char* fw_name;
        testing::Prompt message;
        bool level_set;
    } kCases[] = {
        {"TX5", "missing.tx5", Message("Error", "Load TX5 File Failed!!"), false},
        {"HEX", "missing.hex", Message(kTitle, hex_message), true},
        {"HEX", "empty.hex", Message(kTitle, hex_message), true},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.fw_name);
        prompts_.Clear();
        const SpecialFirmwareLoad load = LoadFirmware(Entry("TX64K36x", c.type, c.fw_name));
        EXPECT_FALSE(load.Loaded);
        EXPECT_EQ(load.ChipName, "TX64K36x");
        EXPECT_EQ(load.CodeSecurity.has_value(), c.level_set);
        EXPECT_EQ(prompts_.prompts(), std::vector{c.message});
    }
}

TEST_F(SpecialPidTest, OtherTypesLoadNothingAndSucceed) {
    WriteFirmware("fw.hex", ":0100000042BD\n");
    for (const char* type : {"BIN", "HEX        //No1. F/W format.", "", " HEX"}) {
        SCOPED_TRACE(type);
        image_->Tx64ImageBuffer.fill(0x5A);
        image_->Tx5ImageBuffer.fill(0x5A);
        const SpecialFirmwareLoad load = LoadFirmware(Entry("TX64K36x", type, "fw.hex"));
        EXPECT_TRUE(load.Loaded);
        EXPECT_EQ(load.ChipName, "TX64K36x");
        EXPECT_FALSE(load.CodeSecurity.has_value());
        EXPECT_EQ(image_->Tx64ImageBuffer[0], 0x5A);
        EXPECT_EQ(image_->Tx5ImageBuffer[0], 0x5A);
    }
    EXPECT_TRUE(prompts_.prompts().empty());
}

}  // namespace
}  // namespace txisp::firmware
