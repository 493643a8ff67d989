#include "engine/run_params.h"

#include "platform/text.h"

namespace txisp::engine {
namespace {

constexpr std::size_t kPasswordDigitCount = 8;

}  // namespace

int IspTimingClassFor(firmware::ChipFamily family) {
    switch (family) {
        case 1:
        case 4:
        case 7:
        case 8:
        case 9:
        case 10:
        case 11:
            return 2;
        case 2:
        case 5:
            return 3;
        case 6:
            return 4;
        case 13:
        case 14:
            return 5;
        default:
            return 0;
    }
}

IspTiming IspTimingFor(firmware::ChipFamily family) {
    return IspTimingClasses[static_cast<std::size_t>(IspTimingClassFor(family))];
}

std::variant<isp::PasswordBytes, std::string_view> PackPassword(std::string_view text) {
    const std::size_t length = platform::Utf8ToUtf16(text).size();
    if (length == 0) return kPasswordEmpty;
    if (length != kPasswordDigitCount) return kPasswordLength;
    for (const char c : text) {
        if (c < '0' || c > '9') return kPasswordDigits;
    }
    isp::PasswordBytes bytes{};
    for (std::size_t j = 0; j < bytes.size(); ++j) {
        bytes[j] = static_cast<std::uint8_t>((text[2 * j] - '0') << 4 | (text[2 * j + 1] - '0'));
    }
    return bytes;
}

}  // namespace txisp::engine
