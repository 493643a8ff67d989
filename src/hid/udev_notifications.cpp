#include "hid/udev_notifications.h"

#include <libudev.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <string>

#include "platform/trace.h"

namespace txisp::hid {

namespace fs = std::filesystem;

namespace {

using platform::Trace;
using platform::TraceLevel;

// udevd creates this socket; its presence is how libudev itself tells
// whether udevd runs.
constexpr const char* kUdevdControl = "/run/udev/control";

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
using UdevPtr = std::unique_ptr<udev, UdevDeleter>;
using MonitorPtr = std::unique_ptr<udev_monitor, UdevDeleter>;
using DevicePtr = std::unique_ptr<udev_device, UdevDeleter>;

class UdevNotifications final : public DeviceNotifications {
public:
    UdevNotifications(UdevPtr context, MonitorPtr monitor, fs::path dev_root)
        : context_(std::move(context)),
          monitor_(std::move(monitor)),
          dev_root_(std::move(dev_root)) {}

    int PollFd() const override { return udev_monitor_get_fd(monitor_.get()); }

    std::vector<DeviceChange> ReadEvents() override {
        std::vector<DeviceChange> changes;
        // The monitor's socket is non-blocking: receiving ends with nullptr
        // once it is drained.
        while (DevicePtr device{udev_monitor_receive_device(monitor_.get())}) {
            if (auto change = ChangeOf(device.get())) changes.push_back(std::move(*change));
        }
        return changes;
    }

private:
    std::optional<DeviceChange> ChangeOf(udev_device* device) const {
        const char* action = udev_device_get_action(device);
        const char* subsystem = udev_device_get_subsystem(device);
        const char* name = udev_device_get_sysname(device);
        // Kernel-source messages bypass the socket filter; check again.
        if (action == nullptr || subsystem == nullptr || std::strcmp(subsystem, "hidraw") != 0) {
            return std::nullopt;
        }
        const std::string path = name != nullptr ? (dev_root_ / name).string() : std::string();
        if (std::strcmp(action, "add") == 0) return DeviceChange{DeviceChangeKind::Arrival, path};
        if (std::strcmp(action, "remove") == 0) {
            return DeviceChange{DeviceChangeKind::Removal, path};
        }
        return std::nullopt;
    }

    UdevPtr context_;
    MonitorPtr monitor_;
    fs::path dev_root_;
};

}  // namespace

std::unique_ptr<DeviceNotifications> OpenUdevNotifications(const fs::path& dev_root) {
    UdevPtr context{udev_new()};
    if (!context) return nullptr;
    // Events from the kernel source come before udevd has set the node's
    // permissions, but without udevd they are the only ones there are.
    const char* source = ::access(kUdevdControl, F_OK) == 0 ? "udev" : "kernel";
    MonitorPtr monitor{udev_monitor_new_from_netlink(context.get(), source)};
    if (!monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor.get()) < 0) {
        Trace(TraceLevel::Debug,
              std::string("no device notifications from the ") + source + " source");
        return nullptr;
    }
    return std::make_unique<UdevNotifications>(std::move(context), std::move(monitor), dev_root);
}

}  // namespace txisp::hid
