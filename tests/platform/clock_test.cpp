#include "platform/clock.h"

#include <gtest/gtest.h>

#include <thread>

namespace txisp::platform {
namespace {

TEST(VirtualClock, RecordsEveryWaitAndAdvancesByItsNominalDuration) {
    VirtualClock clock(1000);
    clock.DelayMs(4);  // pure spin: 4 ms
    clock.DelayMs(5);  // sleep 5 then spin 5: 10 ms
    clock.BusyWaitMs(500);
    clock.Advance(3);    // time spent elsewhere: not a wait
    clock.DelayMs(150);  // 300 ms

    EXPECT_EQ(clock.NowMs(), 1000 + 4 + 10 + 500 + 3 + 300);
    const std::vector<RecordedWait> expected = {
        {WaitKind::Delay, 4, 1000},
        {WaitKind::Delay, 5, 1004},
        {WaitKind::Busy, 500, 1014},
        {WaitKind::Delay, 150, 1517},
    };
    EXPECT_EQ(clock.Waits(), expected);

    clock.ClearWaits();
    EXPECT_TRUE(clock.Waits().empty());
    EXPECT_EQ(clock.NowMs(), 1817);
}

TEST(VirtualClock, WaitsFromSeveralThreadsAreAllRecorded) {
    VirtualClock clock;
    std::thread worker([&] {
        for (int i = 0; i < 1000; ++i)
            clock.BusyWaitMs(1);
    });
    for (int i = 0; i < 1000; ++i)
        clock.DelayMs(5);
    worker.join();
    EXPECT_EQ(clock.Waits().size(), 2000u);
    EXPECT_EQ(clock.NowMs(), 1000 * 1 + 1000 * 10);
}

TEST(SteadyClock, WaitsLastAtLeastTheirNominalTime) {
    SteadyClock& clock = SteadyClock::Instance();
    const std::int64_t start = clock.NowMs();
    clock.BusyWaitMs(2);
    clock.DelayMs(5);
    // Only the lower bound is asserted; how little waits overshoot is measured
    // by bench_wait_overshoot, not by a timed test.
    EXPECT_GE(clock.NowMs() - start, 2 + 10 - 1);
}

}  // namespace
}  // namespace txisp::platform
