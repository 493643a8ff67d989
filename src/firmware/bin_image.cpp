#include "firmware/bin_image.h"

#include <algorithm>

#include "firmware/file_reading.h"

namespace txisp::firmware {

Result<BinLoadReport> LoadBinImage(const std::filesystem::path& file, ChipFamily family,
                                   FirmwareImage& image) {
    image.Tx64ImageBuffer.fill(Tx64FillValue(family));
    Result<FileSlice> slice = ReadFileSlice(file, 0, kTx64ImageSize);
    if (!slice) return slice.status();
    std::copy(slice->Bytes.begin(), slice->Bytes.end(), image.Tx64ImageBuffer.begin());
    BinLoadReport report;
    report.DataBytes = slice->Bytes.size();
    if (slice->FileSize > report.DataBytes)
        report.DroppedBytes = slice->FileSize - report.DataBytes;
    return report;
}

}  // namespace txisp::firmware
