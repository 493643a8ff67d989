#pragma once

// The flash of one simulated chip: its reset stub, the main area the boot
// loader erases and programs, the code-option words and, on chips that have
// one, the option page. Flash keeps its content over power cycles; nothing
// else of a device does.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/chip_tables.h"

namespace txisp::sim {

class ChipMemory {
public:
    ChipMemory(const ChipFamilyData& family, const ChipRow& row);

    enum class Area { None, Main, OptionPage };

    std::span<const std::uint8_t> Bytes() const { return bytes_; }

    // Bytes [MainStart, MainEnd) are the main area; below it lies the stub.
    std::size_t MainStart() const { return main_start_; }
    std::size_t MainEnd() const { return main_end_; }

    // True from a main-area erase until the next write into the main area.
    bool Erased() const { return erased_; }

    // Which erasable area holds all of [offset, offset + length); None when
    // the range is empty or crosses an area's edge.
    Area AreaOf(std::size_t offset, std::size_t length) const;

    void EraseMain();
    void EraseOptionPage();
    void EraseRange(std::size_t offset, std::size_t length);

    // Programming only clears bits, as flash does: a byte not erased first
    // ends up as the AND of old and new.
    void Program(std::size_t offset, std::span<const std::uint8_t> data);

    bool HasOptionPage() const { return option_page_ != 0; }
    std::size_t OptionPageOffset() const { return option_page_; }

    // The application keeps its 16-bit version in the last word of the main
    // area, low byte first; an erased chip reads 0xFFFF.
    std::uint16_t AppVersion() const;
    void SetAppVersion(std::uint16_t version);

    // TX5 code options c0 ..: 8 bytes at the code-option address, or on
    // chips with an option page the last 16 bytes of that page. Empty for
    // TX64 chips.
    std::span<const std::uint8_t> CodeOptions() const;
    void SetCodeOptions(std::span<const std::uint8_t> options);

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t main_start_;
    std::size_t main_end_;
    std::size_t option_page_ = 0;
    std::size_t code_options_ = 0;
    std::size_t code_option_bytes_ = 0;
    bool erased_ = false;
};

}  // namespace txisp::sim
