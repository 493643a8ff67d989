#include "platform/text.h"

#include <algorithm>
#include <cstdint>

namespace txisp::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The first byte of a sequence decides its length and the range its second
// byte may take; the narrowed ranges are what rule out overlong forms,
// surrogates and code points past U+10FFFF.
struct LeadByte {
    int length = 0;  // 0: not a valid first byte
    std::uint8_t second_min = 0x80;
    std::uint8_t second_max = 0xBF;
};

LeadByte ClassifyLead(std::uint8_t byte) {
    if (byte < 0x80) return {1};
    if (byte >= 0xC2 && byte <= 0xDF) return {2};
    if (byte == 0xE0) return {3, 0xA0, 0xBF};
    if (byte == 0xED) return {3, 0x80, 0x9F};
    if (byte >= 0xE1 && byte <= 0xEF) return {3};
    if (byte == 0xF0) return {4, 0x90, 0xBF};
    if (byte >= 0xF1 && byte <= 0xF3) return {4};
    if (byte == 0xF4) return {4, 0x80, 0x8F};
    return {};
}

// Decodes the sequence at `pos` and advances past it. An ill-formed sequence
// gives one U+FFFD for its longest valid prefix (at least one byte), the usual
// way decoders replace, so one bad byte never swallows a good character after it.
char32_t DecodeOne(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<std::uint8_t>(text[pos++]);
    const LeadByte info = ClassifyLead(lead);
    if (info.length == 0) return kReplacement;
    if (info.length == 1) return lead;
    char32_t code = lead & (0x7F >> info.length);
    for (int i = 1; i < info.length; ++i) {
        if (pos >= text.size()) return kReplacement;
        const auto byte = static_cast<std::uint8_t>(text[pos]);
        const std::uint8_t min = i == 1 ? info.second_min : 0x80;
        const std::uint8_t max = i == 1 ? info.second_max : 0xBF;
        if (byte < min || byte > max) return kReplacement;
        code = (code << 6) | (byte & 0x3F);
        ++pos;
    }
    return code;
}

void AppendUtf16(std::u16string& out, char32_t code) {
    if (code < 0x10000) {
        out.push_back(static_cast<char16_t>(code));
        return;
    }
    code -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size())
        AppendUtf16(out, DecodeOne(text, pos));
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            const char32_t code = 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            AppendUtf8(out, code);
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::string ToLowerAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), LowerAscii);
    return out;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

}  // namespace txisp::platform
