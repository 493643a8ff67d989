#include "sim/chip_tables.h"

#include <algorithm>

namespace txisp::sim {
namespace {

struct ChipName {
    std::string_view Name;
    int Family;
};

constexpr ChipName kChipNames[] = {
    {"TX5K3317", 0},    {"TX5K33177", 0},   {"TX5K33137", 0},   {"TX5K3318", 0},
    {"TX5K33187", 0},   {"TX5K3311", 0},    {"TX5K3307", 1},    {"TX5K33037", 1},
    {"TX5K3300", 1},    {"TX5K3358", 2},    {"TX5K33587", 2},   {"TX5K3355", 2},
    {"TX5K3317B", 3},   {"TX5K33177B", 3},  {"TX5K33137B", 3},  {"TX5K3318B", 3},
    {"TX5K33187B", 3},  {"TX5K3311B", 3},   {"TX5K3307B", 4},   {"TX5K33077B", 4},
    {"TX5K33037B", 4},  {"TX5K3300B", 4},   {"TX5K3355B", 5},   {"TX5K33E28", 6},
    {"TX5K3304C", 7},   {"TX5K3390D", 8},   {"TX64K36x", 9},    {"TX64K38x", 10},
    {"TX64K33x", 11},   {"TX5K33E55B", 12}, {"TX5K33E56B", 12}, {"TX5K33E58B", 12},
    {"TX5K33E50B", 12}, {"TX64K39x", 13},   {"TX64K36xB", 14},
};

// Each stub sums to what makes an erased chip (0xFF from the stub's end to
// the byte-sum length) report the family's blank checksum.
constexpr std::uint8_t kStub0[] = {0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A,
                                   0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A};
constexpr std::uint8_t kStub1[] = {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                                   0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x10};
constexpr std::uint8_t kStub2[] = {0x13, 0x13, 0x13, 0x13, 0x13, 0x13, 0x13, 0x13,
                                   0x12, 0x12, 0x12, 0x12, 0x12, 0x12, 0x12, 0x12};
constexpr std::uint8_t kStub6[] = {0x28, 0x28, 0x27, 0x27, 0x27, 0x27, 0x27, 0x27};
constexpr std::uint8_t kStub8[] = {0x09, 0x09, 0x09, 0x09, 0x09, 0x09, 0x09, 0x09,
                                   0x09, 0x09, 0x09, 0x09, 0x09, 0x08, 0x08, 0x08};

using enum ChipKind;
using enum CommandSet;

// clang-format off
const ChipFamilyData kFamilies[] = {
//   family kind  boot PID  version bytes             first variants set           block stub
    {0,     Tx5,  0x7300, {0x00, 0x01, 0x00, 0x00}, 0,    2,       Byte8,        8,    kStub0},
    {1,     Tx5,  0x7400, {0x00, 0x02, 0x00, 0x00}, 2,    2,       Byte8,        8,    kStub1},
    {2,     Tx5,  0x7500, {0x00, 0x03, 0x00, 0x00}, 4,    1,       Byte8,        8,    kStub2},
    {3,     Tx5,  0x7600, {0x00, 0x04, 0x00, 0x00}, 5,    1,       Byte8,        8,    kStub0},
    {4,     Tx5,  0x7700, {0x00, 0x05, 0x00, 0x00}, 6,    1,       Byte8,        8,    kStub1},
    {5,     Tx5,  0x7500, {0x00, 0x06, 0x00, 0x00}, 7,    1,       Byte8,        8,    kStub2},
    {6,     Tx5,  0x75F0, {0x00, 0x07, 0x00, 0x00}, 8,    1,       StatusPolled, 8,    kStub6},
    {7,     Tx5,  0x7700, {0x00, 0x08, 0x00, 0x00}, 9,    1,       Byte8,        8,    kStub1},
    {8,     Tx5,  0x7800, {0x00, 0x09, 0x00, 0x00}, 10,   2,       Byte8,        8,    kStub8},
    {9,     Tx64, 0x7900, {0x20, 0x01, 0x00, 0x03}, 12,   1,       Byte64,       64,   {}},
    {10,    Tx64, 0x7900, {0x20, 0x01, 0x00, 0x02}, 13,   1,       Byte64,       64,   {}},
    {11,    Tx64, 0x7900, {0x20, 0x01, 0x00, 0x01}, 14,   1,       Byte64,       64,   {}},
    {12,    Tx5,  0x7B00, {0x00, 0x0A, 0x00, 0x00}, 15,   1,       Byte8,        64,   {}},
    {13,    Tx64, 0x7010, {0x20, 0x02, 0x00, 0x00}, 16,   1,       Byte64,       64,   {}},
    {14,    Tx64, 0x7040, {0x20, 0x03, 0x00, 0x00}, 17,   1,       Byte64,       64,   {}},
};

constexpr ChipRow Tx5Row(int row, std::string_view label, std::uint32_t version_address,
                         std::uint32_t byte_sum_length, std::uint32_t code_option_address,
                         std::uint8_t security_mask, std::uint8_t crystal_mask,
                         std::uint16_t blank_checksum, std::uint16_t erase_value,
                         std::uint16_t block_count, std::uint32_t option_page = 0) {
    return {row, label, version_address, byte_sum_length, code_option_address, security_mask,
            crystal_mask, blank_checksum, erase_value, block_count, option_page};
}

constexpr ChipRow Tx64Row(int row, std::string_view label, std::uint32_t image_length,
                          std::uint16_t blank_checksum, std::uint16_t erase_value,
                          std::uint16_t block_count) {
    return {row, label, 0, image_length, 0, 0, 0, blank_checksum, erase_value, block_count, 0};
}

const ChipRow kRows[] = {
//         row label         version  byte-sum code-opt security crystal blank   erase blocks option page
    Tx5Row( 0, "TX5K3314",   0x200C,  0x4000,  0x27FC,  0x42,    0x30,   0xB0B0, 0x40, 2046),
    Tx5Row( 1, "TX5K3314",   0x200C,  0x3F00,  0x27FC,  0x42,    0x30,   0xB1B0, 0x3F, 2014),
    Tx5Row( 2, "TX5K3304",   0x0F8C,  0x1F00,  0x13FC,  0x02,    0x30,   0xD21F, 0x1F, 990),
    Tx5Row( 3, "TX5K3304",   0x0F8C,  0x1E00,  0x13FC,  0x02,    0x30,   0xD31F, 0x1E, 958),
    Tx5Row( 4, "TX5K3354",   0x288C,  0x5000,  0x2FFC,  0x02,    0x30,   0xA138, 0x50, 2558),
    Tx5Row( 5, "TX5K3314B",  0x200C,  0x3F00,  0x27FC,  0x42,    0x30,   0xB1B0, 0x3F, 2014),
    Tx5Row( 6, "TX5K3304B",  0x0F8C,  0x1E00,  0x13FC,  0x02,    0x30,   0xD31F, 0x1E, 958),
    Tx5Row( 7, "TX5K3354B",  0x288C,  0x5000,  0x2FFC,  0x02,    0x30,   0xA138, 0x50, 2558),
    Tx5Row( 8, "TX5K33E28",  0x3A8C,  0x7400,  0x3FFC,  0x02,    0xE0,   0x8542, 0x74, 3711),
    Tx5Row( 9, "TX5K3304C",  0x0F8C,  0x1E00,  0x13FC,  0x02,    0x30,   0xD31F, 0x1E, 958),
    Tx5Row(10, "TX5K3390D",  0x0D10,  0x1A00,  0x0FFC,  0x02,    0x00,   0xD69D, 0x0C, 830),
    Tx5Row(11, "TX5K3390D",  0x0D10,  0x1A00,  0x0FFC,  0x02,    0x00,   0xD69D, 0x0C, 830, 0x0F00),
//          row label         image length      blank   erase   blocks
    Tx64Row(12, "TX64K362",  0x10000,          0x8000, 0x0040, 1024),
    Tx64Row(13, "TX64K382",  0x8000,           0xC000, 0x0020, 512),
    Tx64Row(14, "TX64K332",  0x4000,           0xE000, 0x0010, 256),
    Tx5Row(15, "TX5K33E55B", 0x3C10,  0x7600,  0x3FFC,  0x02,    0x30,   0x7ACC, 0x3A, 472,  0x3F00),
    Tx64Row(16, "TX64K395",  0x7800,           0x8000, 0x01E0, 480),
    Tx64Row(17, "TX64K365B", 0x10000,          0x8000, 0x0400, 1024),
};
// clang-format on

}  // namespace

std::optional<int> FindChipFamily(std::string_view name) {
    const auto* found = std::find_if(std::begin(kChipNames), std::end(kChipNames),
                                     [&](const ChipName& chip) { return chip.Name == name; });
    if (found == std::end(kChipNames)) return std::nullopt;
    return found->Family;
}

const ChipFamilyData& FamilyData(int family) {
    return kFamilies[family];
}

const ChipRow* FindRow(int family, int variant) {
    const ChipFamilyData& data = FamilyData(family);
    if (variant < 0 || variant >= data.Variants) return nullptr;
    return &kRows[data.FirstRow + variant];
}

std::span<const ChipRow> AllRows() {
    return kRows;
}

int ReportLengthOf(int family) {
    return family <= 8 ? 9 : 65;
}

std::uint16_t ByteSum16(std::span<const std::uint8_t> bytes) {
    unsigned sum = 0;
    for (std::uint8_t byte : bytes)
        sum += byte;
    return static_cast<std::uint16_t>(sum);
}

std::uint16_t WordSum16(std::span<const std::uint8_t> bytes) {
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        sum += bytes[i] | (bytes[i + 1] << 8);
    return static_cast<std::uint16_t>(sum);
}

}  // namespace txisp::sim
