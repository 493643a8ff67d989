#include "cli/list_command.h"

#include <fmt/core.h>

#include "cli/id_text.h"
#include "cli/json_output.h"
#include "cli/permission_hint.h"
#include "hid/open_error.h"

namespace txisp::cli {

ExitCode RunList(const ListRequest& request, hid::HidBackend& backend, Reporter& reporter) {
    const std::vector<ListedInterface> listing = ListMatchingInterfaces(backend, request.Filter);
    if (request.Json) {
        PrintJson(reporter, ListingToJson(listing));
    } else if (!listing.empty()) {
        PrintListing(reporter.Out(), listing);
    }
    if (listing.empty()) {
        reporter.Error(fmt::format("no device with VID {} PID {} or a boot-loader identity",
                                   FormatIdText(request.Filter.Vid),
                                   FormatIdText(request.Filter.Pid)));
        return ExitCode::NoDevice;
    }
    std::vector<std::string> denied;
    std::size_t accessible = 0;
    for (const ListedInterface& item : listing) {
        if (item.Accessible()) {
            ++accessible;
        } else if (*item.Info.OpenError == hid::kPermissionDenied) {
            denied.push_back(item.Info.Path);
        } else {
            reporter.Warning(
                fmt::format("cannot open {}: {}", item.Info.Path, *item.Info.OpenError));
        }
    }
    // One usable interface is enough to work with; the others still deserve
    // the hint.
    if (accessible > 0) {
        if (!denied.empty()) reporter.Warning(PermissionHint(denied));
        return ExitCode::Success;
    }
    if (denied.empty()) {
        reporter.Error("none of the matching interfaces can be opened");
        return ExitCode::RunFailed;
    }
    reporter.Error(PermissionHint(denied));
    return ExitCode::Permission;
}

}  // namespace txisp::cli
