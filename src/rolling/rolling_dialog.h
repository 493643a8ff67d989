#pragma once

// The texts of the Rolling Code dialog, without the window: what its four
// boxes show when it opens and what OK stores. OK saves what the operator
// typed without checking the digits; the value is read leniently when used.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "rolling/rolling_settings.h"

namespace txisp::rolling {

// The value boxes take at most this many typed characters: 16 digits and
// three blanks.
inline constexpr std::size_t kRollingBoxLimit = 19;

struct RollingDialogFields {
    std::string Address;     // "Start Address :"
    std::string WordLength;  // "Word Length :"
    std::string Value;       // "Rolling Value :", shown form
    std::string Step;        // "Step Value :", shown form
};

// A stored value as the dialog shows it: led by "0" up to 16 characters, then
// blanks inserted at positions 4, 9 and 14 ("1A" -> "0000 0000 0000 001A").
// A longer text is not cut; a position beyond its end means its end. The
// letter case is left alone: the boxes themselves are upper-case.
std::string ShownRollingText(std::string_view stored);

// What OK stores for a shown text and a width of `digits`: the characters at
// positions 14, 9 and 4 are deleted in that order (the separators, when the
// text was typed with them; digits when it was not), then the first
// 16 - digits characters (all of them when there are fewer; none when
// digits is 16 or more).
std::string StoredRollingText(std::string_view shown, std::int64_t digits);

// The boxes' texts when the dialog opens: Address as "0x%X", Word_Length as
// "%d", Count and Step in the shown form.
RollingDialogFields LoadRollingDialogFields(const std::filesystem::path& settings_file);

// OK: writes the Address and Word Length texts unchanged and the two values
// in stored form, for a width taken from the Word Length text read as a
// signed integer (0 when it is no number, so both values become empty).
// False when a write failed; the writes after it are not attempted.
bool SaveRollingDialogFields(const std::filesystem::path& settings_file, RollingWidth width,
                             const RollingDialogFields& fields);

}  // namespace txisp::rolling
