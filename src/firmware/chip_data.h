#pragma once

// The chip knowledge built into the tool: which chip names exist, the family
// each belongs to, how each family's boot loader identifies itself, and the
// per-variant programming parameters. Everything here is constant; what a
// programming run learns from the device lives in FamilyRunState
// (firmware/family_run.h), created fresh for every run.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace txisp::firmware {

// 0 to 14. Look-ups that find nothing return the caller's own not-found value,
// so any int may arrive here.
using ChipFamily = std::int32_t;

inline constexpr ChipFamily kChipFamilyCount = 15;
inline constexpr std::uint16_t kMakerVid = 0x5E3A;

// The not-found value of the look-ups that must tell an unknown chip from
// family 0; it is no family and has no descriptor row.
inline constexpr ChipFamily kNoFamily = 0xFFFF;

struct ChipTableEntry {
    std::string_view Name;
    ChipFamily Family;
};

// A letter after the digits names a later chip generation with a family of
// its own; the "x" in the TX64 names is a literal character, not a wildcard.
// clang-format off
inline constexpr std::array<ChipTableEntry, 35> ChipTable = {{
    {"TX5K3317",    0},  // 1
    {"TX5K33177",   0},  // 2
    {"TX5K33137",   0},  // 3
    {"TX5K3318",    0},  // 4
    {"TX5K33187",   0},  // 5
    {"TX5K3311",    0},  // 6
    {"TX5K3307",    1},  // 7
    {"TX5K33037",   1},  // 8
    {"TX5K3300",    1},  // 9
    {"TX5K3358",    2},  // 10
    {"TX5K33587",   2},  // 11
    {"TX5K3355",    2},  // 12
    {"TX5K3317B",   3},  // 13
    {"TX5K33177B",  3},  // 14
    {"TX5K33137B",  3},  // 15
    {"TX5K3318B",   3},  // 16
    {"TX5K33187B",  3},  // 17
    {"TX5K3311B",   3},  // 18
    {"TX5K3307B",   4},  // 19
    {"TX5K33077B",  4},  // 20
    {"TX5K33037B",  4},  // 21
    {"TX5K3300B",   4},  // 22
    {"TX5K3355B",   5},  // 23
    {"TX5K33E28",   6},  // 24
    {"TX5K3304C",   7},  // 25
    {"TX5K3390D",   8},  // 26
    {"TX64K36x",    9},  // 27
    {"TX64K38x",   10},  // 28
    {"TX64K33x",   11},  // 29
    {"TX5K33E55B", 12},  // 30
    {"TX5K33E56B", 12},  // 31
    {"TX5K33E58B", 12},  // 32
    {"TX5K33E50B", 12},  // 33
    {"TX64K39x",   13},  // 34
    {"TX64K36xB",  14},  // 35
}};
// clang-format on

// What the chip list offers: every ChipTable name except "TX5K3355B" and
// "TX5K33E28", which only a prepared tool or a special VID/PID entry can name.
// clang-format off
inline constexpr std::array<std::string_view, 33> ChipListNames = {
    "TX5K3317",   "TX5K33177",  "TX5K33137",  "TX5K3318",   "TX5K33187",  "TX5K3311",
    "TX5K3307",   "TX5K33037",  "TX5K3300",   "TX5K3358",   "TX5K33587",  "TX5K3355",
    "TX5K3317B",  "TX5K33177B", "TX5K33137B", "TX5K3318B",  "TX5K33187B", "TX5K3311B",
    "TX5K3307B",  "TX5K33077B", "TX5K33037B", "TX5K3300B",
    "TX5K3304C",  "TX5K3390D",  "TX64K36x",   "TX64K38x",   "TX64K33x",
    "TX5K33E55B", "TX5K33E56B", "TX5K33E58B", "TX5K33E50B", "TX64K39x",   "TX64K36xB",
};
// clang-format on

// The family of the first ChipTable entry whose name equals `name` exactly
// (same bytes: case-sensitive, no trimming, no prefix match); `not_found`
// otherwise.
ChipFamily FindChipFamily(std::string_view name, ChipFamily not_found);

// 0 to 14.
bool IsChipFamily(ChipFamily family);

// Families 9, 10, 11, 13 and 14: 32-bit flash, Tx64ImageBuffer, WordSum16,
// HEX and binary files. Every other value, family 12 included, is of the TX5
// kind.
bool IsTx64Kind(ChipFamily family);

// The byte a HEX or binary load first fills Tx64ImageBuffer with, so every
// address the file leaves out reads as it: 0x00 for families 13 and 14, 0xFF
// for every other value.
std::uint8_t Tx64FillValue(ChipFamily family);

// Bytes of ISP data per HID report: 8 for families 8 and below, 64 above
// (family 12 included).
std::size_t ReportBlockSize(ChipFamily family);

// One row per family, indexed by the family code.
struct FamilyDescriptor {
    std::string_view Label;  // the family's representative chip; shown nowhere, decides nothing
    ChipFamily Family;
    std::uint16_t VID;          // of the boot loader
    std::uint16_t BootPID;      // product ID the boot loader enumerates under
    std::uint8_t VersionByte0;  // firmware-version bytes the boot loader must report
    std::uint8_t VersionByte1;
    // TX64 kind: the expected version bytes 2 and 3. TX5 kind: 0 here; a run
    // records what the device reported in its FamilyRunState.
    std::uint8_t VersionByte2;
    std::uint8_t VersionByte3;
    std::uint8_t VariantCount;       // informative only: some families share rows
    std::uint8_t FirstParameterRow;  // into ChipParameterTable
};

// clang-format off
inline constexpr std::array<FamilyDescriptor, kChipFamilyCount> FamilyDescriptorTable = {{
//   Label         Family VID      Boot PID  Version 0, 1  Version 2, 3  Variants First row
    {"TX5K3314",    0, kMakerVid, 0x7300,   0x00, 0x01,   0x00, 0x00,   2,       0},
    {"TX5K3304",    1, kMakerVid, 0x7400,   0x00, 0x02,   0x00, 0x00,   2,       2},
    {"TX5K3354",    2, kMakerVid, 0x7500,   0x00, 0x03,   0x00, 0x00,   1,       4},
    {"TX5K3314B",   3, kMakerVid, 0x7600,   0x00, 0x04,   0x00, 0x00,   2,       5},
    {"TX5K3304B",   4, kMakerVid, 0x7700,   0x00, 0x05,   0x00, 0x00,   2,       6},
    {"TX5K3354B",   5, kMakerVid, 0x7500,   0x00, 0x06,   0x00, 0x00,   1,       7},
    {"TX5K33E24",   6, kMakerVid, 0x75F0,   0x00, 0x07,   0x00, 0x00,   1,       8},
    {"TX5K3304C",   7, kMakerVid, 0x7700,   0x00, 0x08,   0x00, 0x00,   1,       9},
    {"TX5K3390D",   8, kMakerVid, 0x7800,   0x00, 0x09,   0x00, 0x00,   2,      10},
    {"TX64K362",    9, kMakerVid, 0x7900,   0x20, 0x01,   0x00, 0x03,   1,      12},
    {"TX64K382",   10, kMakerVid, 0x7900,   0x20, 0x01,   0x00, 0x02,   1,      13},
    {"TX64K332",   11, kMakerVid, 0x7900,   0x20, 0x01,   0x00, 0x01,   1,      14},
    {"TX5K33E55B", 12, kMakerVid, 0x7B00,   0x00, 0x0A,   0x00, 0x00,   1,      15},
    {"TX64K395",   13, kMakerVid, 0x7010,   0x20, 0x02,   0x00, 0x00,   1,      16},
    {"TX64K365B",  14, kMakerVid, 0x7040,   0x20, 0x03,   0x00, 0x00,   1,      17},
}};
// clang-format on

// The family's row; nullptr for a value that is not a family (a not-found
// value, for one), which has no boot-loader identity.
const FamilyDescriptor* FindFamilyDescriptor(ChipFamily family);

// One chip variant's programming parameters, fields in the order of the
// packed row layout. Addresses are 16-bit word addresses of the
// TX5 program memory (byte offset = 2 x address) unless said otherwise.
struct ChipParameters {
    std::string_view Label;
    std::uint8_t RowIndex;                     // the row's own position
    std::array<std::uint8_t, 4> VersionLabel;  // not consulted
    std::uint32_t VersionAddress;              // where the image keeps its 4 firmware-version bytes
    std::uint32_t ImageLength;    // TX64: flash size in bytes, covered by the verify checksum
    std::uint32_t ByteSumLength;  // TX5: image bytes from offset 0 covered by the verify checksum
    std::uint32_t CodeOptionAddress;
    std::uint32_t EndAddress;           // not consulted
    std::uint16_t SecurityMask;         // low byte: code-option bits that allow a rewrite
    std::uint16_t EraseWaitMultiplier;  // TX64: erase step delays per progress step
    std::uint16_t Reserved1;
    std::uint16_t CrystalMask;    // crystal-selection bits of code-option byte 6
    std::uint16_t BlankChecksum;  // what the chip reports for an erased main area
    std::uint16_t EraseValue;     // erase mode; its low 8 bits are sent
    std::uint16_t Reserved2;
    std::uint16_t BlockCount;  // data blocks of the programming phase
    std::uint16_t Reserved3;
    std::uint16_t EraseStart;
    std::array<std::uint8_t, 10> Tail;  // not consulted
};

inline constexpr std::size_t kChipParameterRowCount = 18;

// Row builders for ChipParameterTable, taking the columns a table row shows.
// The fields no sequence consults still get values that say something true
// about the row: the version label is the four version bytes the row's boot
// loader reports (for the TX5 kind the variant in byte 3), and the end
// address is the last word of the code-option area, with one exception
// below. Reserved fields and the tail are zero.
constexpr ChipParameters Tx5Row(std::uint8_t row, ChipFamily family, std::string_view label,
                                std::uint32_t version_address, std::uint32_t byte_sum_length,
                                std::uint32_t code_option_address, std::uint16_t security_mask,
                                std::uint16_t crystal_mask, std::uint16_t blank_checksum,
                                std::uint16_t erase_value, std::uint16_t block_count) {
    const FamilyDescriptor& d = FamilyDescriptorTable[static_cast<std::size_t>(family)];
    ChipParameters p{};
    p.Label = label;
    p.RowIndex = row;
    p.VersionLabel = {d.VersionByte0, d.VersionByte1, 0x00,
                      static_cast<std::uint8_t>(row - d.FirstParameterRow)};
    p.VersionAddress = version_address;
    // TX5 rows never use the image length; the programmed area is the
    // byte-sum length, so that is what it says.
    p.ImageLength = byte_sum_length;
    p.ByteSumLength = byte_sum_length;
    p.CodeOptionAddress = code_option_address;
    // The field only ever holds 0x0FFF, 0x27FF, 0x2FFF or 0x3FFF; the rows
    // with options at 0x13FC carry 0x27FF.
    p.EndAddress = code_option_address == 0x13FC ? 0x27FF : code_option_address + 3;
    p.SecurityMask = security_mask;
    p.CrystalMask = crystal_mask;
    p.BlankChecksum = blank_checksum;
    p.EraseValue = erase_value;
    p.BlockCount = block_count;
    return p;
}

// TX64 chips have no code-option words, crystal bits or image version
// address; those fields are zero, and the byte-sum length repeats the flash
// size so both length fields name the verified area.
constexpr ChipParameters Tx64Row(std::uint8_t row, ChipFamily family, std::string_view label,
                                 std::uint32_t image_length, std::uint16_t erase_wait_multiplier,
                                 std::uint16_t blank_checksum, std::uint16_t erase_value,
                                 std::uint16_t block_count) {
    const FamilyDescriptor& d = FamilyDescriptorTable[static_cast<std::size_t>(family)];
    ChipParameters p{};
    p.Label = label;
    p.RowIndex = row;
    p.VersionLabel = {d.VersionByte0, d.VersionByte1, d.VersionByte2, d.VersionByte3};
    p.ImageLength = image_length;
    p.ByteSumLength = image_length;
    p.EraseWaitMultiplier = erase_wait_multiplier;
    p.BlankChecksum = blank_checksum;
    p.EraseValue = erase_value;
    p.BlockCount = block_count;
    return p;
}

// clang-format off
inline constexpr std::array<ChipParameters, kChipParameterRowCount> ChipParameterTable = {{
//        Row Family Label        Version Byte-sum Code-option Security Crystal Blank    Erase Block
//                                address length   address     mask     mask    checksum value count
    Tx5Row( 0,  0, "TX5K3314",   0x200C, 0x4000,  0x27FC,     0x42,    0x30,   0xB0B0,  0x40, 2046),
    Tx5Row( 1,  0, "TX5K3314",   0x200C, 0x3F00,  0x27FC,     0x42,    0x30,   0xB1B0,  0x3F, 2014),
    Tx5Row( 2,  1, "TX5K3304",   0x0F8C, 0x1F00,  0x13FC,     0x02,    0x30,   0xD21F,  0x1F,  990),
    Tx5Row( 3,  1, "TX5K3304",   0x0F8C, 0x1E00,  0x13FC,     0x02,    0x30,   0xD31F,  0x1E,  958),
    Tx5Row( 4,  2, "TX5K3354",   0x288C, 0x5000,  0x2FFC,     0x02,    0x30,   0xA138,  0x50, 2558),
    Tx5Row( 5,  3, "TX5K3314B",  0x200C, 0x3F00,  0x27FC,     0x42,    0x30,   0xB1B0,  0x3F, 2014),
    Tx5Row( 6,  4, "TX5K3304B",  0x0F8C, 0x1E00,  0x13FC,     0x02,    0x30,   0xD31F,  0x1E,  958),
    Tx5Row( 7,  5, "TX5K3354B",  0x288C, 0x5000,  0x2FFC,     0x02,    0x30,   0xA138,  0x50, 2558),
    Tx5Row( 8,  6, "TX5K33E28",  0x3A8C, 0x7400,  0x3FFC,     0x02,    0xE0,   0x8542,  0x74, 3711),
    Tx5Row( 9,  7, "TX5K3304C",  0x0F8C, 0x1E00,  0x13FC,     0x02,    0x30,   0xD31F,  0x1E,  958),
    Tx5Row(10,  8, "TX5K3390D",  0x0D10, 0x1A00,  0x0FFC,     0x02,    0x00,   0xD69D,  0x0C,  830),
    Tx5Row(11,  8, "TX5K3390D",  0x0D10, 0x1A00,  0x0FFC,     0x02,    0x00,   0xD69D,  0x0C,  830),
//        Row Family Label        Image   Erase wait Blank    Erase   Block
//                                length  multiplier checksum value   count
    Tx64Row(12,  9, "TX64K362",  0x10000, 2,         0x8000,  0x0040, 1024),
    Tx64Row(13, 10, "TX64K382",  0x8000,  1,         0xC000,  0x0020,  512),
    Tx64Row(14, 11, "TX64K332",  0x4000,  1,         0xE000,  0x0010,  256),
    Tx5Row(15, 12, "TX5K33E55B", 0x3C10, 0x7600,  0x3FFC,     0x02,    0x30,   0x7ACC,  0x3A,  472),
    Tx64Row(16, 13, "TX64K395",  0x7800,  0,         0x8000,  0x01E0,  480),
    Tx64Row(17, 14, "TX64K365B", 0x10000, 0,         0x8000,  0x0400, 1024),
}};
// clang-format on

// The row, or nullptr beyond the last one: a device may report a variant
// byte that would select a row past the table.
const ChipParameters* FindChipParameters(std::size_t row);

}  // namespace txisp::firmware
