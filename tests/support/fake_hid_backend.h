#pragma once

// A scripted HID bus for tests of the layers above the transport: interfaces
// per class, GetFeature replies queued per interface or made up by a
// responder, a failure to inject on the N-th transfer, unplugging, and a log
// of every transfer that reached a device, with its bytes.
//
// Safe to drive from a worker thread while the test thread inspects it.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "hid/hid_backend.h"

namespace txisp::testing {

enum class TransferKind { Set, Get };

struct LoggedTransfer {
    TransferKind Kind = TransferKind::Set;
    std::string Path;
    // Set: the report as sent. Get: the report as handed back, or as handed
    // in when the transfer failed. Byte 0 is the report ID.
    std::vector<std::uint8_t> Report;
    bool Ok = false;
};

class FakeHidBackend : public hid::HidBackend {
public:
    // An interface that opens, with a feature report of `report_length`
    // bytes under report ID 0.
    static hid::HidInterfaceInfo Interface(
        std::string path, std::uint16_t vid, std::uint16_t pid, int report_length,
        hid::InterfaceClass interface_class = hid::InterfaceClass::Hid);

    // Listed under its class after those added before; announced as an
    // arrival to registered notifications.
    void AddInterface(hid::HidInterfaceInfo info);
    // Gone from the enumeration; transfers to it fail without reaching a
    // device. Announced as a removal.
    void Unplug(const std::string& path);
    // An event for the registered notifications alone (an unrelated device).
    void Announce(hid::DeviceChange change);
    // RegisterUsbNotification gives nullptr while unavailable.
    void SetNotificationsAvailable(bool available);

    // Replies to GetFeature on `path`, oldest first: the report's bytes after
    // the report ID. A device sends its whole report, so report bytes beyond
    // the payload become zero; a longer payload is cut to the report.
    void QueueReply(const std::string& path, std::vector<std::uint8_t> payload);
    // Makes up a reply when none is queued, from the payload of the last
    // report sent to that interface; nullopt fails the transfer. Without a
    // responder and without a queued reply GetFeature fails.
    using Responder = std::function<std::optional<std::vector<std::uint8_t>>(
        const std::string& path, std::span<const std::uint8_t> last_sent_payload)>;
    void SetResponder(Responder responder);
    // The n-th transfer that reaches a device fails (1-based, sets and gets
    // counted together from the start).
    void FailTransfer(int n);

    std::vector<LoggedTransfer> Log() const;
    // Transfers whose interface could not be opened: unplugged, unknown, or
    // listed with an OpenError.
    int RefusedTransfers() const;

    std::vector<hid::HidInterfaceInfo> Enumerate(hid::InterfaceClass interface_class) override;
    bool SetFeature(const std::string& path, std::span<const std::uint8_t> report) override;
    bool GetFeature(const std::string& path, std::span<std::uint8_t> report) override;
    std::unique_ptr<hid::DeviceNotifications> RegisterUsbNotification() override;

    class Channel;

private:
    // Under the lock: true when the transfer reaches a device; counts it.
    bool Reach(const std::string& path, bool& fail_now);
    void Notify(const hid::DeviceChange& change);

    mutable std::mutex mutex_;
    std::vector<hid::HidInterfaceInfo> interfaces_;
    std::map<std::string, std::deque<std::vector<std::uint8_t>>> replies_;
    std::map<std::string, std::vector<std::uint8_t>> last_sent_;
    Responder responder_;
    std::set<int> failing_;
    int transfers_ = 0;
    int refused_ = 0;
    std::vector<LoggedTransfer> log_;
    bool notifications_available_ = true;
    std::vector<std::weak_ptr<Channel>> channels_;
};

}  // namespace txisp::testing
