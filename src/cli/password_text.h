#pragma once

// The ISP password as the window's password box takes it: eight decimal
// digits, checked with the window's own messages.

#include <string>

namespace txisp::cli {

// For CLI11's check(): "" for eight digits, otherwise the window's message
// ("Password should be 8 characters!!", "Only 0 ~ 9 can be filled!!").
// The box holds eight characters at most, so a longer text is refused
// rather than cut.
std::string CheckPasswordText(const std::string& text);

}  // namespace txisp::cli
