#include "isp/mode_switch.h"

#include <optional>

#include "platform/text.h"

namespace txisp::isp {
namespace {

constexpr int kPolledFamily = 6;
constexpr std::size_t kCommandDigits = 16;
// The boot loader needs this long before it answers the first command.
constexpr std::uint32_t kBootLoaderStartMs = 10;

std::optional<std::uint8_t> HexDigit(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
    return std::nullopt;
}

std::optional<BootModeRequestBlock> ParseCommand(std::string_view text) {
    // The length is counted as the settings file's UTF-16 text counts it; a
    // non-ASCII character is then no hex digit anyway.
    if (platform::Utf8ToUtf16(text).size() != kCommandDigits) return std::nullopt;
    BootModeRequestBlock request{};
    for (std::size_t k = 0; k < request.size(); ++k) {
        const auto high = HexDigit(text[2 * k]);
        const auto low = HexDigit(text[2 * k + 1]);
        if (!high || !low) return std::nullopt;
        request[k] = static_cast<std::uint8_t>(*high << 4 | *low);
    }
    return request;
}

}  // namespace

BootModeRequestBlock DefaultBootModeRequest(int family) {
    return {0xAA, 0x55, 0xA5, 0x5A,
            0xFF, 0x00, 0x33, static_cast<std::uint8_t>(family == kPolledFamily ? 0x81 : 0xCC)};
}

BootModeRequestBlock BootModeRequest(int family, std::string_view check_device_cmd) {
    return ParseCommand(check_device_cmd).value_or(DefaultBootModeRequest(family));
}

bool ReturnBootMode(hid::HidDeviceTable& table, platform::Clock& clock, platform::Prompts& prompts,
                    StepLog& log, std::uint16_t vid, std::uint16_t pid, int family,
                    std::string_view check_device_cmd) {
    const BootModeRequestBlock request = BootModeRequest(family, check_device_cmd);
    if (table.SendFeatureBlock(vid, pid, request)) {
        clock.BusyWaitMs(kBootLoaderStartMs);
        return true;
    }
    log.Write(kReturnKernelModeFailedTrace);
    prompts.ShowMessage(kErrorCaption, kReturnBootModeFailed);
    return false;
}

}  // namespace txisp::isp
