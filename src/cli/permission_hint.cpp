#include "cli/permission_hint.h"

#include <fmt/core.h>

namespace txisp::cli {

std::string PermissionHint(const std::vector<std::string>& nodes) {
    std::string text;
    for (const std::string& node : nodes) {
        text += fmt::format("cannot open {}: permission denied\n", node);
    }
    text += fmt::format(
        "The udev rule {0} gives the logged-in user access to the maker's devices. The .deb "
        "installs it as {1}; from a source tree run\n"
        "  sudo install -m 644 packaging/{0} /etc/udev/rules.d/ && sudo udevadm control --reload "
        "&& sudo udevadm trigger\n"
        "then unplug the device and plug it in again.",
        kUdevRuleName, kInstalledUdevRule);
    return text;
}

}  // namespace txisp::cli
