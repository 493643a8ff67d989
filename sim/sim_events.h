#pragma once

// Device-change events of the simulated bus, queued for one registration.
// The registration's descriptor is an eventfd that is readable while events
// are pending; the bus keeps only a weak reference, so a registration may
// outlive the bus or go away first.

#include <memory>
#include <mutex>
#include <vector>

#include "hid/hid_backend.h"
#include "platform/files.h"

namespace txisp::sim {

class SimEventQueue {
public:
    // nullptr when no eventfd can be had.
    static std::shared_ptr<SimEventQueue> Create();

    explicit SimEventQueue(platform::UniqueFd fd) : fd_(std::move(fd)) {}

    int Fd() const { return fd_.get(); }
    void Push(hid::DeviceChange change);
    std::vector<hid::DeviceChange> Take();

private:
    std::mutex mutex_;
    std::vector<hid::DeviceChange> events_;
    platform::UniqueFd fd_;
};

class SimNotifications final : public hid::DeviceNotifications {
public:
    explicit SimNotifications(std::shared_ptr<SimEventQueue> queue) : queue_(std::move(queue)) {}

    int PollFd() const override { return queue_->Fd(); }
    std::vector<hid::DeviceChange> ReadEvents() override { return queue_->Take(); }

private:
    std::shared_ptr<SimEventQueue> queue_;
};

}  // namespace txisp::sim
