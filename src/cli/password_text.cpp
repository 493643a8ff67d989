#include "cli/password_text.h"

#include <algorithm>

namespace txisp::cli {

std::string CheckPasswordText(const std::string& text) {
    if (text.empty()) return "Password should be entered!!";
    if (text.size() != 8) return "Password should be 8 characters!!";
    if (!std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; })) {
        return "Only 0 ~ 9 can be filled!!";
    }
    return {};
}

}  // namespace txisp::cli
