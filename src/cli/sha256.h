#pragma once

// SHA-256 (FIPS 180-4) of a byte range, for the image fingerprint txisp
// image prints: two people comparing a loaded image compare one line.

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace txisp::cli {

using Sha256Digest = std::array<std::uint8_t, 32>;

Sha256Digest Sha256(std::span<const std::uint8_t> bytes);

// 64 lower-case hex digits.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);

}  // namespace txisp::cli
