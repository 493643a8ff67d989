#pragma once

// The two 16-bit image checksums: the TX5 kind's chips sum bytes, the TX64
// kind's chips sum little-endian words.

#include <cstdint>
#include <span>

namespace txisp::firmware {

// The sum of the bytes, low 16 bits kept.
std::uint16_t ByteSum16(std::span<const std::uint8_t> bytes);

// The sum of the little-endian 16-bit words (byte 2i + 256 x byte 2i+1), low
// 16 bits kept. An odd last byte counts as a word of its own with a high byte
// of 0, as if the data were padded with a zero byte: an odd-sized embedded
// image then still gets a defined checksum.
std::uint16_t WordSum16(std::span<const std::uint8_t> bytes);

}  // namespace txisp::firmware
