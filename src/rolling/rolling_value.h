#pragma once

// The rolling value as a number: reading the stored hex text, stepping it and
// writing it back.

#include <cstdint>
#include <string>
#include <string_view>

namespace txisp::rolling {

// The text read as a number of `digits` hex digits (1 to 16), either letter
// case. The text is aligned on its last character, as the dialog shows and
// stores it: a shorter text reads as if led by zeros, a longer one by its
// last `digits` characters. A character that is not a hex digit reads as 0,
// so every text has a value and programming and advancing agree on it.
std::uint64_t ReadRollingValue(std::string_view text, int digits);

// value + step modulo 2^64; a sum that needs more than `digits` hex digits
// starts again at 0 (not at the remainder: FFFE + 3 is 0000, not 0001).
std::uint64_t NextRollingValue(std::uint64_t value, std::uint64_t step, int digits);

// `steps` successive NextRollingValue; each step may start again at 0.
std::uint64_t AdvanceRollingValue(std::uint64_t value, std::uint64_t step, int digits,
                                  std::uint64_t steps);

// Exactly `digits` lower-case hex digits, the stored form.
std::string FormatRollingValue(std::uint64_t value, int digits);

}  // namespace txisp::rolling
