#pragma once

// A hex dump for people: 16 bytes a line with their offset and ASCII, and
// runs of identical lines folded into one "*" line, so a 64 KiB image whose
// tail is fill bytes reads in a screenful.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace txisp::cli {

// "00000010  41 42 ... 4F  |AB.............O|"; the last line holds the end
// offset alone.
std::vector<std::string> HexDumpLines(std::span<const std::uint8_t> bytes);

}  // namespace txisp::cli
