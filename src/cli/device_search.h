#pragma once

// Finding the device for info: the ID search the window makes (the given
// VID/PID, then the chip family's boot-loader identity), remembering which
// matching nodes had to be skipped for lack of permission, and waiting for
// a device to be plugged in.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "firmware/chip_data.h"
#include "hid/hid_backend.h"
#include "hid/hid_device_table.h"
#include "platform/clock.h"

namespace txisp::cli {

struct SearchRequest {
    std::uint16_t Vid = 0;
    std::uint16_t Pid = 0;
    // --chip: its report length, and its boot-loader identity as the second
    // identity searched. Without it both report lengths are tried for the
    // IDs and no boot-loader identity is.
    std::optional<firmware::ChipFamily> ChipFamily;
};

struct SearchOutcome {
    bool Found = false;
    // The identity the device answered under.
    std::uint16_t Vid = 0;
    std::uint16_t Pid = 0;
    bool ViaBootLoader = false;
    // Matching nodes skipped because the user may not open them, over every
    // identity searched; each node once.
    std::vector<std::string> PermissionDenied;
};

// Leaves the devices of the identity found in `table`.
SearchOutcome SearchDevice(hid::HidDeviceTable& table, const SearchRequest& request);

// Pauses between two searches for at most `ms`; returns early when a device
// came or went.
using SearchPause = std::function<void(int ms)>;

// Waits on the backend's device notifications, or sleeps when it has none.
SearchPause HotplugPause(hid::HidBackend& backend);

// Searches until a device is found or `timeout_ms` has passed on `clock`,
// searching again at every device event and at least every 250 ms (a node
// may need a moment after its arrival before udev lets the user open it).
// The outcome of the last search.
SearchOutcome WaitForDevice(const std::function<SearchOutcome()>& search, platform::Clock& clock,
                            std::int64_t timeout_ms, const SearchPause& pause);

}  // namespace txisp::cli
