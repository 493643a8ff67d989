#include "support/fake_hid_backend.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include "platform/files.h"

namespace txisp::testing {

using hid::DeviceChange;
using hid::DeviceChangeKind;
using hid::HidInterfaceInfo;
using hid::InterfaceClass;

// The queue behind one registration; an eventfd makes it pollable.
class FakeHidBackend::Channel {
public:
    Channel() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

    int fd() const { return fd_.get(); }

    void Push(const DeviceChange& change) {
        std::lock_guard lock(mutex_);
        pending_.push_back(change);
        const std::uint64_t one = 1;
        (void)!::write(fd_.get(), &one, sizeof one);
    }

    std::vector<DeviceChange> Drain() {
        std::lock_guard lock(mutex_);
        std::uint64_t count = 0;
        (void)!::read(fd_.get(), &count, sizeof count);
        return std::exchange(pending_, {});
    }

private:
    platform::UniqueFd fd_;
    std::mutex mutex_;
    std::vector<DeviceChange> pending_;
};

namespace {

class FakeNotifications final : public hid::DeviceNotifications {
public:
    explicit FakeNotifications(std::shared_ptr<FakeHidBackend::Channel> channel)
        : channel_(std::move(channel)) {}
    int PollFd() const override { return channel_->fd(); }
    std::vector<DeviceChange> ReadEvents() override { return channel_->Drain(); }

private:
    std::shared_ptr<FakeHidBackend::Channel> channel_;
};

}  // namespace

HidInterfaceInfo FakeHidBackend::Interface(std::string path, std::uint16_t vid, std::uint16_t pid,
                                           int report_length, InterfaceClass interface_class) {
    HidInterfaceInfo info;
    info.PhysicalPath = "fake-" + path;
    info.Path = std::move(path);
    info.Class = interface_class;
    info.VendorId = vid;
    info.ProductId = pid;
    info.FeatureReportByteLength = report_length;
    return info;
}

void FakeHidBackend::AddInterface(HidInterfaceInfo info) {
    const DeviceChange change{DeviceChangeKind::Arrival, info.Path};
    {
        std::lock_guard lock(mutex_);
        interfaces_.push_back(std::move(info));
    }
    Notify(change);
}

void FakeHidBackend::Unplug(const std::string& path) {
    {
        std::lock_guard lock(mutex_);
        std::erase_if(interfaces_, [&](const HidInterfaceInfo& info) { return info.Path == path; });
    }
    Notify({DeviceChangeKind::Removal, path});
}

void FakeHidBackend::Announce(DeviceChange change) {
    Notify(change);
}

void FakeHidBackend::SetNotificationsAvailable(bool available) {
    std::lock_guard lock(mutex_);
    notifications_available_ = available;
}

void FakeHidBackend::QueueReply(const std::string& path, std::vector<std::uint8_t> payload) {
    std::lock_guard lock(mutex_);
    replies_[path].push_back(std::move(payload));
}

void FakeHidBackend::SetResponder(Responder responder) {
    std::lock_guard lock(mutex_);
    responder_ = std::move(responder);
}

void FakeHidBackend::FailTransfer(int n) {
    std::lock_guard lock(mutex_);
    failing_.insert(n);
}

std::vector<LoggedTransfer> FakeHidBackend::Log() const {
    std::lock_guard lock(mutex_);
    return log_;
}

int FakeHidBackend::RefusedTransfers() const {
    std::lock_guard lock(mutex_);
    return refused_;
}

std::vector<HidInterfaceInfo> FakeHidBackend::Enumerate(InterfaceClass interface_class) {
    std::lock_guard lock(mutex_);
    std::vector<HidInterfaceInfo> listed;
    for (const HidInterfaceInfo& info : interfaces_) {
        if (info.Class == interface_class) listed.push_back(info);
    }
    return listed;
}

bool FakeHidBackend::Reach(const std::string& path, bool& fail_now) {
    const auto found =
        std::find_if(interfaces_.begin(), interfaces_.end(),
                     [&](const HidInterfaceInfo& info) { return info.Path == path; });
    if (found == interfaces_.end() || found->OpenError) {
        ++refused_;
        return false;
    }
    fail_now = failing_.count(++transfers_) != 0;
    return true;
}

bool FakeHidBackend::SetFeature(const std::string& path, std::span<const std::uint8_t> report) {
    std::lock_guard lock(mutex_);
    bool fail_now = false;
    if (!Reach(path, fail_now)) return false;
    log_.push_back({TransferKind::Set, path, {report.begin(), report.end()}, !fail_now});
    if (!fail_now && !report.empty()) last_sent_[path].assign(report.begin() + 1, report.end());
    return !fail_now;
}

bool FakeHidBackend::GetFeature(const std::string& path, std::span<std::uint8_t> report) {
    std::optional<std::vector<std::uint8_t>> payload;
    Responder responder;
    std::vector<std::uint8_t> last_sent;
    {
        std::lock_guard lock(mutex_);
        bool fail_now = false;
        if (!Reach(path, fail_now)) return false;
        auto& queue = replies_[path];
        if (!fail_now && !queue.empty()) {
            payload = std::move(queue.front());
            queue.pop_front();
        } else if (!fail_now && responder_) {
            responder = responder_;
            last_sent = last_sent_[path];
        }
        if (fail_now) {
            log_.push_back({TransferKind::Get, path, {report.begin(), report.end()}, false});
            return false;
        }
    }
    // Outside the lock, so a responder may look at the backend.
    if (responder) payload = responder(path, last_sent);

    std::lock_guard lock(mutex_);
    if (payload && !report.empty()) {
        std::fill(report.begin() + 1, report.end(), std::uint8_t{0});
        const std::size_t n = std::min(payload->size(), report.size() - 1);
        std::copy_n(payload->begin(), n, report.begin() + 1);
    }
    log_.push_back({TransferKind::Get, path, {report.begin(), report.end()}, payload.has_value()});
    return payload.has_value();
}

std::unique_ptr<hid::DeviceNotifications> FakeHidBackend::RegisterUsbNotification() {
    std::lock_guard lock(mutex_);
    if (!notifications_available_) return nullptr;
    auto channel = std::make_shared<Channel>();
    channels_.push_back(channel);
    return std::make_unique<FakeNotifications>(std::move(channel));
}

void FakeHidBackend::Notify(const DeviceChange& change) {
    std::vector<std::shared_ptr<Channel>> live;
    {
        std::lock_guard lock(mutex_);
        std::erase_if(channels_, [](const auto& weak) { return weak.expired(); });
        for (const auto& weak : channels_) {
            if (auto channel = weak.lock()) live.push_back(std::move(channel));
        }
    }
    for (const auto& channel : live)
        channel->Push(change);
}

}  // namespace txisp::testing
