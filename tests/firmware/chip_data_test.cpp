#include "firmware/chip_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "firmware/checksums.h"

namespace txisp::firmware {
namespace {

TEST(FindChipFamilyTest, MatchesWholeNamesExactly) {
    const struct {
        const char* name;
        ChipFamily family;
    } kCases[] = {
        {"TX5K3317", 0},   {"TX64K36x", 9},
        {"TX64K36xB", 14},  // not the "TX64K36x" prefix
        {"TX5K3317B", 3},  {"TX5K33E50B", 12},
        {"TX5K3355B", 5},                     // found although the chip list never offers it
        {"TX5K33E28", 6},                     // likewise
        {"tx5k3317", -1},                     // case-sensitive
        {"TX5K3317 ", -1},                    // no trimming
        {" TX5K3317", -1}, {"TX5K331", -1},   // no prefix match
        {"TX64K36", -1},   {"TX64K36X", -1},  // the x is literal
        {"", -1},          {"TX5K3314", -1},  // family labels are not chip names
        {"TX64K362", -1},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FindChipFamily(c.name, -1), c.family);
    }
    EXPECT_EQ(FindChipFamily(std::string_view("TX5K3317\0", 9), -1), -1);
    EXPECT_EQ(FindChipFamily("nothing", kNoFamily), kNoFamily);
    EXPECT_EQ(FindChipFamily("nothing", 0), 0);
}

// Most labels name no chip; the few that do must name one of their family.
TEST(FindChipFamilyTest, ALabelThatIsAChipNameBelongsToItsFamily) {
    for (const FamilyDescriptor& d : FamilyDescriptorTable) {
        SCOPED_TRACE(std::string(d.Label));
        EXPECT_EQ(FindChipFamily(d.Label, d.Family), d.Family);
    }
}

TEST(ChipKindTest, KindBlockSizeAndFillFollowTheFamily) {
    const struct {
        ChipFamily family;
        bool tx64;
        std::size_t block_size;
        std::uint8_t fill;
    } kCases[] = {
        {0, false, 8, 0xFF},   {6, false, 8, 0xFF},  {8, false, 8, 0xFF},
        {9, true, 64, 0xFF},   {10, true, 64, 0xFF}, {11, true, 64, 0xFF},
        {12, false, 64, 0xFF},  // TX5 kind, yet 64-byte reports
        {13, true, 64, 0x00},  {14, true, 64, 0x00}, {kNoFamily, false, 64, 0xFF},
        {-1, false, 8, 0xFF},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.family);
        EXPECT_EQ(IsTx64Kind(c.family), c.tx64);
        EXPECT_EQ(ReportBlockSize(c.family), c.block_size);
        EXPECT_EQ(Tx64FillValue(c.family), c.fill);
    }
}

TEST(ChipTableTest, ListOffersEveryTableNameButTwoInTableOrder) {
    std::vector<std::string_view> expected;
    for (const ChipTableEntry& entry : ChipTable) {
        if (entry.Name != "TX5K3355B" && entry.Name != "TX5K33E28") expected.push_back(entry.Name);
    }
    EXPECT_EQ(std::vector<std::string_view>(ChipListNames.begin(), ChipListNames.end()), expected);

    std::set<std::string_view> names;
    for (const ChipTableEntry& entry : ChipTable) {
        EXPECT_TRUE(names.insert(entry.Name).second) << entry.Name << " twice";
        EXPECT_TRUE(IsChipFamily(entry.Family)) << entry.Name;
    }
}

TEST(ChipTableTest, DescriptorsAreIndexedByFamilyAndUseTheMakerVid) {
    for (std::size_t i = 0; i < FamilyDescriptorTable.size(); ++i) {
        const FamilyDescriptor& d = FamilyDescriptorTable[i];
        SCOPED_TRACE(std::string(d.Label));
        EXPECT_EQ(d.Family, static_cast<ChipFamily>(i));
        EXPECT_EQ(FindFamilyDescriptor(d.Family), &d);
        EXPECT_EQ(d.VID, kMakerVid);
        if (!IsTx64Kind(d.Family)) {
            EXPECT_EQ(d.VersionByte2, 0);
            EXPECT_EQ(d.VersionByte3, 0);
        }
    }
    EXPECT_EQ(FindFamilyDescriptor(15), nullptr);
    EXPECT_EQ(FindFamilyDescriptor(kNoFamily), nullptr);
    EXPECT_EQ(FindFamilyDescriptor(-1), nullptr);
}

// Where each sequence starts sending the image and how much each block holds.
struct BlockLayout {
    std::size_t size;
    std::size_t first_byte;
};

BlockLayout Tx5BlockLayout(ChipFamily family) {
    if (family == 6) return {8, 8};
    if (family == 12) return {64, 0};
    return {8, 16};
}

// Every family's rows, walked through its first row and variant count, must
// end their data blocks exactly at the checksummed length, and every row must
// belong to some family of its own kind.
TEST(ChipParameterTableTest, EveryFamilysRowsFitItsSequence) {
    std::set<std::size_t> covered;
    for (const FamilyDescriptor& d : FamilyDescriptorTable) {
        SCOPED_TRACE(std::string(d.Label));
        ASSERT_GE(d.VariantCount, 1);
        ASSERT_LE(d.FirstParameterRow + d.VariantCount, kChipParameterRowCount);
        for (std::size_t row = d.FirstParameterRow; row < d.FirstParameterRow + d.VariantCount;
             ++row) {
            SCOPED_TRACE(row);
            const ChipParameters& p = ChipParameterTable[row];
            covered.insert(row);
            EXPECT_EQ(p.EraseStart, 0);
            if (IsTx64Kind(d.Family)) {
                EXPECT_EQ(p.BlockCount * 64u, p.ImageLength);
                EXPECT_LE(p.ImageLength, 0x10000u);
                EXPECT_EQ(p.CodeOptionAddress, 0u);
            } else {
                const BlockLayout layout = Tx5BlockLayout(d.Family);
                EXPECT_EQ(p.BlockCount * layout.size + layout.first_byte, p.ByteSumLength);
                EXPECT_LE(p.ByteSumLength, 0x8400u);
                // Code options and the image version lie inside the TX5 buffer.
                EXPECT_LE(2 * p.CodeOptionAddress + 8, 0x8400u);
                EXPECT_LE(2 * p.VersionAddress + 4, 0x8400u);
                EXPECT_EQ(p.ImageLength, 0u + p.ByteSumLength);
            }
        }
    }
    EXPECT_EQ(covered.size(), kChipParameterRowCount);
}

TEST(ChipParameterTableTest, RowsKnowTheirPlaceAndLookUpStopsAtTheEnd) {
    for (std::size_t row = 0; row < kChipParameterRowCount; ++row) {
        EXPECT_EQ(ChipParameterTable[row].RowIndex, row);
        EXPECT_EQ(FindChipParameters(row), &ChipParameterTable[row]);
    }
    EXPECT_EQ(FindChipParameters(kChipParameterRowCount), nullptr);
    EXPECT_EQ(FindChipParameters(255 + 15), nullptr);
}

// The TX64 chips report the word sum of their erased flash after an erase.
TEST(ChipParameterTableTest, ErasedTx64AreasSumToTheBlankChecksum) {
    for (std::size_t row : {12u, 13u, 14u}) {
        SCOPED_TRACE(row);
        const ChipParameters& p = ChipParameterTable[row];
        const std::vector<std::uint8_t> erased(p.ImageLength, 0xFF);
        EXPECT_EQ(WordSum16(erased), p.BlankChecksum);
    }
}

}  // namespace
}  // namespace txisp::firmware
