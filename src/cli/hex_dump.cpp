#include "cli/hex_dump.h"

#include <fmt/core.h>

#include <algorithm>

namespace txisp::cli {
namespace {

constexpr std::size_t kBytesPerLine = 16;

std::string DumpLine(std::size_t offset, std::span<const std::uint8_t> row) {
    std::string hex;
    std::string ascii;
    for (std::size_t i = 0; i < kBytesPerLine; ++i) {
        if (i < row.size()) {
            hex += fmt::format("{:02X} ", row[i]);
            ascii += row[i] >= 0x20 && row[i] < 0x7F ? static_cast<char>(row[i]) : '.';
        } else {
            hex += "   ";
        }
        if (i == 7) hex += ' ';
    }
    return fmt::format("{:08X}  {} |{}|", offset, hex, ascii);
}

}  // namespace

std::vector<std::string> HexDumpLines(std::span<const std::uint8_t> bytes) {
    std::vector<std::string> lines;
    std::span<const std::uint8_t> previous;
    bool folding = false;
    for (std::size_t offset = 0; offset < bytes.size(); offset += kBytesPerLine) {
        const auto row = bytes.subspan(offset, std::min(kBytesPerLine, bytes.size() - offset));
        if (row.size() == kBytesPerLine && std::ranges::equal(row, previous)) {
            if (!folding) lines.emplace_back("*");
            folding = true;
            continue;
        }
        folding = false;
        lines.push_back(DumpLine(offset, row));
        previous = row;
    }
    lines.push_back(fmt::format("{:08X}", bytes.size()));
    return lines;
}

}  // namespace txisp::cli
