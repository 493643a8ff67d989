#pragma once

// The rolling-code settings file beside the firmware file: where in the image
// the serial number goes, how wide it is, the next value and the step.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace txisp::rolling {

// The chip's program word: 16 bits for the 8-bit family, 32 bits for the
// 32-bit family. It decides how many hex digits one word of Word_Length holds.
enum class RollingWidth { Words16, Words32 };

inline constexpr std::string_view kRollingSection = "Rolling Code";
inline constexpr std::string_view kAddressKey = "Address";
inline constexpr std::string_view kWordLengthKey = "Word_Length";
inline constexpr std::string_view kCountKey = "Count";
inline constexpr std::string_view kStepKey = "Step";

// The value is at most 64 bits.
inline constexpr std::int64_t kMaxRollingDigits = 16;

struct RollingSettings {
    std::int32_t Address = 0;     // in 16-bit units: the value starts at byte 2 * Address
    std::int32_t WordLength = 0;  // words of the chip's width
    std::string Count;            // hex digits, most significant first: the value to program next
    std::string Step;             // hex digits: added after each device programmed
};

// Every key read by itself; a missing file or key gives 0 or "".
RollingSettings ReadRollingSettings(const std::filesystem::path& file);

// Hex digits the value occupies: 4 or 8 per word. Not limited: callers decide
// what to do with widths beyond kMaxRollingDigits.
std::int64_t RollingDigits(RollingWidth width, std::int64_t word_length);

// The largest Word_Length whose value still fits 64 bits: 4 or 2.
std::int32_t MaxWordLength(RollingWidth width);

}  // namespace txisp::rolling
