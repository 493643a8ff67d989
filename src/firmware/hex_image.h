#pragma once

// Intel HEX files for the TX64 kind, read the way the chips' firmware files
// have always been read: data records only, each at its 16-bit address
// whatever extended address precedes it, checksums not tested, and text
// taken in pieces of at most 259 characters per line.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "firmware/chip_data.h"
#include "firmware/firmware_image.h"
#include "platform/result.h"

namespace txisp::firmware {

// The longest piece of a line read at once; a longer line arrives in pieces
// and only the piece holding its line end is read as a record.
inline constexpr std::size_t kHexLinePieceChars = 259;

struct HexRecord {
    std::uint16_t Address = 0;
    std::uint8_t RecordType = 0;
    std::vector<std::uint8_t> Data;  // the data bytes of a type 00 record; empty otherwise
};

// One line without its line end. The character at position 0 is not looked
// at; then byte count, address and type, and for a type 00 record as many
// data bytes as the count says; anything after them (the checksum) is not
// read. Hex digits may be either case. A failure is a malformed line: fewer
// than 8 digits after position 0, a character that is not a hex digit where
// one is read, or fewer data digits than the byte count asks for.
Result<HexRecord> ParseHexLine(std::string_view line);

// Line numbers count from 1.
struct HexLoadReport {
    std::size_t DataBytes = 0;                // bytes stored in the buffer
    std::vector<std::size_t> MalformedLines;  // nothing stored from them
    std::vector<std::size_t> LongLines;     // longer than 259 characters: only the last piece read
    std::vector<std::size_t> ClippedLines;  // records running past 0xFFFF: the rest dropped
    std::optional<std::size_t> UnterminatedLine;  // a last line without line end, not read

    bool Loaded() const { return DataBytes > 0; }
};

// Fills all of Tx64ImageBuffer with the family's fill value, then stores the
// data records of `file`. Fails only when the file cannot be opened or read
// (the buffer then holds only the fill value); a file without data loads
// nothing, which Loaded() tells.
Result<HexLoadReport> LoadHexImage(const std::filesystem::path& file, ChipFamily family,
                                   FirmwareImage& image);

}  // namespace txisp::firmware
