#include "firmware/firmware_image.h"

namespace txisp::firmware {

std::span<std::uint8_t> FirmwareImage::BufferFor(ChipFamily family) {
    if (IsTx64Kind(family)) return Tx64ImageBuffer;
    return Tx5ImageBuffer;
}

std::span<const std::uint8_t> FirmwareImage::BufferFor(ChipFamily family) const {
    if (IsTx64Kind(family)) return Tx64ImageBuffer;
    return Tx5ImageBuffer;
}

}  // namespace txisp::firmware
