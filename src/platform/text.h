#pragma once

// Small text helpers shared by the platform layer: UTF-8/UTF-16 conversion and
// ASCII case folding as the Windows functions the system was written against
// use it.

#include <string>
#include <string_view>

namespace txisp::platform {

// Invalid input (bad UTF-8 sequences, lone surrogates) becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Equal when they differ only in the letter case of ASCII letters.
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

std::string ToLowerAscii(std::string_view text);

// Without leading and trailing blanks and tabs.
std::string_view TrimBlanks(std::string_view text);

}  // namespace txisp::platform
