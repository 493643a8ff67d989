#include "sim/chip_memory.h"

#include <algorithm>

namespace txisp::sim {

ChipMemory::ChipMemory(const ChipFamilyData& family, const ChipRow& row)
    : bytes_(family.Kind == ChipKind::Tx5 ? kTx5FlashBytes : row.ChecksumLength, 0xFF),
      main_start_(family.Stub.size()),
      main_end_(row.ChecksumLength) {
    std::copy(family.Stub.begin(), family.Stub.end(), bytes_.begin());
    if (family.Kind == ChipKind::Tx64) return;
    option_page_ = 2 * static_cast<std::size_t>(row.OptionPage);
    code_option_bytes_ = HasOptionPage() ? 16 : 8;
    // On chips with an option page the code-option address names the page's
    // last two words; the four words read back start two words earlier.
    code_options_ = 2 * static_cast<std::size_t>(row.CodeOptionAddress) - (code_option_bytes_ - 8);
}

ChipMemory::Area ChipMemory::AreaOf(std::size_t offset, std::size_t length) const {
    if (length == 0) return Area::None;
    const auto within = [&](std::size_t begin, std::size_t end) {
        return offset >= begin && offset < end && length <= end - offset;
    };
    if (within(main_start_, main_end_)) return Area::Main;
    if (HasOptionPage() && within(option_page_, option_page_ + kOptionPageBytes))
        return Area::OptionPage;
    return Area::None;
}

void ChipMemory::EraseMain() {
    EraseRange(main_start_, main_end_ - main_start_);
    erased_ = true;
}

void ChipMemory::EraseOptionPage() {
    if (HasOptionPage()) EraseRange(option_page_, kOptionPageBytes);
}

void ChipMemory::EraseRange(std::size_t offset, std::size_t length) {
    std::fill_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), length, 0xFF);
}

void ChipMemory::Program(std::size_t offset, std::span<const std::uint8_t> data) {
    for (std::size_t i = 0; i < data.size(); ++i)
        bytes_[offset + i] &= data[i];
    if (AreaOf(offset, data.size()) == Area::Main) erased_ = false;
}

std::uint16_t ChipMemory::AppVersion() const {
    return static_cast<std::uint16_t>(bytes_[main_end_ - 2] | (bytes_[main_end_ - 1] << 8));
}

void ChipMemory::SetAppVersion(std::uint16_t version) {
    bytes_[main_end_ - 2] = static_cast<std::uint8_t>(version);
    bytes_[main_end_ - 1] = static_cast<std::uint8_t>(version >> 8);
}

std::span<const std::uint8_t> ChipMemory::CodeOptions() const {
    return std::span(bytes_).subspan(code_options_, code_option_bytes_);
}

void ChipMemory::SetCodeOptions(std::span<const std::uint8_t> options) {
    std::copy_n(options.begin(), std::min(options.size(), code_option_bytes_),
                bytes_.begin() + static_cast<std::ptrdiff_t>(code_options_));
}

}  // namespace txisp::sim
