#include "rolling/rolling_value.h"

#include <optional>

#include "platform/text.h"

namespace txisp::rolling {
namespace {

std::optional<unsigned> HexDigitValue(char16_t unit) {
    if (unit >= u'0' && unit <= u'9') return unit - u'0';
    if (unit >= u'a' && unit <= u'f') return unit - u'a' + 10;
    if (unit >= u'A' && unit <= u'F') return unit - u'A' + 10;
    return std::nullopt;
}

// 16^digits, for digits below 16.
std::uint64_t Limit(int digits) {
    return std::uint64_t{1} << (4 * digits);
}

}  // namespace

std::uint64_t ReadRollingValue(std::string_view text, int digits) {
    // Characters, not bytes: a stray non-ASCII letter counts as one place.
    const std::u16string units = platform::Utf8ToUtf16(text);
    const auto width = static_cast<std::size_t>(digits);
    const std::size_t lead = units.size() < width ? width - units.size() : 0;
    const std::size_t first = units.size() > width ? units.size() - width : 0;
    std::uint64_t value = 0;
    for (std::size_t place = 0; place < width; ++place) {
        const unsigned digit =
            place < lead ? 0 : HexDigitValue(units[first + place - lead]).value_or(0);
        value = (value << 4) | digit;
    }
    return value;
}

std::uint64_t NextRollingValue(std::uint64_t value, std::uint64_t step, int digits) {
    const std::uint64_t sum = value + step;
    if (digits < 16 && sum >= Limit(digits)) return 0;
    return sum;
}

std::uint64_t AdvanceRollingValue(std::uint64_t value, std::uint64_t step, int digits,
                                  std::uint64_t steps) {
    for (std::uint64_t i = 0; i < steps; ++i)
        value = NextRollingValue(value, step, digits);
    return value;
}

std::string FormatRollingValue(std::uint64_t value, int digits) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text(static_cast<std::size_t>(digits), '0');
    for (auto place = text.rbegin(); place != text.rend(); ++place) {
        *place = kDigits[value & 0xF];
        value >>= 4;
    }
    return text;
}

}  // namespace txisp::rolling
