#pragma once

// INI profile files read and written the way products' settings files expect:
// the semantics of the Windows profile functions (GetPrivateProfileStringW,
// GetPrivateProfileIntW, WritePrivateProfileStringW) and of StrToIntExW, on
// files in UTF-16LE (with mark, as shipped), UTF-16BE (with mark) or UTF-8.
//
// Every call reads the file afresh: the file is the only store, as callers
// such as the run counters rely on.
//
// Texts cross this interface as UTF-8. Lengths that the Windows functions
// count in UTF-16 units (the 260-unit buffer) are counted in UTF-16 units here.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace txisp::platform {

// The buffer size the system reads text values into; a value keeps at most
// kProfileBufferUnits - 1 UTF-16 units.
inline constexpr std::size_t kProfileBufferUnits = 260;

// GetPrivateProfileStringW. Section and key are matched without regard to
// ASCII case, blanks around them ignored. The value is the rest of the line
// after the first '=', trimmed of blanks and tabs, with one enclosing pair of
// quotes removed; nothing is a comment. It is cut to buffer_units - 1 UTF-16
// units (never splitting a surrogate pair). A missing file, section or key
// gives default_value without its trailing blanks; an empty value is "".
std::string ReadProfileString(const std::filesystem::path& file, std::string_view section,
                              std::string_view key, std::string_view default_value,
                              std::size_t buffer_units = kProfileBufferUnits);

// GetPrivateProfileIntW: the value's first 20 characters read as an optional
// sign followed by "0x" and hex digits or by decimal digits, stopping at the
// first other character, wrapping modulo 2^32. A value with no leading number
// gives 0; an empty value or a missing file, section or key gives
// default_value.
std::int32_t ReadProfileInt(const std::filesystem::path& file, std::string_view section,
                            std::string_view key, std::int32_t default_value);

// WritePrivateProfileStringW. Creates the file (UTF-8, CR LF) when missing;
// otherwise replaces the first matching key's value in place (keeping the
// spelling of the key and section), adds a missing key at the end of its
// section and a missing section at the end of the file. Every other line and
// the file's encoding, byte-order mark and line ends stay as they were. The
// file is replaced atomically (temporary file in the same folder, flushed,
// renamed), so a crash leaves either the old or the new file. A symbolic link
// is followed and its target replaced. Returns false when the file could not
// be written.
bool WriteProfileString(const std::filesystem::path& file, std::string_view section,
                        std::string_view key, std::string_view value);

// StrToIntExW with hexadecimal support: leading blanks (space, tab, CR, LF),
// an optional sign, then "0x" and hex digits or decimal digits, up to the
// first other character; low 32 bits kept. The sign is ignored for
// hexadecimal. nullopt when no digit can be read.
std::optional<std::int32_t> ParseIntEx(std::string_view text);

}  // namespace txisp::platform
