#include "firmware/tx5_file.h"

#include <algorithm>

#include "firmware/file_reading.h"
#include "platform/trace.h"

namespace txisp::firmware {

bool CheckTx5Header(std::span<const std::uint8_t> header, std::string_view chip_name) {
    const auto bytes = header.first(std::min(header.size(), kTx5HeaderSize));
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()),
                                static_cast<std::size_t>(end - bytes.begin()));
    return text.find(chip_name) != std::string_view::npos;
}

void Tx5FileChoice::Choose(std::filesystem::path file) {
    file_ = std::move(file);
    rejected_ = false;
}

void Tx5FileChoice::Reject() {
    file_.reset();
    rejected_ = true;
}

std::string Tx5FileChoice::DisplayText() const {
    if (rejected_) return "None";
    return file_ ? file_->string() : std::string();
}

Tx5FileCheck CheckChosenTx5File(const std::filesystem::path& file, std::string_view chip_name,
                                Tx5FileChoice& choice, platform::Prompts& prompts,
                                std::string_view title) {
    choice.Choose(file);
    Tx5FileCheck check;
    Result<FileSlice> header = ReadFileSlice(file, 0, kTx5HeaderSize);
    if (!header) {
        prompts.ShowMessage(title, header.error());
        return check;
    }
    check.Rolling = LocateRollingSettings(file);
    if (!CheckTx5Header(header->Bytes, chip_name)) {
        prompts.ShowMessage(title, kNotValidTx5File);
        choice.Reject();
        check.Verdict = Tx5FileVerdict::NotValid;
        return check;
    }
    check.Verdict = Tx5FileVerdict::Valid;
    return check;
}

Result<Tx5ImageRead> ReadTx5Image(const std::filesystem::path& file, FirmwareImage& image) {
    Result<FileSlice> slice = ReadFileSlice(file, kTx5HeaderSize, kTx5ImageSize);
    if (!slice) return slice.status();
    std::copy(slice->Bytes.begin(), slice->Bytes.end(), image.Tx5ImageBuffer.begin());
    Tx5ImageRead read;
    read.ImageLength = slice->Bytes.size();
    if (slice->FileSize > kTx5HeaderSize + read.ImageLength) {
        read.DroppedBytes = slice->FileSize - kTx5HeaderSize - read.ImageLength;
    }
    return read;
}

std::optional<Tx5ImageRead> LoadTx5Image(const Tx5FileChoice& choice, FirmwareImage& image,
                                         platform::Prompts& prompts) {
    if (!choice.UsableFile()) {
        platform::Trace(platform::TraceLevel::Info, "load TX5 image: no usable file chosen");
        prompts.ShowMessage(kErrorCaption, kLoadTx5FileFailed);
        return std::nullopt;
    }
    Result<Tx5ImageRead> read = ReadTx5Image(*choice.UsableFile(), image);
    if (!read) {
        platform::Trace(platform::TraceLevel::Info, "load TX5 image: " + read.error());
        prompts.ShowMessage(kErrorCaption, kLoadTx5FileFailed);
        return std::nullopt;
    }
    return *read;
}

}  // namespace txisp::firmware
