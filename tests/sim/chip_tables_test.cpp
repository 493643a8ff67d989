// The simulated chips' own tables: the relations between their columns that
// a wrong digit would break.

#include "sim/chip_tables.h"

#include <gtest/gtest.h>

#include <vector>

#include "sim/chip_memory.h"

namespace txisp::sim {
namespace {

TEST(ChipTables, NamesAreMatchedExactly) {
    const struct {
        const char* Name;
        std::optional<int> Family;
    } cases[] = {
        {"TX5K3317", 0},  {"TX64K36x", 9},    {"TX64K36xB", 14}, {"TX5K3355B", 5},
        {"TX5K33E28", 6}, {"TX5K33E50B", 12}, {"tx5k3317", {}},  {"TX5K3317 ", {}},
        {"", {}},         {"TX5K3314", {}},   {"TX64K36", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(FindChipFamily(c.Name), c.Family);
    }
}

TEST(ChipTables, EveryRowsBlocksEndAtItsChecksumLength) {
    for (int family = 0; family < 15; ++family) {
        const ChipFamilyData& data = FamilyData(family);
        EXPECT_EQ(data.Family, family);
        for (int variant = 0; variant < data.Variants; ++variant) {
            const ChipRow* row = FindRow(family, variant);
            ASSERT_NE(row, nullptr);
            SCOPED_TRACE(row->Row);
            EXPECT_EQ(row->BlockCount * data.DataBlockSize + data.Stub.size(), row->ChecksumLength);
        }
        EXPECT_EQ(FindRow(family, data.Variants), nullptr);
    }
}

TEST(ChipTables, ErasedChipsAddUpToTheirBlankChecksum) {
    // Family 12 reports a blank checksum that no erased flash adds up to; it
    // is the one row whose chip answers from its erased state instead.
    for (int family = 0; family < 15; ++family) {
        const ChipFamilyData& data = FamilyData(family);
        if (family == 12 || family == 13 || family == 14) continue;  // 13 and 14 are never erased
        const ChipRow& row = *FindRow(family, 0);
        SCOPED_TRACE(row.Row);
        std::vector<std::uint8_t> erased(row.ChecksumLength, 0xFF);
        std::copy(data.Stub.begin(), data.Stub.end(), erased.begin());
        EXPECT_EQ(data.Kind == ChipKind::Tx5 ? ByteSum16(erased) : WordSum16(erased),
                  row.BlankChecksum);
    }
}

TEST(ChipTables, CodeOptionsAndOptionPagesLieOutsideTheMainArea) {
    for (int family = 0; family < 15; ++family) {
        const ChipFamilyData& data = FamilyData(family);
        if (data.Kind != ChipKind::Tx5) continue;
        for (int variant = 0; variant < data.Variants; ++variant) {
            const ChipRow& row = *FindRow(family, variant);
            SCOPED_TRACE(row.Row);
            const ChipMemory memory(data, row);
            const auto options = memory.CodeOptions();
            ASSERT_FALSE(options.empty());
            const auto offset = static_cast<std::size_t>(options.data() - memory.Bytes().data());
            EXPECT_GE(offset, memory.MainEnd());
            EXPECT_LE(offset + options.size(), memory.Bytes().size());
            if (memory.HasOptionPage()) {
                EXPECT_EQ(offset + options.size(), memory.OptionPageOffset() + kOptionPageBytes);
            }
        }
    }
}

TEST(ChipTables, ByteAndWordSumsKeepSixteenBits) {
    const std::uint8_t abc[] = {0x61, 0x62, 0x63};
    EXPECT_EQ(ByteSum16(abc), 0x0126);
    const std::vector<std::uint8_t> ones(0x10000, 0xFF);
    EXPECT_EQ(ByteSum16(ones), 0x0000);
    EXPECT_EQ(WordSum16(ones), 0x8000);
}

}  // namespace
}  // namespace txisp::sim
