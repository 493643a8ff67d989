// The host's own cost of one feature-report transfer: the device table, the
// report buffer and the trace formatting, over a backend that answers at
// once (no kernel, no device). A run's hundreds of transfers must leave the
// time to the device's own waits.
//
// Times batches of send + receive pairs of an 8-byte block to a 65-byte
// device, with a trace sink installed that drops every line (the raw hex dump
// is formatted either way). Prints the median per send, per receive and per
// pair; the last line is the pair:  transfer_us <median>
//
// Usage: bench_hid_transfer [batches]   (default 200)

#include <time.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "hid/hid_device_table.h"
#include "platform/trace.h"

namespace {

using namespace txisp;

constexpr std::uint16_t kVid = 0x5E3A;
constexpr std::uint16_t kPid = 0x7301;
constexpr int kPairsPerBatch = 1000;

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

}  // namespace

int main(int argc, char** argv) {
    const int batches = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    DropSink sink;
    platform::SetTraceSink(&sink);
    EchoBackend backend;
    hid::HidDeviceTable table(backend);
    table.SetReportBlockSize(64);
    if (table.OpenHidDevice(kVid, kPid) != hid::kHidOk) {
        std::fprintf(stderr, "no device found\n");
        return 1;
    }

    std::array<std::uint8_t, 8> command = {0x01, 0xAA, 0x55, 0x00, 0x00, 0x00, 0x00, 0x00};
    std::array<std::uint8_t, 8> reply{};
    bool ok = true;
    std::vector<double> send_us, receive_us, pair_us;
    for (int batch = 0; batch < batches; ++batch) {
        double sending = 0, receiving = 0;
        for (int i = 0; i < kPairsPerBatch; ++i) {
            command[4] = static_cast<std::uint8_t>(i);
            const double start = NowUs();
            ok = table.SendFeatureBlock(kVid, kPid, command) && ok;
            const double sent = NowUs();
            ok = table.ReceiveFeatureBlock(kVid, kPid, reply) && ok;
            receiving += NowUs() - sent;
            sending += sent - start;
        }
        send_us.push_back(sending / kPairsPerBatch);
        receive_us.push_back(receiving / kPairsPerBatch);
        pair_us.push_back((sending + receiving) / kPairsPerBatch);
    }
    platform::SetTraceSink(nullptr);
    if (!ok || reply != command) {
        std::fprintf(stderr, "a transfer failed or the echo differs\n");
        return 1;
    }
    std::printf("batches %d x %d pairs, 65-byte reports, trace lines %zu bytes\n", batches,
                kPairsPerBatch, sink.Bytes);
    std::printf("send_us %.3f\n", Median(send_us));
    std::printf("receive_us %.3f\n", Median(receive_us));
    std::printf("transfer_us %.3f\n", Median(pair_us));
    return 0;
}
