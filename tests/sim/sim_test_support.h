#pragma once

// A test's end of the simulated cable: raw feature reports built by hand from
// the protocol's tables, on a virtual clock. Deliberately no host code.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "sim/sim_bus.h"

namespace txisp::sim::testing {

using Bytes = std::vector<std::uint8_t>;

// "01 AA 55 00" -> bytes.
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

// The first `count` bytes as "01 AA 55 00".
inline std::string HexText(const Bytes& bytes, std::size_t count = 8) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < std::min(count, bytes.size()); ++i) {
        if (i) text += ' ';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xF];
    }
    return text;
}

inline std::uint16_t Le16(const Bytes& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

inline SimDeviceConfig Config(std::string chip, int variant = 0) {
    SimDeviceConfig config;
    config.Chip = std::move(chip);
    config.Variant = variant;
    return config;
}

inline SimInterface Interface(hid::InterfaceClass interface_class, int report_length = 0,
                              int report_id = 0) {
    SimInterface interface;
    interface.Class = interface_class;
    interface.ReportLength = report_length;
    interface.ReportId = report_id;
    return interface;
}

class SimHarness {
public:
    platform::VirtualClock clock;
    SimBus bus{clock};
    int device = -1;

    int Plug(SimDeviceConfig config) {
        Result<int> plugged = bus.Plug(std::move(config));
        EXPECT_TRUE(plugged.ok()) << plugged.error();
        device = plugged.ok() ? *plugged : -1;
        return device;
    }

    std::string Path() const {
        const std::vector<std::string> paths = bus.PathsOf(device);
        return paths.empty() ? std::string("sim:none/0") : paths.front();
    }

    int ReportLength() const {
        const std::vector<std::string> paths = bus.PathsOf(device);
        if (paths.empty()) return 9;
        const SimDevice snapshot = bus.Device(device);
        return snapshot.Interfaces().front().ReportLength;
    }

    // A copy of the device's flash as it is now.
    Bytes Flash() const {
        const SimDevice snapshot = bus.Device(device);
        const auto bytes = snapshot.Memory().Bytes();
        return Bytes(bytes.begin(), bytes.end());
    }

    // One report of the interface's length: report ID 0, then the block;
    // bytes behind a short block go out as zeros.
    bool Send(const Bytes& block) {
        Bytes report(static_cast<std::size_t>(ReportLength()), 0);
        std::copy_n(block.begin(), std::min(block.size(), report.size() - 1), report.begin() + 1);
        return bus.SetFeature(Path(), report);
    }

    std::optional<Bytes> Receive() {
        Bytes report(static_cast<std::size_t>(ReportLength()), 0);
        if (!bus.GetFeature(Path(), report)) return std::nullopt;
        return Bytes(report.begin() + 1, report.end());
    }

    // Send, wait as the host would, read; an empty block when a transfer fails.
    Bytes Exchange(const Bytes& block, std::uint32_t wait_ms = 5) {
        if (!Send(block)) return {};
        clock.DelayMs(wait_ms);
        return Receive().value_or(Bytes{});
    }

    std::string ExchangeText(std::string_view request, std::uint32_t wait_ms = 5) {
        return HexText(Exchange(Hex(request), wait_ms));
    }

    // Status-polled set: the status request, then reads 10 ms apart while
    // the device is busy, at most 50.
    Bytes Poll(int* busy_reads = nullptr) {
        if (!Send(Hex("2A AA 55 00 00 00 00 00"))) return {};
        Bytes reply;
        int busy = 0;
        for (int read = 0; read < 50; ++read) {
            clock.DelayMs(10);
            reply = Receive().value_or(Bytes{});
            if (reply.size() < 8 ||
                HexText(Bytes(reply.begin() + 4, reply.begin() + 8)) != "F0 F0 F0 F0")
                break;
            ++busy;
        }
        if (busy_reads) *busy_reads = busy;
        return reply;
    }

    std::string PolledText(std::string_view request, std::uint32_t wait_ms = 5) {
        if (!Send(Hex(request))) return {};
        clock.DelayMs(wait_ms);
        return HexText(Poll());
    }
};

}  // namespace txisp::sim::testing
