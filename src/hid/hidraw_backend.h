#pragma once

// The real backend: HID interfaces as the kernel's hidraw driver shows them.
//
// Enumeration reads sysfs (<sysfs root>/class/hidraw/hidrawN/device/uevent
// and .../report_descriptor) and probes each node under the device root, so
// tests can point both roots at a tree of their own. Transfers open the node
// for the one feature request and close it again.

#include <filesystem>

#include "hid/hid_backend.h"

namespace txisp::hid {

class HidrawBackend final : public HidBackend {
public:
    explicit HidrawBackend(std::filesystem::path sysfs_root = "/sys",
                           std::filesystem::path dev_root = "/dev");

    // The interfaces whose first top-level application collection makes
    // them of `interface_class`, ordered by node number.
    std::vector<HidInterfaceInfo> Enumerate(InterfaceClass interface_class) override;

    bool SetFeature(const std::string& path, std::span<const std::uint8_t> report) override;
    bool GetFeature(const std::string& path, std::span<std::uint8_t> report) override;

    // A udev monitor on the hidraw subsystem.
    std::unique_ptr<DeviceNotifications> RegisterUsbNotification() override;

private:
    std::filesystem::path sysfs_root_;
    std::filesystem::path dev_root_;
};

// The class a top-level application collection's usage gives an interface.
InterfaceClass ClassOfUsage(std::uint16_t usage_page, std::uint16_t usage);

}  // namespace txisp::hid
