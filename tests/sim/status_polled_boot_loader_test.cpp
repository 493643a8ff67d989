// The status-polled set of a TX5K33E28 (family 6): every result comes back
// through the status request 0x2A, echoing the header of the command it
// answers, after as many BUSY replies as the device needs.

#include <gtest/gtest.h>

#include "isp_scripts.h"

namespace txisp::sim::testing {
namespace {

class StatusPolledBootLoader : public ::testing::Test {
protected:
    void Start(SimDeviceConfig config) {
        h.Plug(std::move(config));
        ASSERT_TRUE(EnterBootLoader(h, 6));
    }

    void Unlock() {
        ASSERT_EQ(h.PolledText("20 AA 55 00 00 00 00 00"), "20 AA 55 00 FA FA FA FA");
        ASSERT_EQ(h.PolledText("22 AA 55 00 40 17 29 58"), "22 AA 55 00 FA FA FA FA");
    }

    SimHarness h;
};

TEST_F(StatusPolledBootLoader, AnswersNothingButEnterIspModeFirst) {
    Start(Config("TX5K33E28"));
    const struct {
        const char* Request;
        const char* Reply;
    } exchanges[] = {
        {"21 AA 55 00 00 00 00 00", "21 AA 55 00 FB FB FB FB"},
        {"01 AA 55 00 00 00 00 00", "01 AA 55 00 FB FB FB FB"},  // the 8-byte set's code
        {"20 AA 55 00 00 00 00 00", "20 AA 55 00 FA FA FA FA"},
        {"21 AA 55 00 00 00 00 00", "21 AA 55 00 00 07 00 00"},
        {"29 AA 55 01 00 00 00 00", "29 AA 55 01 FF FF FF FF"},
        {"23 AA 55 00 00 00 00 00", "23 AA 55 00 FB FB FB FB"},  // locked
        {"22 AA 55 00 40 17 29 58", "22 AA 55 00 FA FA FA FA"},
        {"23 AA 55 00 00 00 00 00", "23 AA 55 00 FA FA FA FA"},
    };
    for (const auto& exchange : exchanges) {
        SCOPED_TRACE(exchange.Request);
        EXPECT_EQ(h.PolledText(exchange.Request), exchange.Reply);
    }
}

TEST_F(StatusPolledBootLoader, StatusRequestWithNothingToReportIsRefused) {
    Start(Config("TX5K33E28"));
    EXPECT_EQ(HexText(h.Poll()), "2A AA 55 00 FB FB FB FB");
    // Reads without a status request return the last reply unchanged.
    ASSERT_TRUE(h.Send(Hex("20 AA 55 00 00 00 00 00")));
    EXPECT_EQ(HexText(h.Receive().value_or(Bytes{})), "2A AA 55 00 FB FB FB FB");
}

TEST_F(StatusPolledBootLoader, AnswersBusyForTheConfiguredNumberOfStatusReads) {
    for (int busy_reads : {0, 1, 3, 49}) {
        SCOPED_TRACE(busy_reads);
        SimHarness local;
        SimDeviceConfig config = Config("TX5K33E28");
        config.BusyReads = busy_reads;
        local.Plug(config);
        ASSERT_TRUE(EnterBootLoader(local, 6));
        ASSERT_TRUE(local.Send(Hex("20 AA 55 00 00 00 00 00")));
        int seen = -1;
        EXPECT_EQ(HexText(local.Poll(&seen)), "20 AA 55 00 FA FA FA FA");
        EXPECT_EQ(seen, busy_reads);
    }
}

TEST_F(StatusPolledBootLoader, EraseReportsBusyUntilItsTimeHasPassed) {
    SimDeviceConfig config = Config("TX5K33E28");
    config.EraseMs = 100;
    Start(config);
    Unlock();
    ASSERT_TRUE(h.Send(Hex("24 AA 55 00 00 00 74 00")));
    int busy = 0;
    // Reads come 20 ms apart (a 10 ms wait sleeps and then spins).
    EXPECT_EQ(HexText(h.Poll(&busy)), "24 AA 55 00 FA FA FA FA");
    EXPECT_EQ(busy, 4);
    EXPECT_EQ(h.PolledText("26 AA 55 00 00 00 00 00", 80), "26 AA 55 00 FA FA 42 85");
}

TEST_F(StatusPolledBootLoader, AcknowledgesEachDataBlockAndTakesTheStatusRequestForNone) {
    SimDeviceConfig config = Config("TX5K33E28");
    config.BlockBusyReads = 1;
    Start(config);
    Unlock();
    EXPECT_EQ(h.PolledText("25 AA 55 00 04 00 02 00"), "25 AA 55 00 FA FA FA FA");
    for (const char* block : {"01 02 03 04 05 06 07 08", "11 12 13 14 15 16 17 18"}) {
        ASSERT_TRUE(h.Send(Hex(block)));
        EXPECT_EQ(HexText(h.Receive().value_or(Bytes{})), "F0 F0 F0 F0 F0 F0 F0 F0");
        EXPECT_EQ(HexText(h.Receive().value_or(Bytes{})), "FA FA FA FA FA FA FA FA");
    }
    const Bytes flash = h.Flash();
    EXPECT_EQ(HexText(Bytes(flash.begin() + 8, flash.begin() + 24), 16),
              "01 02 03 04 05 06 07 08 11 12 13 14 15 16 17 18");
}

TEST_F(StatusPolledBootLoader, ReturnUserModeGoesBackToTheApplicationWithoutAReply) {
    Start(Config("TX5K33E28"));
    ASSERT_EQ(h.PolledText("20 AA 55 00 00 00 00 00"), "20 AA 55 00 FA FA FA FA");
    ASSERT_TRUE(ReturnUserMode(h, Wire::StatusPolled));
    EXPECT_EQ(h.bus.Device(h.device).Mode(), DeviceMode::Application);
    EXPECT_EQ(ApplicationVersion(h), 0x0100);
}

}  // namespace
}  // namespace txisp::sim::testing
