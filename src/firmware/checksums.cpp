#include "firmware/checksums.h"

#include <cstddef>

namespace txisp::firmware {

std::uint16_t ByteSum16(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    for (std::uint8_t byte : bytes)
        sum += byte;
    return static_cast<std::uint16_t>(sum);
}

std::uint16_t WordSum16(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2)
        sum += bytes[i] | (static_cast<std::uint32_t>(bytes[i + 1]) << 8);
    if (i < bytes.size()) sum += bytes[i];
    return static_cast<std::uint16_t>(sum);
}

}  // namespace txisp::firmware
