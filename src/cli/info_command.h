#pragma once

// txisp info: the device-information exchange the window makes after a
// device arrives, with the texts it shows in its VID, PID and REV boxes.

#include <optional>

#include "cli/device_search.h"
#include "cli/exit_codes.h"
#include "cli/reporter.h"
#include "hid/hid_backend.h"
#include "platform/clock.h"

namespace txisp::cli {

struct InfoRequest {
    SearchRequest Search;
    int DeviceNumber = 1;  // 1 .. the number of devices found
    // --wait: how long to wait for a device to be plugged in.
    std::optional<double> WaitSeconds;
    bool Json = false;
};

ExitCode RunInfo(const InfoRequest& request, hid::HidBackend& backend, platform::Clock& clock,
                 Reporter& reporter);

// How a search that found nothing ends: exit 4 with the nodes and the udev
// rule when matching nodes could not be opened, else exit 3 with the
// window's "Can't Find USB HID Device!!".
CliError NoDeviceError(const SearchRequest& request, const SearchOutcome& outcome);

}  // namespace txisp::cli
