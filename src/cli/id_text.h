#pragma once

// VID and PID texts on the command line: what the window's VID and PID boxes
// take (one to four hex digits), with an optional "0x" in front because
// that is how people copy them from lsusb and datasheets.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace txisp::cli {

std::optional<std::uint16_t> ParseIdText(std::string_view text);

// Four upper-case hex digits, as the window's boxes show them ("5E3A").
std::string FormatIdText(std::uint16_t id);

// For CLI11's check(): "" when the text is an ID, else why not.
std::string CheckIdText(const std::string& text);

}  // namespace txisp::cli
