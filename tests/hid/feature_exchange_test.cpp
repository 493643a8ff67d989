// Feature-report transfers through the device table, against the scripted
// backend.

#include <gtest/gtest.h>

#include <latch>
#include <numeric>
#include <thread>

#include "hid/hid_device_table.h"
#include "support/fake_hid_backend.h"
#include "trace_capture.h"

namespace txisp::hid {
namespace {

using testing::FakeHidBackend;
using testing::LoggedTransfer;
using testing::TransferKind;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kVid = 0x5E3A;
constexpr std::uint16_t kPid = 0x7300;
const std::string kPath = "/dev/hidraw4";

// Bytes first, first + 1, ... (wrapping).
Bytes Ramp(std::size_t n, std::uint8_t first) {
    Bytes bytes(n);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

class FeatureExchangeTest : public ::testing::Test {
protected:
    // One device with reports of `length` bytes, found and selected.
    void Plug(int length) {
        backend_.AddInterface(FakeHidBackend::Interface(kPath, kVid, kPid, length));
        table_.SetReportBlockSize(length - 1);
        ASSERT_EQ(table_.OpenHidDevice(kVid, kPid), kHidOk);
        table_.SelectDevice(0);
    }
    bool Send(const Bytes& block) { return table_.SendFeatureBlock(kVid, kPid, block); }
    bool Receive(Bytes& block) { return table_.ReceiveFeatureBlock(kVid, kPid, block); }
    LoggedTransfer LastTransfer() const {
        const auto log = backend_.Log();
        return log.empty() ? LoggedTransfer{} : log.back();
    }

    FakeHidBackend backend_;
    HidDeviceTable table_{backend_};
};

TEST_F(FeatureExchangeTest, LongBlocksAreCutToTheReportBothWays) {
    const struct {
        int length;
        std::size_t block;
    } kCases[] = {{9, 9}, {9, 64}, {65, 65}, {65, 100}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(::testing::Message() << "L " << c.length << ", n " << c.block);
        FakeHidBackend backend;
        backend.AddInterface(FakeHidBackend::Interface(kPath, kVid, kPid, c.length));
        HidDeviceTable table(backend);
        table.SetReportBlockSize(c.length - 1);
        ASSERT_EQ(table.OpenHidDevice(kVid, kPid), kHidOk);
        const auto payload = static_cast<std::size_t>(c.length - 1);

        const Bytes out = Ramp(c.block, 0x10);
        ASSERT_TRUE(table.SendFeatureBlock(kVid, kPid, out));
        Bytes expected_report = {0x00};
        expected_report.insert(expected_report.end(), out.begin(), out.begin() + payload);
        EXPECT_EQ(backend.Log().back().Report, expected_report);

        backend.QueueReply(kPath, Ramp(payload, 0x80));
        Bytes in(c.block, 0xEE);
        ASSERT_TRUE(table.ReceiveFeatureBlock(kVid, kPid, in));
        Bytes expected_block = Ramp(payload, 0x80);
        expected_block.resize(c.block, 0xEE);  // nothing written past L - 1 bytes
        EXPECT_EQ(in, expected_block);
    }
}

// The 8-byte commands go to 65-byte devices too; the 56 bytes behind them
// carry what the previous transfer left, whichever way it went.
TEST_F(FeatureExchangeTest, ShortBlockSendsTheRestAsThePreviousTransferLeftIt) {
    const Bytes previous_payload = Ramp(64, 0x40);
    const struct {
        const char* name;
        bool previous_was_receive;
    } kCases[] = {{"after a send", false}, {"after a receive", true}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        FakeHidBackend backend;
        backend.AddInterface(FakeHidBackend::Interface(kPath, kVid, kPid, 65));
        HidDeviceTable table(backend);
        table.SetReportBlockSize(64);
        ASSERT_EQ(table.OpenHidDevice(kVid, kPid), kHidOk);
        if (c.previous_was_receive) {
            backend.QueueReply(kPath, previous_payload);
            Bytes in(64);
            ASSERT_TRUE(table.ReceiveFeatureBlock(kVid, kPid, in));
        } else {
            ASSERT_TRUE(table.SendFeatureBlock(kVid, kPid, previous_payload));
        }

        const Bytes command = {0x01, 0xAA, 0x55, 0x00, 0x10, 0x20, 0x30, 0x40};
        ASSERT_TRUE(table.SendFeatureBlock(kVid, kPid, command));
        const Bytes sent = backend.Log().back().Report;
        ASSERT_EQ(sent.size(), 65u);
        EXPECT_EQ(sent[0], 0x00);
        EXPECT_EQ(Bytes(sent.begin() + 1, sent.begin() + 9), command);
        EXPECT_EQ(Bytes(sent.begin() + 9, sent.end()),
                  Bytes(previous_payload.begin() + 8, previous_payload.end()));
    }
}

TEST_F(FeatureExchangeTest, ReportBufferStartsZeroed) {
    Plug(65);
    ASSERT_TRUE(Send(Bytes(8, 0xFF)));
    const Bytes sent = LastTransfer().Report;
    EXPECT_EQ(Bytes(sent.begin() + 9, sent.end()), Bytes(56, 0x00));
}

TEST_F(FeatureExchangeTest, FailedReceiveLeavesTheBlockUntouched) {
    Plug(9);
    backend_.QueueReply(kPath, Ramp(8, 1));
    backend_.FailTransfer(1);
    const Bytes before = Ramp(8, 0xA0);
    Bytes block = before;
    EXPECT_FALSE(Receive(block));
    EXPECT_EQ(block, before);

    // The reply is still waiting; once it is read, nothing is queued and
    // nobody answers: also a failure.
    ASSERT_TRUE(Receive(block));
    EXPECT_FALSE(Receive(block));
    EXPECT_EQ(block, Ramp(8, 1));
}

TEST_F(FeatureExchangeTest, InjectedFailureFailsThatTransferOnly) {
    Plug(9);
    backend_.FailTransfer(2);
    EXPECT_TRUE(Send(Ramp(8, 0)));
    EXPECT_FALSE(Send(Ramp(8, 0)));
    EXPECT_TRUE(Send(Ramp(8, 0)));
}

TEST_F(FeatureExchangeTest, UnpluggedDeviceFailsWithoutATransfer) {
    Plug(9);
    backend_.Unplug(kPath);
    Bytes block = Ramp(8, 0x30);
    EXPECT_FALSE(Send(block));
    EXPECT_FALSE(Receive(block));
    EXPECT_EQ(block, Ramp(8, 0x30));
    EXPECT_TRUE(backend_.Log().empty());
    EXPECT_EQ(backend_.RefusedTransfers(), 2);
}

TEST_F(FeatureExchangeTest, NothingFoundMeansNothingSent) {
    EXPECT_EQ(table_.OpenHidDevice(kVid, kPid), kHidFail);
    Bytes block(8);
    EXPECT_FALSE(Send(block));
    EXPECT_FALSE(Receive(block));
    EXPECT_TRUE(backend_.Log().empty());
    EXPECT_EQ(backend_.RefusedTransfers(), 0);
}

TEST_F(FeatureExchangeTest, SelectedDeviceGetsTheTransfer) {
    backend_.AddInterface(FakeHidBackend::Interface("/dev/hidraw1", kVid, kPid, 9));
    backend_.AddInterface(FakeHidBackend::Interface("/dev/hidraw2", kVid, kPid, 9));
    ASSERT_EQ(table_.OpenHidDevice(kVid, kPid), kHidOk);
    for (int index : {1, 0, 5}) {
        SCOPED_TRACE(index);
        table_.SelectDevice(index);
        ASSERT_TRUE(Send(Bytes(8)));
        EXPECT_EQ(LastTransfer().Path, index == 1 ? "/dev/hidraw2" : "/dev/hidraw1");
    }
}

TEST_F(FeatureExchangeTest, EveryTransferIsTracedAsHex) {
    testing::TraceCapture trace;
    Plug(9);
    ASSERT_TRUE(Send({0x01, 0xAA, 0x55, 0x00, 0xFA, 0xFA, 0xFA, 0xFA}));
    backend_.QueueReply(kPath, {0x01, 0xAA, 0x55, 0x00, 0x12, 0x34});
    Bytes block(8);
    ASSERT_TRUE(Receive(block));
    backend_.FailTransfer(3);
    EXPECT_FALSE(Send(Bytes(8, 0x11)));
    EXPECT_EQ(trace.Lines(platform::TraceLevel::Raw),
              (std::vector<std::string>{
                  "send /dev/hidraw4: 00 01 AA 55 00 FA FA FA FA",
                  "receive /dev/hidraw4: 00 01 AA 55 00 12 34 00 00",
                  "send /dev/hidraw4 failed: 00 11 11 11 11 11 11 11 11",
              }));
}

// --- Which thread may use the table ---------------------------------------

TEST_F(FeatureExchangeTest, WorkerUsesTheTableForARunAndHandsItBack) {
    Plug(9);
    backend_.SetResponder([](const std::string&, std::span<const std::uint8_t> sent) {
        return std::optional<Bytes>(Bytes(sent.begin(), sent.end()));
    });
    ASSERT_TRUE(table_.Release());

    std::latch worker_holds_it(1), window_has_looked(1);
    bool worker_ok = false;
    std::thread worker([&] {
        HidTableClaim claim(table_);
        worker_ok = static_cast<bool>(claim);
        worker_holds_it.count_down();
        window_has_looked.wait();
        Bytes echo(8);
        worker_ok = worker_ok && table_.SendFeatureBlock(kVid, kPid, Ramp(8, 5)) &&
                    table_.ReceiveFeatureBlock(kVid, kPid, echo) && echo == Ramp(8, 5);
    });
    worker_holds_it.wait();
    EXPECT_FALSE(table_.OwnedByThisThread());
    EXPECT_FALSE(table_.Claim());
    window_has_looked.count_down();
    worker.join();

    EXPECT_TRUE(worker_ok);
    ASSERT_TRUE(table_.Claim());
    EXPECT_TRUE(table_.OwnedByThisThread());
    EXPECT_TRUE(Send(Bytes(8)));
}

TEST_F(FeatureExchangeTest, OwnerKeepsTheTableThroughItsOwnClaim) {
    {
        HidTableClaim claim(table_);
        EXPECT_TRUE(static_cast<bool>(claim));
    }
    EXPECT_TRUE(table_.OwnedByThisThread());
}

TEST_F(FeatureExchangeTest, OnlyTheOwnerReleases) {
    bool released = true;
    std::thread([&] { released = table_.Release(); }).join();
    EXPECT_FALSE(released);
    EXPECT_TRUE(table_.OwnedByThisThread());
}

// Debug builds stop at the first misuse; release builds refuse it.
TEST_F(FeatureExchangeTest, TransfersAndSearchesFromAnotherThreadAreRefused) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Plug(9);
    const auto from_other_thread = [this](auto operation) {
        bool result = true;
        std::thread([&] { result = operation(); }).join();
        return result;
    };
    const auto send = [this] { return table_.SendFeatureBlock(kVid, kPid, Bytes(8)); };
    const auto receive = [this] {
        Bytes block(8);
        return table_.ReceiveFeatureBlock(kVid, kPid, block);
    };
    const auto search = [this] { return table_.OpenHidDevice(kVid, kPid) == kHidOk; };
    EXPECT_DEBUG_DEATH(EXPECT_FALSE(from_other_thread(send)), "does not own");
    EXPECT_DEBUG_DEATH(EXPECT_FALSE(from_other_thread(receive)), "does not own");
    EXPECT_DEBUG_DEATH(EXPECT_FALSE(from_other_thread(search)), "does not own");
    EXPECT_TRUE(backend_.Log().empty());
    EXPECT_EQ(table_.GetDeviceCount(), 1);
}

}  // namespace
}  // namespace txisp::hid
