// Every fault a scenario can give a device, seen from the host's side of
// the cable.

#include <gtest/gtest.h>

#include "isp_scripts.h"

namespace txisp::sim::testing {
namespace {

TEST(TransportFaults, FailTheNthSendOrReceiveOnce) {
    SimHarness h;
    SimDeviceConfig config = Config("TX5K3317");
    config.Faults.FailSend = 2;
    config.Faults.FailReceive = 2;
    h.Plug(config);
    ASSERT_TRUE(EnterBootLoader(h, 0));                    // send 1
    EXPECT_FALSE(h.Send(Hex("02 AA 55 00 40 17 29 58")));  // send 2 never arrives
    EXPECT_TRUE(h.Receive());                              // receive 1
    EXPECT_FALSE(h.Receive());                             // receive 2
    // Still locked: the password was lost with the failed send.
    EXPECT_EQ(h.ExchangeText("03 AA 55 00 00 00 00 00"), "03 AA 55 00 FB FB FB FB");
}

TEST(TransportFaults, UnplugAfterTheNthTransfer) {
    SimHarness h;
    SimDeviceConfig config = Config("TX5K3317");
    config.Faults.UnplugAfter = 3;
    h.Plug(config);
    const auto notifications = h.bus.RegisterUsbNotification();
    EXPECT_EQ(h.ExchangeText("AA 55 A5 5A FF 00 33 01", 0), "00 01 00 00 00 00 00 00");  // 1, 2
    EXPECT_TRUE(h.Send(Hex("AA 55 A5 5A FF 00 33 01")));                                 // 3
    EXPECT_FALSE(h.bus.IsPresent(h.device));
    EXPECT_EQ(notifications->ReadEvents().size(), 1u);
    Bytes report(9, 0);
    EXPECT_FALSE(h.bus.GetFeature("sim:1/0", report));
    // Once: plugged back in, it stays.
    h.bus.Replug(h.device);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(h.Send(Hex("AA 55 A5 5A FF 00 33 01")));
    EXPECT_TRUE(h.bus.IsPresent(h.device));
}

TEST(TransportFaults, LatencyMovesVirtualTimeWithoutAWaitOfTheHost) {
    SimHarness h;
    SimDeviceConfig config = Config("TX5K3317");
    config.Faults.LatencyMs = 7;
    h.Plug(config);
    ASSERT_TRUE(h.Send(Hex("AA 55 A5 5A FF 00 33 01")));
    ASSERT_TRUE(h.Receive());
    EXPECT_EQ(h.clock.NowMs(), 14);
    EXPECT_TRUE(h.clock.Waits().empty());
    const std::vector<Transfer> transcript = h.bus.Transcript();
    ASSERT_EQ(transcript.size(), 2u);
    EXPECT_EQ(transcript[0].AtMs, 7);
    EXPECT_EQ(transcript[1].AtMs, 14);
}

struct ReplyFault {
    const char* Name;
    void (*Apply)(SimFaults&);
    const char* Request;
    std::uint32_t WaitMs;
    const char* Reply;
};

const ReplyFault kReplyFaults[] = {
    {"wrong header", [](SimFaults& f) { f.WrongHeader = 0x01; }, "01 AA 55 00 00 00 00 00", 5,
     "01 AA 55 01 00 01 00 00"},
    {"nak", [](SimFaults& f) { f.Nak = 0x09; }, "09 AA 55 00 00 00 00 00", 0,
     "09 AA 55 00 FB FB FB FB"},
    {"wrong password", [](SimFaults& f) { f.WrongPassword = true; }, "02 AA 55 00 40 17 29 58", 5,
     "02 AA 55 00 FB FB FB FB"},
    {"firmware version",
     [](SimFaults& f) {
         f.FirmwareVersion = {{0x20, 0x01, 0x00, 0x05}};
     },
     "01 AA 55 00 00 00 00 00", 5, "01 AA 55 00 20 01 00 05"},
    // The security mask of row 0 is 0x42, its crystal mask 0x30.
    {"protected code options", [](SimFaults& f) { f.ProtectedCodeOptions = true; },
     "09 AA 55 01 00 00 00 00", 0, "09 AA 55 01 FF FF BD FF"},
    {"crystal mismatch", [](SimFaults& f) { f.CrystalMismatch = true; }, "09 AA 55 01 00 00 00 00",
     0, "09 AA 55 01 FF FF CF FF"},
};

TEST(ReplyFaults, ChangeTheAnswerToTheirCommand) {
    for (const ReplyFault& fault : kReplyFaults) {
        SCOPED_TRACE(fault.Name);
        SimHarness h;
        SimDeviceConfig config = Config("TX5K3317");
        fault.Apply(config.Faults);
        h.Plug(config);
        ASSERT_TRUE(EnterBootLoader(h, 0));
        EXPECT_EQ(h.ExchangeText(fault.Request, fault.WaitMs), fault.Reply);
    }
}

TEST(ReplyFaults, RefusedReturnUserModeKeepsTheBootLoader) {
    SimHarness h;
    SimDeviceConfig config = Config("TX5K3317");
    config.Faults.Nak = 0x07;
    h.Plug(config);
    ASSERT_TRUE(EnterBootLoader(h, 0));
    ASSERT_TRUE(ReturnUserMode(h, Wire::Byte8));
    EXPECT_EQ(h.bus.Device(h.device).Mode(), DeviceMode::BootLoader);
}

struct ChecksumFaultCase {
    const char* Chip;
    ChecksumFault Fault;
    std::uint16_t BlankDelta;
    std::uint16_t VerifyDelta;
};

TEST(ChecksumFaults, ReportTheChecksumOneOff) {
    const ChecksumFaultCase cases[] = {
        {"TX5K3317", ChecksumFault::Blank, 1, 0},
        {"TX5K3317", ChecksumFault::Verify, 0, 1},
        {"TX64K33x", ChecksumFault::Blank, 1, 0},
        {"TX64K33x", ChecksumFault::Verify, 0, 1},
    };
    for (const ChecksumFaultCase& c : cases) {
        SCOPED_TRACE(std::string(c.Chip) + " " + std::to_string(static_cast<int>(c.Fault)));
        const bool tx64 = std::string(c.Chip).starts_with("TX64");
        const ProgramPlan plan = tx64 ? ProgramPlan{Wire::Byte64, 0x10, 256, 64, 0}
                                      : ProgramPlan{Wire::Byte8, 0x40, 2046, 8, 16};
        const Bytes image(0x4000, 0x5A);
        ProgramResult results[2];
        for (int faulty = 0; faulty < 2; ++faulty) {
            SimHarness h;
            SimDeviceConfig config = Config(c.Chip);
            if (faulty) config.Faults.WrongChecksum = c.Fault;
            h.Plug(config);
            ASSERT_TRUE(EnterBootLoader(h, tx64 ? 11 : 0));
            results[faulty] = Program(h, image, plan);
            ASSERT_EQ(results[faulty].Failure, "");
        }
        EXPECT_EQ(static_cast<std::uint16_t>(results[1].Blank - results[0].Blank), c.BlankDelta);
        EXPECT_EQ(static_cast<std::uint16_t>(results[1].Checksum - results[0].Checksum),
                  c.VerifyDelta);
    }
}

TEST(ChecksumFaults, OptionPageChecksumOneOff) {
    SimHarness h;
    SimDeviceConfig config = Config("TX5K33E55B");
    config.Faults.WrongChecksum = ChecksumFault::Option;
    h.Plug(config);
    ASSERT_TRUE(EnterBootLoader(h, 12));
    ASSERT_EQ(h.ExchangeText("02 AA 55 00 40 17 29 58"), "02 AA 55 00 FA FA FA FA");
    ASSERT_TRUE(h.Send(Hex("04 AA 55 00 00 3F 01 00")));
    h.clock.BusyWaitMs(100);
    EXPECT_EQ(h.ExchangeText("06 AA 55 01 00 3F 00 00", 150), "06 AA 55 01 FA FA 01 FE");
}

TEST(BusyForever, EraseNeverEnds) {
    SimHarness h;
    SimDeviceConfig config = Config("TX5K3317");
    config.Faults.BusyForever = true;
    h.Plug(config);
    ASSERT_TRUE(EnterBootLoader(h, 0));
    ASSERT_EQ(h.ExchangeText("02 AA 55 00 40 17 29 58"), "02 AA 55 00 FA FA FA FA");
    ASSERT_TRUE(h.Send(Hex("04 AA 55 00 00 00 40 00")));
    h.clock.BusyWaitMs(600'000);
    EXPECT_EQ(HexText(h.Receive().value_or(Bytes{})), "04 AA 55 00 F0 F0 F0 F0");
    EXPECT_EQ(h.ExchangeText("06 AA 55 00 00 00 00 00", 150), "06 AA 55 00 F0 F0 F0 F0");
}

TEST(BusyForever, StatusPolledDeviceAnswersBusyToEveryStatusRead) {
    SimHarness h;
    SimDeviceConfig config = Config("TX5K33E28");
    config.Faults.BusyForever = true;
    h.Plug(config);
    ASSERT_TRUE(EnterBootLoader(h, 6));
    ASSERT_TRUE(h.Send(Hex("20 AA 55 00 00 00 00 00")));
    int busy = 0;
    EXPECT_EQ(HexText(h.Poll(&busy)), "20 AA 55 00 F0 F0 F0 F0");
    EXPECT_EQ(busy, 50);
}

}  // namespace
}  // namespace txisp::sim::testing
