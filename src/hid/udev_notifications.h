#pragma once

// Device arrival and removal on Linux: a udev monitor on the hidraw subsystem.

#include <filesystem>
#include <memory>

#include "hid/hid_backend.h"

namespace txisp::hid {

// Listens to udevd's events when udevd runs, else to the kernel's own (a
// container or a minimal system without udevd still sees devices come and
// go). Event paths are the nodes under `dev_root`. nullptr when no monitor can
// be set up.
std::unique_ptr<DeviceNotifications> OpenUdevNotifications(const std::filesystem::path& dev_root);

}  // namespace txisp::hid
