#pragma once

// txisp list: prints the matching interfaces. Exit 3 when there are none,
// 4 when there are some but the user may open none of them.

#include "cli/device_listing.h"
#include "cli/exit_codes.h"
#include "cli/reporter.h"

namespace txisp::cli {

struct ListRequest {
    ListFilter Filter;
    bool Json = false;
};

ExitCode RunList(const ListRequest& request, hid::HidBackend& backend, Reporter& reporter);

}  // namespace txisp::cli
