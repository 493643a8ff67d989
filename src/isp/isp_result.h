#pragma once

// What every ISP command returns, and the status words the boot loader
// answers with. The values are the protocol's own: callers index the trace
// labels with them (check_command_result.h).

#include <array>
#include <cstdint>

namespace txisp::isp {

// clang-format off
inline constexpr int RETURN_OUT_FAILED      = 0;  // the request could not be sent
inline constexpr int RETURN_IN_FAILED       = 1;  // the reply could not be read
inline constexpr int RETURN_HEADER_FAILED   = 2;  // reply bytes 0 .. 3 differ from the request's
inline constexpr int RETURN_SEQUENCE_FAILED = 3;  // reserved: no command returns it
inline constexpr int RETURN_ACK_FAILED      = 4;  // the status word is not ISP_ACK
inline constexpr int RETURN_OK              = 5;
// clang-format on

using StatusWord = std::array<std::uint8_t, 4>;

inline constexpr StatusWord ISP_ACK = {0xFA, 0xFA, 0xFA, 0xFA};
// Only the status-polled set reports it, while the chip is still working.
inline constexpr StatusWord ISP_BUSY = {0xF0, 0xF0, 0xF0, 0xF0};

// The byte fields the commands exchange, in the order they travel.
using PasswordBytes = std::array<std::uint8_t, 4>;   // packed BCD, first two digits first
using VersionBytes = std::array<std::uint8_t, 4>;    // d0 .. d3 as the boot loader sends them
using SecurityBytes = std::array<std::uint8_t, 4>;   // s0 .. s3 of the TX64 boot loader
using CodeOptions = std::array<std::uint8_t, 8>;     // c0 .. c7: two option words, low byte first
using CodeOptions16 = std::array<std::uint8_t, 16>;  // c0 .. c15 of chips with an option page

}  // namespace txisp::isp
