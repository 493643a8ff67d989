#include "platform/clock.h"

#include <time.h>

namespace txisp::platform {

namespace {

constexpr std::int64_t kNsPerMs = 1'000'000;

// A sleep wakes up late by the timer slack and scheduling latency; sleeping to
// this much before the deadline and spinning the rest keeps the overshoot of a
// wait well under a millisecond without spinning for the whole sleep.
constexpr std::int64_t kSleepMarginNs = 1'000'000;

std::int64_t MonotonicNs() {
    struct timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void SpinUntil(std::int64_t deadline_ns) {
    while (MonotonicNs() < deadline_ns) {
    }
}

void SleepUntil(std::int64_t deadline_ns) {
    const std::int64_t wake_ns = deadline_ns - kSleepMarginNs;
    if (wake_ns > MonotonicNs()) {
        struct timespec wake {};
        wake.tv_sec = static_cast<time_t>(wake_ns / 1'000'000'000);
        wake.tv_nsec = static_cast<long>(wake_ns % 1'000'000'000);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) != 0) {
        }
    }
    SpinUntil(deadline_ns);
}

}  // namespace

std::int64_t SteadyClock::NowMs() {
    return MonotonicNs() / kNsPerMs;
}

void SteadyClock::BusyWaitMs(std::uint32_t ms) {
    SpinUntil(MonotonicNs() + ms * kNsPerMs);
}

void SteadyClock::DelayMs(std::uint32_t ms) {
    if (ms >= 5) SleepUntil(MonotonicNs() + ms * kNsPerMs);
    BusyWaitMs(ms);
}

SteadyClock& SteadyClock::Instance() {
    static SteadyClock clock;
    return clock;
}

std::int64_t VirtualClock::NowMs() {
    std::lock_guard lock(mutex_);
    return now_ms_;
}

void VirtualClock::BusyWaitMs(std::uint32_t ms) {
    Record(WaitKind::Busy, ms, ms);
}

void VirtualClock::DelayMs(std::uint32_t ms) {
    Record(WaitKind::Delay, ms, DelayDurationMs(ms));
}

void VirtualClock::Advance(std::int64_t ms) {
    std::lock_guard lock(mutex_);
    now_ms_ += ms;
}

std::vector<RecordedWait> VirtualClock::Waits() const {
    std::lock_guard lock(mutex_);
    return waits_;
}

void VirtualClock::ClearWaits() {
    std::lock_guard lock(mutex_);
    waits_.clear();
}

void VirtualClock::Record(WaitKind kind, std::uint32_t ms, std::int64_t duration) {
    std::lock_guard lock(mutex_);
    waits_.push_back({kind, ms, now_ms_});
    now_ms_ += duration;
}

}  // namespace txisp::platform
