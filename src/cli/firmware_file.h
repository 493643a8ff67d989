#pragma once

// Loading a firmware file the way the window's Load File does - a TX5 file
// for a chip of the TX5 kind, HEX or binary by the path's text for the TX64
// kind - but refusing what the window would carry on with silently: a TX5
// header that does not name the chip, a file that cannot be opened, a path
// that names neither type, a file that loads no data. What loads despite a
// flaw (malformed HEX lines, bytes beyond the buffer) comes with warnings.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/chip_data.h"
#include "firmware/firmware_image.h"
#include "platform/result.h"

namespace txisp::cli {

enum class FirmwareFileType { Tx5, Hex, Bin };

struct LoadedFirmware {
    std::string ChipName;
    firmware::ChipFamily Family = 0;
    FirmwareFileType FileType = FirmwareFileType::Tx5;
    // A fresh image per load: no earlier load shows through.
    std::unique_ptr<firmware::FirmwareImage> Image;
    // Bytes the load wrote into the buffer.
    std::size_t Size = 0;
    // Bytes of the file beyond what the buffer holds, not loaded.
    std::uintmax_t DroppedBytes = 0;
    // The checksum the embedded configuration logs for this image: ByteSum16
    // over the bytes a TX5 file supplied; WordSum16 over the family's flash
    // size for HEX and binary files (what Load File sums, and what a
    // prepared tool carries).
    std::uint16_t Checksum = 0;
    std::size_t ChecksumLength = 0;
    // TX5 kind: the four bytes at the first parameter row's version address.
    std::optional<std::array<std::uint8_t, 4>> VersionBytes;
    std::uint32_t VersionWordAddress = 0;
    std::vector<std::string> Warnings;

    bool Tx64Kind() const { return firmware::IsTx64Kind(Family); }
    // The whole buffer of the chip's kind.
    std::span<const std::uint8_t> Buffer() const;
    // The bytes the checksum covers: what a prepared tool embeds.
    std::span<const std::uint8_t> ChecksummedBytes() const;
};

// `chip_name` must be a chip-table name. A failure means exit code 5.
Result<LoadedFirmware> LoadFirmwareFile(const std::filesystem::path& file,
                                        std::string_view chip_name);

std::string_view FileTypeName(FirmwareFileType type);

// "Checksum : %04X", the line the embedded configuration logs.
std::string ChecksumLine(std::uint16_t checksum);

}  // namespace txisp::cli
