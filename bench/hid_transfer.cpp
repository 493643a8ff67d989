// The host's own cost of one feature-report transfer: the device table, the
// report buffer and the trace formatting. A run's thousands of transfers must
// leave the time to the device's own waits.
//
// Times batches of send + receive pairs to a 65-byte device with a trace sink
// installed that drops every line (so the raw hex dumps are formatted), first
// over a backend that echoes at once (the HID layer alone), then over the
// simulated bus with a TX64K36x in its application firmware answering the
// device-information request (HID layer, bus and simulated device). Prints
// the medians; the last line is the pair on the simulated bus:
//   transfer_us <median>
//
// Usage: bench_hid_transfer [batches]   (default 200)

#include <time.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "hid/hid_device_table.h"
#include "platform/clock.h"
#include "platform/trace.h"
#include "sim/scenario.h"
#include "sim/sim_bus.h"

namespace {

using namespace txisp;

constexpr std::uint16_t kVid = 0x5E3A;
constexpr std::uint16_t kPid = 0x7301;
constexpr int kPairsPerBatch = 1000;
constexpr const char* kScenario = TXISP_SOURCE_DIR "/examples/sim/TX64K36x.json";

// Keeps the last report sent and hands it back as the reply.
class EchoBackend final : public hid::HidBackend {
public:
    std::vector<hid::HidInterfaceInfo> Enumerate(hid::InterfaceClass interface_class) override {
        if (interface_class != hid::InterfaceClass::Hid) return {};
        hid::HidInterfaceInfo info;
        info.Path = "/dev/hidraw0";
        info.VendorId = kVid;
        info.ProductId = kPid;
        info.FeatureReportByteLength = 65;
        return {info};
    }
    bool SetFeature(const std::string&, std::span<const std::uint8_t> report) override {
        std::memcpy(last_.data(), report.data(), std::min(report.size(), last_.size()));
        return true;
    }
    bool GetFeature(const std::string&, std::span<std::uint8_t> report) override {
        std::memcpy(report.data() + 1, last_.data() + 1, std::min(report.size(), last_.size()) - 1);
        return true;
    }
    std::unique_ptr<hid::DeviceNotifications> RegisterUsbNotification() override { return nullptr; }

private:
    std::array<std::uint8_t, 65> last_{};
};

class DropSink final : public platform::TraceSink {
public:
    void Write(platform::TraceLevel, std::string_view line) override { Bytes += line.size(); }
    std::size_t Bytes = 0;
};

double NowUs() {
    struct timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Medians {
    double Send = 0;
    double Receive = 0;
    double Pair = 0;
};

// Send + receive pairs of `command` (a 64-byte block), timed in batches.
std::optional<Medians> MeasurePairs(hid::HidDeviceTable& table, std::uint16_t vid,
                                    std::uint16_t pid, std::array<std::uint8_t, 64> command,
                                    int batches) {
    table.SetReportBlockSize(64);
    if (table.OpenHidDevice(vid, pid) != hid::kHidOk) return std::nullopt;
    std::array<std::uint8_t, 64> reply{};
    bool ok = true;
    std::vector<double> send_us, receive_us, pair_us;
    for (int batch = 0; batch < batches; ++batch) {
        double sending = 0, receiving = 0;
        for (int i = 0; i < kPairsPerBatch; ++i) {
            const double start = NowUs();
            ok = table.SendFeatureBlock(vid, pid, command) && ok;
            const double sent = NowUs();
            ok = table.ReceiveFeatureBlock(vid, pid, reply) && ok;
            receiving += NowUs() - sent;
            sending += sent - start;
        }
        send_us.push_back(sending / kPairsPerBatch);
        receive_us.push_back(receiving / kPairsPerBatch);
        pair_us.push_back((sending + receiving) / kPairsPerBatch);
    }
    if (!ok) return std::nullopt;
    return Medians{Median(send_us), Median(receive_us), Median(pair_us)};
}

void Print(const char* what, const Medians& medians) {
    std::printf("%-10s send_us %.3f receive_us %.3f pair_us %.3f\n", what, medians.Send,
                medians.Receive, medians.Pair);
}

}  // namespace

int main(int argc, char** argv) {
    const int batches = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    DropSink sink;
    platform::SetTraceSink(&sink);

    EchoBackend echo;
    hid::HidDeviceTable echo_table(echo);
    const auto host_only = MeasurePairs(echo_table, kVid, kPid, {0x01, 0xAA, 0x55}, batches);

    platform::SteadyClock& clock = platform::SteadyClock::Instance();
    sim::SimBus bus(clock);
    const Status plugged = sim::LoadScenarioInto(bus, kScenario);
    hid::HidDeviceTable sim_table(bus);
    // The device-information request, answered by the application firmware.
    const std::array<std::uint8_t, 64> info_request = {0xAA, 0x55, 0xA5, 0x5A,
                                                       0xFF, 0x00, 0x33, 0x01};
    const auto simulated =
        plugged ? MeasurePairs(sim_table, 0x5E3A, 0x3442, info_request, batches) : std::nullopt;
    platform::SetTraceSink(nullptr);

    if (!host_only || !simulated) {
        std::fprintf(stderr, "a transfer failed%s%s\n", plugged ? "" : ": ",
                     plugged ? "" : plugged.message().c_str());
        return 1;
    }
    std::printf("batches %d x %d pairs, 65-byte reports, trace lines %zu bytes\n", batches,
                kPairsPerBatch, sink.Bytes);
    Print("echo", *host_only);
    Print("simulated", *simulated);
    std::printf("transfer_us %.3f\n", simulated->Pair);
    return 0;
}
