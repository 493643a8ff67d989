#pragma once

// The seam between the HID layer and the operating system: enumerate HID
// interfaces, exchange one feature report with one interface, and watch for
// devices coming and going. Two implementations exist: hidraw (the real one)
// and the simulator's bus, chosen once at start-up. Only the HID layer calls
// a backend; only the hidraw backend touches hidraw nodes.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace txisp::hid {

// The three interface classes a device search tries, in this order: a device
// to be updated may present itself as a plain HID device or as an input
// device.
enum class InterfaceClass {
    Hid,       // top-level collection neither a Generic Desktop mouse nor keyboard
    Mouse,     // Generic Desktop / Mouse
    Keyboard,  // Generic Desktop / Keyboard
};

// What a search needs to know of one HID interface.
struct HidInterfaceInfo {
    std::string Path;  // opens the interface: "/dev/hidraw3", or a simulated path
    InterfaceClass Class = InterfaceClass::Hid;
    std::uint16_t VendorId = 0;
    std::uint16_t ProductId = 0;
    std::uint16_t Version = 0;
    // The longest feature report in bytes plus one for the report-ID byte,
    // counted the way the Windows HID parser counts it: 9 for an 8-byte
    // report without report IDs. 0 when the interface has no feature report.
    int FeatureReportByteLength = 0;
    // The report ID of the first feature item; 0 when the descriptor uses no
    // report IDs.
    int FeatureReportId = 0;
    std::string PhysicalPath;  // e.g. "usb-0000:00:14.0-3/input1"
    std::string Serial;        // the USB serial number, often empty
    // Why the interface cannot be opened for transfers ("permission
    // denied"); nullopt when it can.
    std::optional<std::string> OpenError;
};

enum class DeviceChangeKind { Arrival, Removal };

struct DeviceChange {
    DeviceChangeKind Kind;
    std::string Path;  // the interface that came or went, when known
};

// A registration for device notifications. Events queue up until read; the
// descriptor becomes readable while any are pending, so a window's event
// loop (or poll()) can wait for them on its own thread.
class DeviceNotifications {
public:
    virtual ~DeviceNotifications() = default;
    virtual int PollFd() const = 0;
    // The pending events, oldest first; never blocks.
    virtual std::vector<DeviceChange> ReadEvents() = 0;
};

class HidBackend {
public:
    virtual ~HidBackend() = default;

    // The interfaces of one class present now, in a stable enumeration order.
    virtual std::vector<HidInterfaceInfo> Enumerate(InterfaceClass interface_class) = 0;

    // One transfer on an interface opened for it and closed after it (read
    // and write, else read-only: the feature requests work through either).
    // report[0] is the report ID. False when the interface cannot be opened
    // (nothing is sent) or the transfer fails; GetFeature then leaves
    // `report` as it was.
    virtual bool SetFeature(const std::string& path, std::span<const std::uint8_t> report) = 0;
    virtual bool GetFeature(const std::string& path, std::span<std::uint8_t> report) = 0;

    // nullptr when notifications are not available; the program then works
    // without them.
    virtual std::unique_ptr<DeviceNotifications> RegisterUsbNotification() = 0;
};

}  // namespace txisp::hid
