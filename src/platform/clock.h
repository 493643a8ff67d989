#pragma once

// Time and waits. The protocol's timing is part of the protocol (a device
// needs its 5 ms after a request, its 150 ms before a checksum), so every wait
// goes through a Clock: the real one waits on the monotonic clock, the virtual
// one used by tests advances at once and records every wait, so a test of a
// whole programming run takes milliseconds and can assert each wait.

#include <cstdint>
#include <mutex>
#include <vector>

namespace txisp::platform {

class Clock {
public:
    virtual ~Clock() = default;

    // Milliseconds on a clock that never goes backwards.
    virtual std::int64_t NowMs() = 0;

    // Waits `ms` milliseconds without sleeping (the device's timing is tight
    // and a sleep may overshoot by a scheduler tick).
    virtual void BusyWaitMs(std::uint32_t ms) = 0;

    // The ISP commands' wait: a sleep of `ms` when ms >= 5, then a busy wait
    // of `ms`. A wait of 5 ms or more therefore lasts twice its value; one of
    // 4 ms or less is a pure busy wait.
    virtual void DelayMs(std::uint32_t ms) = 0;
};

// The real clock, on CLOCK_MONOTONIC. A wait lasts at least its nominal time;
// the sleep part of DelayMs ends on its deadline by sleeping to just before it
// and spinning the rest.
class SteadyClock final : public Clock {
public:
    std::int64_t NowMs() override;
    void BusyWaitMs(std::uint32_t ms) override;
    void DelayMs(std::uint32_t ms) override;

    // The process-wide instance.
    static SteadyClock& Instance();
};

// Nominal duration of a DelayMs(ms): the sleep plus the spin.
constexpr std::uint32_t DelayDurationMs(std::uint32_t ms) {
    return ms >= 5 ? 2 * ms : ms;
}

enum class WaitKind { Busy, Delay };

struct RecordedWait {
    WaitKind Kind;
    std::uint32_t Ms;   // as asked for
    std::int64_t AtMs;  // virtual time when the wait began

    bool operator==(const RecordedWait&) const = default;
};

// A clock for tests: waits return at once, advancing virtual time by their
// nominal duration, and are recorded. Safe to use from several threads.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(std::int64_t start_ms = 0) : now_ms_(start_ms) {}

    std::int64_t NowMs() override;
    void BusyWaitMs(std::uint32_t ms) override;
    void DelayMs(std::uint32_t ms) override;

    // Moves time on without recording a wait (time spent elsewhere).
    void Advance(std::int64_t ms);

    std::vector<RecordedWait> Waits() const;
    void ClearWaits();

private:
    void Record(WaitKind kind, std::uint32_t ms, std::int64_t duration);

    mutable std::mutex mutex_;
    std::int64_t now_ms_;
    std::vector<RecordedWait> waits_;
};

}  // namespace txisp::platform
