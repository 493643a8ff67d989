#pragma once

// The OpenError text a backend gives an interface the user may not open.
// Searches collect such interfaces so that a front end can say how to grant
// access (a udev rule) instead of only "device not found".

#include <string_view>

namespace txisp::hid {

inline constexpr std::string_view kPermissionDenied = "permission denied";

}  // namespace txisp::hid
