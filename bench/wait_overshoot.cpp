// How long the real clock's waits last beyond their nominal time.
//
// Runs each kind of wait many times on the monotonic clock and prints, per
// wait, the median, 99th percentile and largest overshoot in milliseconds and
// how many waits ended early (must be 0). The last line is the 99th
// percentile over all waits:  wait_overshoot_p99_ms <value>
//
// Usage: bench_wait_overshoot [repetitions]   (default 200)

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace {

using txisp::platform::SteadyClock;

double NowMs() {
    struct timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
    return values[index];
}

struct Case {
    std::string name;
    std::uint32_t nominal_ms;
    std::function<void()> wait;
};

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    SteadyClock& clock = SteadyClock::Instance();
    const std::vector<Case> cases = {
        {"BusyWaitMs(1)", 1, [&] { clock.BusyWaitMs(1); }},
        {"BusyWaitMs(10)", 10, [&] { clock.BusyWaitMs(10); }},
        {"DelayMs(4)", txisp::platform::DelayDurationMs(4), [&] { clock.DelayMs(4); }},
        {"DelayMs(5)", txisp::platform::DelayDurationMs(5), [&] { clock.DelayMs(5); }},
        {"DelayMs(10)", txisp::platform::DelayDurationMs(10), [&] { clock.DelayMs(10); }},
    };

    std::vector<double> all;
    int early = 0;
    std::printf("%-16s %10s %10s %10s %6s\n", "wait", "p50_ms", "p99_ms", "max_ms", "early");
    for (const Case& c : cases) {
        std::vector<double> overshoot;
        int case_early = 0;
        for (int i = 0; i < repetitions; ++i) {
            const double start = NowMs();
            c.wait();
            const double over = NowMs() - start - c.nominal_ms;
            if (over < 0) ++case_early;
            overshoot.push_back(over);
        }
        std::printf("%-16s %10.4f %10.4f %10.4f %6d\n", c.name.c_str(), Percentile(overshoot, 0.5),
                    Percentile(overshoot, 0.99), Percentile(overshoot, 1.0), case_early);
        all.insert(all.end(), overshoot.begin(), overshoot.end());
        early += case_early;
    }
    std::printf("waits_ended_early %d\n", early);
    std::printf("wait_overshoot_p99_ms %.4f\n", Percentile(all, 0.99));
    return early == 0 ? 0 : 1;
}
