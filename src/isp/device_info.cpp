#include "isp/device_info.h"

#include <array>
#include <cstdio>

namespace txisp::isp {
namespace {

constexpr std::uint32_t kReplyWaitMs = 10;

}  // namespace

std::optional<std::uint16_t> QueryDeviceInfo(hid::HidDeviceTable& table, platform::Clock& clock,
                                                std::uint16_t vid, std::uint16_t pid) {
    std::array<std::uint8_t, 64> request{0xAA, 0x55, 0xA5, 0x5A, 0xFF, 0x00, 0x33, 0x01};
    if (!table.SendFeatureBlock(vid, pid, request)) return std::nullopt;
    clock.BusyWaitMs(kReplyWaitMs);
    // Zero first: a 9-byte device fills only the first 8 bytes.
    std::array<std::uint8_t, 64> reply{};
    if (!table.ReceiveFeatureBlock(vid, pid, reply)) return std::nullopt;
    return static_cast<std::uint16_t>(reply[0] | (reply[1] << 8));
}

std::string FormatDeviceRevision(std::uint16_t version) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(version));
    return text;
}

}  // namespace txisp::isp
