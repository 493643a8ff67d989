#include "firmware/tx64_file.h"

#include <string>

namespace txisp::firmware {

namespace {

bool OccursAfterStart(std::string_view path, std::string_view what) {
    const std::size_t at = path.find(what);
    return at != std::string_view::npos && at > 0;
}

}  // namespace

Tx64FileType Tx64FileTypeOf(std::string_view path) {
    if (OccursAfterStart(path, ".hex")) return Tx64FileType::Hex;
    if (OccursAfterStart(path, ".bin")) return Tx64FileType::Bin;
    return Tx64FileType::Neither;
}

HexBinLoad LoadHexBinFile(const std::filesystem::path& file, ChipFamily family,
                          FirmwareImage& image) {
    HexBinLoad load;
    load.Type = Tx64FileTypeOf(file.string());
    if (load.Type == Tx64FileType::Neither) {
        load.Outcome = Status::Fail(file.string() + " is neither a .hex nor a .bin file");
        return load;
    }
    if (load.Type == Tx64FileType::Hex) {
        Result<HexLoadReport> hex = LoadHexImage(file, family, image);
        if (!hex) {
            load.Outcome = hex.status();
        } else {
            load.Hex = std::move(*hex);
            if (!load.Hex.Loaded()) load.Outcome = Status::Fail(file.string() + " holds no data");
        }
    } else {
        Result<BinLoadReport> bin = LoadBinImage(file, family, image);
        if (!bin) {
            load.Outcome = bin.status();
            return load;
        }
        load.Bin = *bin;
    }
    load.Rolling = LocateRollingSettings(file);
    return load;
}

}  // namespace txisp::firmware
