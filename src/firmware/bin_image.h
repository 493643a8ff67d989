#pragma once

// Raw binary images for the TX64 kind: the flash itself, byte 0 at address 0.

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "firmware/chip_data.h"
#include "firmware/firmware_image.h"
#include "platform/result.h"

namespace txisp::firmware {

struct BinLoadReport {
    std::size_t DataBytes = 0;        // bytes stored from address 0
    std::uintmax_t DroppedBytes = 0;  // file bytes past 0xFFFF, not loaded
};

// Fills all of Tx64ImageBuffer with the family's fill value, then copies the
// file's first 0x10000 bytes to its start. Fails when the file cannot be
// opened or read; the buffer then holds only the fill value.
Result<BinLoadReport> LoadBinImage(const std::filesystem::path& file, ChipFamily family,
                                   FirmwareImage& image);

}  // namespace txisp::firmware
