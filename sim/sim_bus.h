#pragma once

// The simulated USB bus: an HID backend whose interfaces belong to simulated
// devices. Tests and the demo put devices on it, pull them off and power them
// up again while the host works against it through the ordinary HID layer.
//
// Interface paths read "sim:<address>/<interface>". The address is handed out
// anew each time a device enumerates, as USB does, so a device that comes
// back (a re-enumerating mode switch, a re-plug) has new paths; the physical
// path ("sim-usb-<n>/input<i>" unless configured) stays with the device.
//
// Time-driven events (a device coming back after its re-enumeration delay,
// the end of an erase, per-transfer latency) run on the bus's clock and are
// applied lazily: every call first looks at the clock and applies what is
// due. On a VirtualClock time moves only through the host's own waits, so a
// test sees the same events at the same virtual times on every run. Latency
// advances a VirtualClock without recording a wait and sleeps on any other
// clock.
//
// Thread-safe: the engine may transfer from its worker thread while a test
// or the window plugs and unplugs.

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "hid/hid_backend.h"
#include "platform/clock.h"
#include "platform/result.h"
#include "sim/sim_device.h"

namespace txisp::sim {

enum class TransferDirection {
    Set,  // SET_REPORT, host to device
    Get,  // GET_REPORT, device to host
};

// One transfer as the bus saw it.
struct Transfer {
    TransferDirection Direction;
    std::string Path;
    // The whole report with its report-ID byte: as sent, or as returned.
    // Empty for a GET_REPORT that failed.
    std::vector<std::uint8_t> Report;
    std::int64_t AtMs;  // bus clock when the device handled it
    bool Ok;
    int Device;  // index of the device behind the path; -1 when none
};

class SimEventQueue;

class SimBus final : public hid::HidBackend {
public:
    explicit SimBus(platform::Clock& clock);
    ~SimBus() override;
    SimBus(const SimBus&) = delete;
    SimBus& operator=(const SimBus&) = delete;

    // Puts a new device on the bus, powered up and enumerated. Its index
    // (0, 1, ... in plugging order) names it for as long as the bus lives.
    Result<int> Plug(SimDeviceConfig config);

    // Pulls the device off the bus: it loses power, and with it everything
    // but its flash. No effect on a device that is not plugged in.
    void Unplug(int device);
    // Plugs a device pulled off before back in; it powers up afresh.
    void Replug(int device);
    // The device drops off and enumerates again at once, keeping its state.
    void Reenumerate(int device);

    int DeviceCount() const;
    // Plugged in and enumerated now (not between a drop and its return).
    bool IsPresent(int device) const;
    std::vector<std::string> PathsOf(int device) const;
    // A copy of the device as it is now.
    SimDevice Device(int device) const;

    // The newest kTranscriptLimit transfers, oldest first; a long demo run
    // does not grow it without end.
    std::vector<Transfer> Transcript() const;
    void ClearTranscript();
    static constexpr std::size_t kTranscriptLimit = 100'000;

    // Applies the time-driven events that are due.
    void Poll();

    std::vector<hid::HidInterfaceInfo> Enumerate(hid::InterfaceClass interface_class) override;
    bool SetFeature(const std::string& path, std::span<const std::uint8_t> report) override;
    bool GetFeature(const std::string& path, std::span<std::uint8_t> report) override;
    std::unique_ptr<hid::DeviceNotifications> RegisterUsbNotification() override;

private:
    struct Slot;
    struct Target {
        int Device = -1;
        int Interface = -1;
    };

    void ApplyDue(std::int64_t now_ms);
    void PowerOff(int device);
    void Attach(int device);
    void Detach(int device);
    void Publish(int device, hid::DeviceChangeKind kind);
    Target Resolve(const std::string& path) const;
    void Wait(int ms);
    int LatencyOf(const std::string& path) const;
    // Counts the transfer; false when a fault makes it fail.
    bool CountTransfer(Slot& slot, TransferDirection direction);
    void AfterTransfer(int device);
    void HandleModeChange(int device, bool had_boot_identity, ModeChange change,
                          std::int64_t now_ms);
    void Record(TransferDirection direction, const std::string& path,
                std::span<const std::uint8_t> report, bool ok, int device, std::int64_t now_ms);

    platform::Clock& clock_;
    mutable std::mutex mutex_;
    std::vector<Slot> slots_;
    int next_address_ = 1;
    std::deque<Transfer> transcript_;
    std::vector<std::weak_ptr<SimEventQueue>> listeners_;
};

}  // namespace txisp::sim
