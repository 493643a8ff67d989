#include "cli/id_text.h"

#include <fmt/core.h>

namespace txisp::cli {
namespace {

std::optional<int> HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return std::nullopt;
}

}  // namespace

std::optional<std::uint16_t> ParseIdText(std::string_view text) {
    if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
    if (text.empty() || text.size() > 4) return std::nullopt;
    unsigned value = 0;
    for (const char c : text) {
        const std::optional<int> digit = HexDigitValue(c);
        if (!digit) return std::nullopt;
        value = value * 16 + static_cast<unsigned>(*digit);
    }
    return static_cast<std::uint16_t>(value);
}

std::string FormatIdText(std::uint16_t id) {
    return fmt::format("{:04X}", id);
}

std::string CheckIdText(const std::string& text) {
    if (ParseIdText(text)) return {};
    return fmt::format("\"{}\" is not a USB ID: give one to four hex digits, e.g. 5E3A", text);
}

}  // namespace txisp::cli
