#pragma once

// What to tell a user whose device is there but may not be opened: on Linux
// that is almost always a hidraw node without the udev rule that hands it to
// the logged-in user.

#include <string>
#include <vector>

namespace txisp::cli {

inline constexpr const char* kUdevRuleName = "70-txisp.rules";
inline constexpr const char* kInstalledUdevRule = "/usr/lib/udev/rules.d/70-txisp.rules";

// One line per node, then how to install the rule.
std::string PermissionHint(const std::vector<std::string>& nodes);

}  // namespace txisp::cli
