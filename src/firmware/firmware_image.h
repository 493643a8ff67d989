#pragma once

// The two image buffers every firmware source writes and the programming run
// reads. The application owns one FirmwareImage for as long as it runs and
// hands it on by reference. Loads never clear a buffer first (except the
// TX64 fill before a HEX or binary load): bytes a load does not write keep
// what an earlier load left there, which the tool relies on.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "firmware/chip_data.h"

namespace txisp::firmware {

inline constexpr std::size_t kTx5ImageSize = 0x8400;
inline constexpr std::size_t kTx64ImageSize = 0x10000;

struct FirmwareImage {
    // TX5 kind: 16-bit program words, low byte first; word w at byte 2w.
    std::array<std::uint8_t, kTx5ImageSize> Tx5ImageBuffer{};
    // TX64 kind: byte offset = flash address.
    std::array<std::uint8_t, kTx64ImageSize> Tx64ImageBuffer{};

    // Tx64ImageBuffer for the TX64 kind, Tx5ImageBuffer for every other value.
    std::span<std::uint8_t> BufferFor(ChipFamily family);
    std::span<const std::uint8_t> BufferFor(ChipFamily family) const;
};

}  // namespace txisp::firmware
