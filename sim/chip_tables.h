#pragma once

// The simulated chips' own data: what each chip family's boot loader knows
// about itself. Kept apart from the host's chip tables on purpose, so that a
// misreading of a row on either side makes a test fail instead of agreeing
// with itself.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace txisp::sim {

enum class ChipKind { Tx5, Tx64 };

// How the boot loader talks: 8-byte requests read back at once, 64-byte
// requests and raw reports, or 8-byte requests whose replies are fetched
// with the status request 0x2A.
enum class CommandSet { Byte8, StatusPolled, Byte64 };

// One chip variant. Addresses are word addresses for TX5 chips and byte
// addresses for TX64 chips, as on the wire.
struct ChipRow {
    int Row;
    std::string_view Label;
    std::uint32_t VersionAddress;     // TX5: where an image carries the version bytes
    std::uint32_t ChecksumLength;     // TX5: byte-sum length; TX64: flash size
    std::uint32_t CodeOptionAddress;  // TX5: the code-option words; TX64: 0
    std::uint8_t SecurityMask;
    std::uint8_t CrystalMask;
    std::uint16_t BlankChecksum;
    std::uint16_t EraseValue;  // the erase mode the chip expects for its main area
    std::uint16_t BlockCount;
    std::uint32_t OptionPage;  // word address of the 512-byte option page; 0: none
};

struct ChipFamilyData {
    int Family;
    ChipKind Kind;
    std::uint16_t BootPid;
    // Bytes d0 and d1 of the boot loader's version; TX64 chips also fix d2
    // and d3, TX5 chips report 00 and their variant there.
    std::array<std::uint8_t, 4> Version;
    int FirstRow;
    int Variants;  // rows of the family, from FirstRow on
    CommandSet Set;
    int DataBlockSize;  // bytes per raw data block of the programming phase
    // Bytes 0 .. n-1 of the flash hold the chip's own reset stub: the boot
    // loader never erases or programs them, yet they count in the checksum.
    std::span<const std::uint8_t> Stub;
};

inline constexpr std::uint16_t kBootLoaderVid = 0x5E3A;
inline constexpr std::uint32_t kOptionPageBytes = 512;
inline constexpr std::uint32_t kTx5FlashBytes = 0x8000;

// The family of a chip name, matched exactly and case-sensitively; nullopt
// for a name the chips do not answer to.
std::optional<int> FindChipFamily(std::string_view name);

// family: 0 .. 14.
const ChipFamilyData& FamilyData(int family);

// The row of a family's variant; nullopt when the family has no such variant.
const ChipRow* FindRow(int family, int variant);

std::span<const ChipRow> AllRows();

// Feature report length (report ID byte included) of a family's interfaces:
// 9 for families 0 to 8, 65 for the others.
int ReportLengthOf(int family);

std::uint16_t ByteSum16(std::span<const std::uint8_t> bytes);
std::uint16_t WordSum16(std::span<const std::uint8_t> bytes);

}  // namespace txisp::sim
