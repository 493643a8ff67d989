#include "sim/sim_bus.h"

#include <charconv>
#include <chrono>
#include <thread>
#include <utility>

#include "platform/trace.h"
#include "sim/sim_events.h"

namespace txisp::sim {
namespace {

std::string InterfacePath(int address, int interface) {
    return "sim:" + std::to_string(address) + "/" + std::to_string(interface);
}

// address and interface of "sim:<address>/<interface>"; nullopt otherwise.
std::optional<std::pair<int, int>> ParsePath(std::string_view path) {
    constexpr std::string_view kPrefix = "sim:";
    if (!path.starts_with(kPrefix)) return std::nullopt;
    path.remove_prefix(kPrefix.size());
    int address = 0;
    int interface = 0;
    const char* end = path.data() + path.size();
    auto [slash, error] = std::from_chars(path.data(), end, address);
    if (error != std::errc() || slash == end || *slash != '/') return std::nullopt;
    auto [rest, error2] = std::from_chars(slash + 1, end, interface);
    if (error2 != std::errc() || rest != end) return std::nullopt;
    return std::pair{address, interface};
}

std::string Hex4(std::uint16_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(4, '0');
    for (int i = 3; i >= 0; --i, value >>= 4)
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    return text;
}

}  // namespace

struct SimBus::Slot {
    explicit Slot(SimDevice device) : Device(std::move(device)) {}

    SimDevice Device;
    bool Powered = true;
    std::optional<int> Address;
    int AttachedInterfaces = 0;
    std::optional<std::int64_t> AttachAtMs;
    int Transfers = 0;
    int Sends = 0;
    int Receives = 0;
};

SimBus::SimBus(platform::Clock& clock) : clock_(clock) {}

SimBus::~SimBus() = default;

Result<int> SimBus::Plug(SimDeviceConfig config) {
    std::lock_guard lock(mutex_);
    const int index = static_cast<int>(slots_.size());
    if (config.Interfaces.empty()) config.Interfaces.emplace_back();
    for (std::size_t i = 0; i < config.Interfaces.size(); ++i) {
        std::string& physical = config.Interfaces[i].PhysicalPath;
        if (physical.empty())
            physical = "sim-usb-" + std::to_string(index + 1) + "/input" + std::to_string(i);
    }
    Result<SimDevice> device = SimDevice::Create(std::move(config));
    if (!device) return device.status();
    slots_.emplace_back(std::move(*device));
    slots_.back().Device.PowerOn();
    Attach(index);
    return index;
}

void SimBus::Unplug(int device) {
    std::lock_guard lock(mutex_);
    if (device < 0 || device >= static_cast<int>(slots_.size())) return;
    PowerOff(device);
}

void SimBus::PowerOff(int device) {
    Slot& slot = slots_[static_cast<std::size_t>(device)];
    if (!slot.Powered) return;
    Detach(device);
    slot.Powered = false;
    slot.AttachAtMs.reset();
}

void SimBus::Replug(int device) {
    std::lock_guard lock(mutex_);
    if (device < 0 || device >= static_cast<int>(slots_.size())) return;
    Slot& slot = slots_[static_cast<std::size_t>(device)];
    if (slot.Powered) return;
    slot.Powered = true;
    slot.Device.PowerOn();
    Attach(device);
}

void SimBus::Reenumerate(int device) {
    std::lock_guard lock(mutex_);
    if (device < 0 || device >= static_cast<int>(slots_.size())) return;
    if (!slots_[static_cast<std::size_t>(device)].Address) return;
    Detach(device);
    Attach(device);
}

int SimBus::DeviceCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(slots_.size());
}

bool SimBus::IsPresent(int device) const {
    std::lock_guard lock(mutex_);
    return device >= 0 && device < static_cast<int>(slots_.size()) &&
           slots_[static_cast<std::size_t>(device)].Address.has_value();
}

std::vector<std::string> SimBus::PathsOf(int device) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> paths;
    if (device < 0 || device >= static_cast<int>(slots_.size())) return paths;
    const Slot& slot = slots_[static_cast<std::size_t>(device)];
    if (!slot.Address) return paths;
    for (int i = 0; i < slot.AttachedInterfaces; ++i)
        paths.push_back(InterfacePath(*slot.Address, i));
    return paths;
}

SimDevice SimBus::Device(int device) const {
    std::lock_guard lock(mutex_);
    return slots_.at(static_cast<std::size_t>(device)).Device;
}

std::vector<Transfer> SimBus::Transcript() const {
    std::lock_guard lock(mutex_);
    return {transcript_.begin(), transcript_.end()};
}

void SimBus::ClearTranscript() {
    std::lock_guard lock(mutex_);
    transcript_.clear();
}

void SimBus::Poll() {
    std::lock_guard lock(mutex_);
    ApplyDue(clock_.NowMs());
}

std::vector<hid::HidInterfaceInfo> SimBus::Enumerate(hid::InterfaceClass interface_class) {
    std::lock_guard lock(mutex_);
    ApplyDue(clock_.NowMs());
    std::vector<hid::HidInterfaceInfo> found;
    for (const Slot& slot : slots_) {
        if (!slot.Address) continue;
        const SimDevice& device = slot.Device;
        const std::vector<SimInterface>& interfaces = device.Interfaces();
        for (std::size_t i = 0; i < interfaces.size(); ++i) {
            const SimInterface& interface = interfaces[i];
            if (interface.Class != interface_class) continue;
            hid::HidInterfaceInfo info;
            info.Path = InterfacePath(*slot.Address, static_cast<int>(i));
            info.Class = interface.Class;
            info.VendorId = device.VendorId();
            info.ProductId = device.ProductId();
            info.Version =
                device.Mode() == DeviceMode::Application ? device.Memory().AppVersion() : 0;
            info.FeatureReportByteLength = interface.ReportLength;
            info.FeatureReportId = interface.ReportId;
            info.PhysicalPath = interface.PhysicalPath;
            info.Serial = interface.Serial;
            info.OpenError = interface.OpenError;
            found.push_back(std::move(info));
        }
    }
    return found;
}

bool SimBus::SetFeature(const std::string& path, std::span<const std::uint8_t> report) {
    Wait(LatencyOf(path));
    std::lock_guard lock(mutex_);
    const std::int64_t now = clock_.NowMs();
    ApplyDue(now);
    const Target target = Resolve(path);
    if (target.Device < 0) {
        Record(TransferDirection::Set, path, report, false, -1, now);
        return false;
    }
    Slot& slot = slots_[static_cast<std::size_t>(target.Device)];
    const SimInterface& interface =
        slot.Device.Interfaces()[static_cast<std::size_t>(target.Interface)];
    if (interface.OpenError) {
        Record(TransferDirection::Set, path, report, false, target.Device, now);
        return false;
    }
    // A report of another length than the interface's, or under another
    // report ID, is stalled by the device.
    const bool ok = CountTransfer(slot, TransferDirection::Set) &&
                    static_cast<int>(report.size()) == interface.ReportLength &&
                    report[0] == interface.ReportId;
    ModeChange change = ModeChange::None;
    const bool had_boot_identity = slot.Device.UsesBootIdentity();
    if (ok) change = slot.Device.Receive(report.subspan(1), now);
    Record(TransferDirection::Set, path, report, ok, target.Device, now);
    HandleModeChange(target.Device, had_boot_identity, change, now);
    AfterTransfer(target.Device);
    return ok;
}

bool SimBus::GetFeature(const std::string& path, std::span<std::uint8_t> report) {
    Wait(LatencyOf(path));
    std::lock_guard lock(mutex_);
    const std::int64_t now = clock_.NowMs();
    ApplyDue(now);
    const Target target = Resolve(path);
    if (target.Device < 0) {
        Record(TransferDirection::Get, path, {}, false, -1, now);
        return false;
    }
    Slot& slot = slots_[static_cast<std::size_t>(target.Device)];
    const SimInterface& interface =
        slot.Device.Interfaces()[static_cast<std::size_t>(target.Interface)];
    const bool ok = !interface.OpenError && CountTransfer(slot, TransferDirection::Get) &&
                    static_cast<int>(report.size()) == interface.ReportLength &&
                    report[0] == interface.ReportId;
    if (ok) slot.Device.Answer(report.subspan(1), now);
    Record(TransferDirection::Get, path, ok ? report : std::span<std::uint8_t>(), ok, target.Device,
           now);
    if (!interface.OpenError) AfterTransfer(target.Device);
    return ok;
}

std::unique_ptr<hid::DeviceNotifications> SimBus::RegisterUsbNotification() {
    std::shared_ptr<SimEventQueue> queue = SimEventQueue::Create();
    if (!queue) return nullptr;
    std::lock_guard lock(mutex_);
    listeners_.push_back(queue);
    return std::make_unique<SimNotifications>(std::move(queue));
}

void SimBus::ApplyDue(std::int64_t now_ms) {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        const Slot& slot = slots_[i];
        if (slot.Powered && slot.AttachAtMs && *slot.AttachAtMs <= now_ms)
            Attach(static_cast<int>(i));
    }
}

void SimBus::Attach(int device) {
    Slot& slot = slots_[static_cast<std::size_t>(device)];
    slot.Address = next_address_++;
    slot.AttachedInterfaces = static_cast<int>(slot.Device.Interfaces().size());
    slot.AttachAtMs.reset();
    platform::Trace(platform::TraceLevel::Debug,
                    "sim: device " + std::to_string(device) + " enumerates as " +
                        Hex4(slot.Device.VendorId()) + ":" + Hex4(slot.Device.ProductId()) +
                        " at address " + std::to_string(*slot.Address));
    Publish(device, hid::DeviceChangeKind::Arrival);
}

void SimBus::Detach(int device) {
    Slot& slot = slots_[static_cast<std::size_t>(device)];
    if (!slot.Address) return;
    Publish(device, hid::DeviceChangeKind::Removal);
    platform::Trace(platform::TraceLevel::Debug, "sim: device " + std::to_string(device) +
                                                     " leaves address " +
                                                     std::to_string(*slot.Address));
    slot.Address.reset();
    slot.AttachedInterfaces = 0;
}

void SimBus::Publish(int device, hid::DeviceChangeKind kind) {
    const Slot& slot = slots_[static_cast<std::size_t>(device)];
    std::erase_if(listeners_, [](const auto& listener) { return listener.expired(); });
    for (const std::weak_ptr<SimEventQueue>& listener : listeners_) {
        const std::shared_ptr<SimEventQueue> queue = listener.lock();
        if (!queue) continue;
        for (int i = 0; i < slot.AttachedInterfaces; ++i)
            queue->Push({kind, InterfacePath(*slot.Address, i)});
    }
}

SimBus::Target SimBus::Resolve(const std::string& path) const {
    const auto parsed = ParsePath(path);
    if (!parsed) return {};
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        const Slot& slot = slots_[i];
        if (slot.Address == parsed->first && parsed->second >= 0 &&
            parsed->second < slot.AttachedInterfaces)
            return {static_cast<int>(i), parsed->second};
    }
    return {};
}

int SimBus::LatencyOf(const std::string& path) const {
    std::lock_guard lock(mutex_);
    const Target target = Resolve(path);
    if (target.Device < 0) return 0;
    return slots_[static_cast<std::size_t>(target.Device)].Device.Config().Faults.LatencyMs;
}

void SimBus::Wait(int ms) {
    if (ms <= 0) return;
    // The device's time is not a wait of the host's: a virtual clock moves
    // on without recording one.
    if (auto* virtual_clock = dynamic_cast<platform::VirtualClock*>(&clock_)) {
        virtual_clock->Advance(ms);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool SimBus::CountTransfer(Slot& slot, TransferDirection direction) {
    const SimFaults& faults = slot.Device.Config().Faults;
    ++slot.Transfers;
    if (direction == TransferDirection::Set) return ++slot.Sends != faults.FailSend;
    return ++slot.Receives != faults.FailReceive;
}

void SimBus::AfterTransfer(int device) {
    Slot& slot = slots_[static_cast<std::size_t>(device)];
    const int unplug_after = slot.Device.Config().Faults.UnplugAfter;
    if (unplug_after > 0 && slot.Transfers == unplug_after) PowerOff(device);
}

void SimBus::HandleModeChange(int device, bool had_boot_identity, ModeChange change,
                              std::int64_t now_ms) {
    if (change == ModeChange::None) return;
    Slot& slot = slots_[static_cast<std::size_t>(device)];
    const SimDeviceConfig& config = slot.Device.Config();
    const bool identity_changed = had_boot_identity != slot.Device.UsesBootIdentity();
    if (config.Switch != SwitchStyle::Reenumerate && !identity_changed) return;
    Detach(device);
    slot.AttachAtMs = now_ms + config.ReenumerateDelayMs;
    ApplyDue(now_ms);
}

void SimBus::Record(TransferDirection direction, const std::string& path,
                    std::span<const std::uint8_t> report, bool ok, int device,
                    std::int64_t now_ms) {
    transcript_.push_back({direction, path, std::vector<std::uint8_t>(report.begin(), report.end()),
                           now_ms, ok, device});
    if (transcript_.size() > kTranscriptLimit) transcript_.pop_front();
}

}  // namespace txisp::sim
