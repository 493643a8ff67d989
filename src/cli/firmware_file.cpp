#include "cli/firmware_file.h"

#include <fmt/core.h>

#include <algorithm>

#include "firmware/bin_image.h"
#include "firmware/checksums.h"
#include "firmware/file_reading.h"
#include "firmware/hex_image.h"
#include "firmware/tx5_file.h"
#include "firmware/tx64_file.h"

namespace txisp::cli {
namespace {

using firmware::ChipParameters;

const ChipParameters& FirstParameterRow(firmware::ChipFamily family) {
    const firmware::FamilyDescriptor& descriptor = *firmware::FindFamilyDescriptor(family);
    return *firmware::FindChipParameters(descriptor.FirstParameterRow);
}

std::string LineList(const std::vector<std::size_t>& lines) {
    std::string text;
    for (const std::size_t line : lines) {
        if (!text.empty()) text += ", ";
        text += std::to_string(line);
    }
    return text;
}

Status LoadTx5(const std::filesystem::path& file, LoadedFirmware& loaded) {
    Result<firmware::FileSlice> header = firmware::ReadFileSlice(file, 0, firmware::kTx5HeaderSize);
    if (!header) return Status::Fail("cannot open " + file.string() + ": " + header.error());
    if (!firmware::CheckTx5Header(header->Bytes, loaded.ChipName)) {
        return Status::Fail(fmt::format("{} ({}: its 256-byte header does not name {})",
                                        firmware::kNotValidTx5File, file.string(),
                                        loaded.ChipName));
    }
    Result<firmware::Tx5ImageRead> read = firmware::ReadTx5Image(file, *loaded.Image);
    if (!read) return Status::Fail("cannot read " + file.string() + ": " + read.error());
    if (read->ImageLength == 0) {
        return Status::Fail(file.string() + " holds no program image after its 256-byte header");
    }
    loaded.FileType = FirmwareFileType::Tx5;
    loaded.Size = read->ImageLength;
    loaded.DroppedBytes = read->DroppedBytes;
    if (read->DroppedBytes > 0) {
        loaded.Warnings.push_back(
            fmt::format("{}: {} image bytes beyond the 0x{:X}-byte TX5 buffer were not loaded",
                        file.string(), read->DroppedBytes, firmware::kTx5ImageSize));
    }
    const auto image = std::span<const std::uint8_t>(loaded.Image->Tx5ImageBuffer);
    loaded.ChecksumLength = loaded.Size;
    loaded.Checksum = firmware::ByteSum16(image.first(loaded.ChecksumLength));
    loaded.VersionWordAddress = FirstParameterRow(loaded.Family).VersionAddress;
    std::array<std::uint8_t, 4> version{};
    std::ranges::copy(image.subspan(2 * std::size_t{loaded.VersionWordAddress}, 4),
                      version.begin());
    loaded.VersionBytes = version;
    return Status::Ok();
}

void AddHexWarnings(const std::filesystem::path& file, const firmware::HexLoadReport& report,
                    std::vector<std::string>& warnings) {
    if (!report.MalformedLines.empty()) {
        warnings.push_back(fmt::format("{}: malformed line(s) {} skipped, nothing stored from them",
                                       file.string(), LineList(report.MalformedLines)));
    }
    if (!report.LongLines.empty()) {
        warnings.push_back(
            fmt::format("{}: line(s) {} longer than {} characters: only their last piece was read",
                        file.string(), LineList(report.LongLines), firmware::kHexLinePieceChars));
    }
    if (!report.ClippedLines.empty()) {
        warnings.push_back(fmt::format("{}: record(s) on line(s) {} run past 0xFFFF: cut there",
                                       file.string(), LineList(report.ClippedLines)));
    }
    if (report.UnterminatedLine) {
        warnings.push_back(fmt::format("{}: last line {} has no line end and was not read",
                                       file.string(), *report.UnterminatedLine));
    }
}

// Load File takes the type from the whole path, so a folder named
// "old.hex.files" makes every file in it HEX; worth a word when it happens.
void WarnAboutFolderDecidedType(const std::filesystem::path& file, std::string_view marker,
                                std::vector<std::string>& warnings) {
    if (file.filename().string().find(marker) != std::string::npos) return;
    warnings.push_back(
        fmt::format("{}: taken as {} because \"{}\" occurs in its path, as Load File decides",
                    file.string(), marker.substr(1), marker));
}

Status LoadHex(const std::filesystem::path& file, const std::filesystem::path& path,
               LoadedFirmware& loaded) {
    loaded.FileType = FirmwareFileType::Hex;
    WarnAboutFolderDecidedType(path, ".hex", loaded.Warnings);
    Result<firmware::HexLoadReport> hex =
        firmware::LoadHexImage(path, loaded.Family, *loaded.Image);
    if (!hex) return hex.status();
    AddHexWarnings(file, *hex, loaded.Warnings);
    if (!hex->Loaded()) return Status::Fail(file.string() + ": no data byte was loaded");
    loaded.Size = hex->DataBytes;
    return Status::Ok();
}

Status LoadBin(const std::filesystem::path& file, const std::filesystem::path& path,
               LoadedFirmware& loaded) {
    loaded.FileType = FirmwareFileType::Bin;
    WarnAboutFolderDecidedType(path, ".bin", loaded.Warnings);
    Result<firmware::BinLoadReport> bin =
        firmware::LoadBinImage(path, loaded.Family, *loaded.Image);
    if (!bin) return bin.status();
    if (bin->DataBytes == 0) return Status::Fail(file.string() + " is empty");
    loaded.Size = bin->DataBytes;
    loaded.DroppedBytes = bin->DroppedBytes;
    if (bin->DroppedBytes > 0) {
        loaded.Warnings.push_back(fmt::format("{}: {} bytes past 0xFFFF were not loaded",
                                              file.string(), bin->DroppedBytes));
    }
    return Status::Ok();
}

// The type comes from the path as the file dialog hands it over: absolute.
Status LoadTx64(const std::filesystem::path& file, LoadedFirmware& loaded) {
    const std::filesystem::path path = std::filesystem::absolute(file);
    Status status = Status::Ok();
    switch (firmware::Tx64FileTypeOf(path.string())) {
        case firmware::Tx64FileType::Neither:
            return Status::Fail(fmt::format(
                "{}: neither a HEX nor a binary file: the path must contain \".hex\" or \".bin\" "
                "(lower case), as Load File decides",
                file.string()));
        case firmware::Tx64FileType::Hex:
            status = LoadHex(file, path, loaded);
            break;
        case firmware::Tx64FileType::Bin:
            status = LoadBin(file, path, loaded);
            break;
    }
    if (!status) return status;
    const auto image = std::span<const std::uint8_t>(loaded.Image->Tx64ImageBuffer);
    loaded.ChecksumLength = FirstParameterRow(loaded.Family).ImageLength;
    loaded.Checksum = firmware::WordSum16(image.first(loaded.ChecksumLength));
    const std::uint8_t fill = firmware::Tx64FillValue(loaded.Family);
    const auto beyond = image.subspan(loaded.ChecksumLength);
    if (std::ranges::any_of(beyond, [fill](std::uint8_t b) { return b != fill; })) {
        loaded.Warnings.push_back(fmt::format(
            "{}: data beyond the chip's 0x{:X}-byte flash is loaded but never programmed",
            file.string(), loaded.ChecksumLength));
    }
    return Status::Ok();
}

}  // namespace

std::span<const std::uint8_t> LoadedFirmware::Buffer() const {
    return Image->BufferFor(Family);
}

std::span<const std::uint8_t> LoadedFirmware::ChecksummedBytes() const {
    return Buffer().first(ChecksumLength);
}

Result<LoadedFirmware> LoadFirmwareFile(const std::filesystem::path& file,
                                        std::string_view chip_name) {
    LoadedFirmware loaded;
    loaded.ChipName = std::string(chip_name);
    loaded.Family = firmware::FindChipFamily(chip_name, firmware::kNoFamily);
    if (!firmware::IsChipFamily(loaded.Family)) {
        return Result<LoadedFirmware>::Fail(fmt::format("unknown chip \"{}\"", chip_name));
    }
    loaded.Image = std::make_unique<firmware::FirmwareImage>();
    const Status status = loaded.Tx64Kind() ? LoadTx64(file, loaded) : LoadTx5(file, loaded);
    if (!status) return status;
    return loaded;
}

std::string_view FileTypeName(FirmwareFileType type) {
    switch (type) {
        case FirmwareFileType::Tx5:
            return "TX5";
        case FirmwareFileType::Hex:
            return "HEX";
        case FirmwareFileType::Bin:
            return "BIN";
    }
    return "TX5";
}

std::string ChecksumLine(std::uint16_t checksum) {
    return fmt::format("Checksum : {:04X}", checksum);
}

}  // namespace txisp::cli
