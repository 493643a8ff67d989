// Erase, blank check, programming and verification for one row of every
// chip family, with the values of the chip tables.

#include <gtest/gtest.h>

#include "isp_scripts.h"

namespace txisp::sim::testing {
namespace {

struct FamilyCase {
    const char* Chip;
    int Variant;
    int Family;
    Wire Set;
    std::uint8_t EraseValue;
    std::uint16_t BlankChecksum;
    int Blocks;
    int BlockSize;
    int FirstByte;
    std::uint32_t Length;  // byte-sum length (TX5) or image length (TX64)
};

// clang-format off
const FamilyCase kFamilies[] = {
//   chip          var fam set                 erase blank   blocks size first length
    {"TX5K3317",   0,  0,  Wire::Byte8,        0x40, 0xB0B0, 2046,  8,   16,   0x4000},
    {"TX5K3307",   1,  1,  Wire::Byte8,        0x1E, 0xD31F, 958,   8,   16,   0x1E00},
    {"TX5K3358",   0,  2,  Wire::Byte8,        0x50, 0xA138, 2558,  8,   16,   0x5000},
    {"TX5K3317B",  0,  3,  Wire::Byte8,        0x3F, 0xB1B0, 2014,  8,   16,   0x3F00},
    {"TX5K3307B",  0,  4,  Wire::Byte8,        0x1E, 0xD31F, 958,   8,   16,   0x1E00},
    {"TX5K3355B",  0,  5,  Wire::Byte8,        0x50, 0xA138, 2558,  8,   16,   0x5000},
    {"TX5K33E28",  0,  6,  Wire::StatusPolled, 0x74, 0x8542, 3711,  8,   8,    0x7400},
    {"TX5K3304C",  0,  7,  Wire::Byte8,        0x1E, 0xD31F, 958,   8,   16,   0x1E00},
    {"TX5K3390D",  0,  8,  Wire::Byte8,        0x0C, 0xD69D, 830,   8,   16,   0x1A00},
    {"TX64K36x",   0,  9,  Wire::Byte64,       0x40, 0x8000, 1024,  64,  0,    0x10000},
    {"TX64K38x",   0,  10, Wire::Byte64,       0x20, 0xC000, 512,   64,  0,    0x8000},
    {"TX64K33x",   0,  11, Wire::Byte64,       0x10, 0xE000, 256,   64,  0,    0x4000},
    {"TX5K33E55B", 0,  12, Wire::Byte8,        0x3A, 0x7ACC, 472,   64,  0,    0x7600},
    {"TX64K39x",   0,  13, Wire::Byte64,       0xE0, 0x8000, 480,   64,  0,    0x7800},
    {"TX64K36xB",  0,  14, Wire::Byte64,       0x00, 0x8000, 1024,  64,  0,    0x10000},
};
// clang-format on

void PrintTo(const FamilyCase& row, std::ostream* out) {
    *out << row.Chip;
}

class ProgrammingEveryFamily : public ::testing::TestWithParam<FamilyCase> {};

Bytes PatternImage(std::uint32_t length) {
    Bytes image(length);
    for (std::uint32_t i = 0; i < length; ++i)
        image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8) * 3 + 1);
    return image;
}

TEST_P(ProgrammingEveryFamily, EraseBlankCheckProgramAndVerify) {
    const FamilyCase& row = GetParam();
    SimHarness h;
    h.Plug(Config(row.Chip, row.Variant));
    ASSERT_TRUE(EnterBootLoader(h, row.Family));

    const Bytes image = PatternImage(row.Length);
    const bool erases = row.Family != 13 && row.Family != 14;
    const ProgramResult result = Program(
        h, image, {row.Set, row.EraseValue, row.Blocks, row.BlockSize, row.FirstByte, erases});
    ASSERT_EQ(result.Failure, "");

    if (erases) {
        EXPECT_EQ(result.Blank, row.BlankChecksum);
    }
    EXPECT_EQ(row.Blocks * row.BlockSize + row.FirstByte, static_cast<int>(row.Length));
    unsigned expected = 0;
    if (row.Set == Wire::Byte64) {
        for (std::uint32_t i = 0; i < row.Length; i += 2)
            expected += image[i] | (image[i + 1] << 8);
    } else {
        // The chip adds the reset stub it holds below the first block. An
        // erased chip's blank checksum is that stub plus 0xFF for every
        // other byte, which gives the stub's sum.
        if (row.FirstByte > 0) expected = row.BlankChecksum - (row.Length - row.FirstByte) * 0xFFu;
        for (std::uint32_t i = static_cast<std::uint32_t>(row.FirstByte); i < row.Length; ++i)
            expected += image[i];
    }
    EXPECT_EQ(result.Checksum, static_cast<std::uint16_t>(expected));

    const SimDevice device = h.bus.Device(h.device);
    const auto flash = device.Memory().Bytes();
    EXPECT_TRUE(
        std::equal(image.begin() + row.FirstByte, image.end(), flash.begin() + row.FirstByte));
}

INSTANTIATE_TEST_SUITE_P(Sim, ProgrammingEveryFamily, ::testing::ValuesIn(kFamilies),
                         [](const auto& param_info) { return std::string(param_info.param.Chip); });

}  // namespace
}  // namespace txisp::sim::testing
