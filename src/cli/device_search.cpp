#include "cli/device_search.h"

#include <poll.h>

#include <algorithm>
#include <memory>

namespace txisp::cli {
namespace {

constexpr int kResearchMs = 250;

void CollectDenied(const hid::HidDeviceTable& table, std::vector<std::string>& denied) {
    for (const std::string& path : table.PermissionDeniedPaths()) {
        if (std::ranges::find(denied, path) == denied.end()) denied.push_back(path);
    }
}

bool Open(hid::HidDeviceTable& table, std::uint16_t vid, std::uint16_t pid,
          SearchOutcome& outcome) {
    const bool found = table.OpenHidDevice(vid, pid) >= 0;
    CollectDenied(table, outcome.PermissionDenied);
    if (found) {
        outcome.Found = true;
        outcome.Vid = vid;
        outcome.Pid = pid;
    }
    return found;
}

}  // namespace

SearchOutcome SearchDevice(hid::HidDeviceTable& table, const SearchRequest& request) {
    SearchOutcome outcome;
    std::vector<int> block_sizes = {8, 64};
    if (request.ChipFamily) {
        block_sizes = {static_cast<int>(firmware::ReportBlockSize(*request.ChipFamily))};
    }
    for (const int block_size : block_sizes) {
        table.SetReportBlockSize(block_size);
        if (Open(table, request.Vid, request.Pid, outcome)) return outcome;
    }
    if (!request.ChipFamily) return outcome;
    const firmware::FamilyDescriptor* descriptor =
        firmware::FindFamilyDescriptor(*request.ChipFamily);
    if (descriptor != nullptr && Open(table, descriptor->VID, descriptor->BootPID, outcome)) {
        outcome.ViaBootLoader = true;
    }
    return outcome;
}

SearchPause HotplugPause(hid::HidBackend& backend) {
    std::shared_ptr<hid::DeviceNotifications> notifications = backend.RegisterUsbNotification();
    return [notifications](int ms) {
        if (!notifications || notifications->PollFd() < 0) {
            ::poll(nullptr, 0, ms);
            return;
        }
        pollfd descriptor{notifications->PollFd(), POLLIN, 0};
        if (::poll(&descriptor, 1, ms) > 0) notifications->ReadEvents();
    };
}

SearchOutcome WaitForDevice(const std::function<SearchOutcome()>& search, platform::Clock& clock,
                            std::int64_t timeout_ms, const SearchPause& pause) {
    const std::int64_t deadline = clock.NowMs() + std::max<std::int64_t>(timeout_ms, 0);
    for (;;) {
        SearchOutcome outcome = search();
        const std::int64_t now = clock.NowMs();
        if (outcome.Found || now >= deadline) return outcome;
        pause(static_cast<int>(std::min<std::int64_t>(kResearchMs, deadline - now)));
    }
}

}  // namespace txisp::cli
