#pragma once

// Load File for a chip of the TX64 kind, once the operator has picked a HEX
// or binary file: the type follows from the path, the image goes into
// Tx64ImageBuffer at once (Start programs what the buffer then holds), and
// the rolling-code settings are looked for beside the file.

#include <filesystem>
#include <optional>
#include <string_view>

#include "firmware/bin_image.h"
#include "firmware/chip_data.h"
#include "firmware/firmware_image.h"
#include "firmware/hex_image.h"
#include "firmware/rolling_settings_file.h"
#include "platform/result.h"

namespace txisp::firmware {

enum class Tx64FileType { Hex, Bin, Neither };

// HEX when ".hex" first occurs in the path at a position other than 0,
// otherwise binary when ".bin" does; case-sensitive and anywhere in the path,
// so "fw/my.hex.files/fw.bin" is HEX and "FW.HEX" is neither.
Tx64FileType Tx64FileTypeOf(std::string_view path);

struct HexBinLoad {
    Tx64FileType Type = Tx64FileType::Neither;
    // Why nothing usable was loaded: the file could not be read, or a HEX
    // file held no data. Nobody is shown this; callers may log it.
    Status Outcome = Status::Ok();
    HexLoadReport Hex;  // Type Hex: what the load found
    BinLoadReport Bin;  // Type Bin
    // Looked up after every HEX load and every binary file that could be
    // read; nullopt when the path named neither type or the binary file
    // could not be opened.
    std::optional<RollingSettingsLocation> Rolling;
};

// Neither type leaves the buffer as it was; otherwise the buffer is filled
// with the family's fill value before the file is read.
HexBinLoad LoadHexBinFile(const std::filesystem::path& file, ChipFamily family,
                          FirmwareImage& image);

}  // namespace txisp::firmware
