#include "sim/sim_events.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace txisp::sim {

std::shared_ptr<SimEventQueue> SimEventQueue::Create() {
    platform::UniqueFd fd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!fd.valid()) return nullptr;
    return std::make_shared<SimEventQueue>(std::move(fd));
}

void SimEventQueue::Push(hid::DeviceChange change) {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(change));
    const std::uint64_t one = 1;
    // Only a counter overflow could make this fail; the descriptor is
    // readable then all the same.
    [[maybe_unused]] const ssize_t written = write(fd_.get(), &one, sizeof one);
}

std::vector<hid::DeviceChange> SimEventQueue::Take() {
    std::lock_guard lock(mutex_);
    std::uint64_t count = 0;
    // Resets the counter; EAGAIN when nothing was pending.
    [[maybe_unused]] const ssize_t read_bytes = read(fd_.get(), &count, sizeof count);
    std::vector<hid::DeviceChange> events;
    events.swap(events_);
    return events;
}

}  // namespace txisp::sim
