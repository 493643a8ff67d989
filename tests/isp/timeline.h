#pragma once

// One ordered record of what a command did on the wire and on the clock:
// "> 01 AA 55 00 00 00 00 00" for a report sent, "<" for one read, ">!" and
// "<!" for transfers that failed, "delay 5" and "busy 10" for waits. A
// command's expected behaviour then reads like its row in the protocol's
// tables.

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "hid/hid_backend.h"
#include "platform/clock.h"
#include "platform/trace.h"

namespace txisp::testing {

using Bytes = std::vector<std::uint8_t>;

// "01 AA 55" -> bytes.
inline Bytes Hex(std::string_view text) {
    Bytes bytes;
    std::string digits;
    for (char c : text) {
        if (c != ' ') digits += c;
    }
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

inline std::string HexText(std::span<const std::uint8_t> bytes) {
    return platform::HexBytes(bytes.data(), bytes.size());
}

class Timeline {
public:
    void Add(std::string entry) {
        std::lock_guard lock(mutex_);
        entries_.push_back(std::move(entry));
    }
    std::vector<std::string> Entries() const {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        entries_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
};

// Shows the first `shown` payload bytes of every report sent.
class TimelineBackend final : public hid::HidBackend {
public:
    TimelineBackend(hid::HidBackend& inner, Timeline& timeline, std::size_t shown = 8)
        : inner_(inner), timeline_(timeline), shown_(shown) {}

    void SetShownBytes(std::size_t shown) { shown_ = shown; }

    std::vector<hid::HidInterfaceInfo> Enumerate(hid::InterfaceClass c) override {
        return inner_.Enumerate(c);
    }
    bool SetFeature(const std::string& path, std::span<const std::uint8_t> report) override {
        const bool ok = inner_.SetFeature(path, report);
        const auto payload = report.subspan(1, std::min(shown_, report.size() - 1));
        timeline_.Add((ok ? "> " : ">! ") + HexText(payload));
        return ok;
    }
    bool GetFeature(const std::string& path, std::span<std::uint8_t> report) override {
        const bool ok = inner_.GetFeature(path, report);
        timeline_.Add(ok ? "<" : "<!");
        return ok;
    }
    std::unique_ptr<hid::DeviceNotifications> RegisterUsbNotification() override {
        return inner_.RegisterUsbNotification();
    }

private:
    hid::HidBackend& inner_;
    Timeline& timeline_;
    std::size_t shown_;
};

// A virtual clock whose waits also go into the timeline.
class TimelineClock final : public platform::Clock {
public:
    explicit TimelineClock(Timeline& timeline) : timeline_(timeline) {}

    std::int64_t NowMs() override { return clock_.NowMs(); }
    void BusyWaitMs(std::uint32_t ms) override {
        timeline_.Add("busy " + std::to_string(ms));
        clock_.BusyWaitMs(ms);
    }
    void DelayMs(std::uint32_t ms) override {
        timeline_.Add("delay " + std::to_string(ms));
        clock_.DelayMs(ms);
    }

    platform::VirtualClock& Virtual() { return clock_; }

private:
    Timeline& timeline_;
    platform::VirtualClock clock_;
};

}  // namespace txisp::testing
