// The 8-byte command set as a TX5K3317 (family 0, variant 0) boot loader
// answers it: requests and replies straight from the protocol tables.

#include <gtest/gtest.h>

#include "isp_scripts.h"

namespace txisp::sim::testing {
namespace {

class Byte8BootLoader : public ::testing::Test {
protected:
    void SetUp() override {
        h.Plug(Config("TX5K3317"));
        ASSERT_TRUE(EnterBootLoader(h, 0));
    }

    void Unlock() {
        ASSERT_EQ(h.ExchangeText("02 AA 55 00 40 17 29 58"), "02 AA 55 00 FA FA FA FA");
    }

    void EraseMainArea() {
        Unlock();
        h.Send(Hex("04 AA 55 00 00 00 40 00"));
        h.clock.BusyWaitMs(1700);
        ASSERT_EQ(HexText(h.Receive().value_or(Bytes{})), "04 AA 55 00 FA FA FA FA");
    }

    SimHarness h;
};

struct Exchange {
    const char* Request;
    std::uint32_t WaitMs;
    const char* Reply;
};

TEST_F(Byte8BootLoader, AnswersEachCommandWithItsHeaderAndResult) {
    // In order: the device's state carries from one request to the next.
    const Exchange exchanges[] = {
        {"01 AA 55 00 00 00 00 00", 5, "01 AA 55 00 00 01 00 00"},
        {"03 AA 55 00 00 00 00 02", 5, "03 AA 55 00 FB FB FB FB"},  // locked
        {"08 AA 55 00 11 22 33 44", 0, "08 AA 55 00 FB FB FB FB"},  // locked
        {"02 AA 55 00 12 34 56 78", 5, "02 AA 55 00 FB FB FB FB"},  // wrong password
        {"02 AA 55 00 40 17 29 58", 5, "02 AA 55 00 FA FA FA FA"},
        {"03 AA 55 00 00 00 00 02", 5, "03 AA 55 00 FA FA FA FA"},
        {"09 AA 55 00 00 00 00 00", 0, "09 AA 55 00 FF FF FF FF"},
        {"09 AA 55 01 00 00 00 00", 0, "09 AA 55 01 FF FF FF FF"},
        {"09 AA 55 02 00 00 00 00", 0, "09 AA 55 02 FB FB FB FB"},   // two words only
        {"08 AA 55 01 55 66 F2 88", 50, "08 AA 55 01 FB FB FB FB"},  // second word first
        {"08 AA 55 00 11 22 33 44", 0, "08 AA 55 00 FA FA FA FA"},
        {"08 AA 55 01 55 66 F2 88", 50, "08 AA 55 01 FA FA FA FA"},
        {"09 AA 55 00 00 00 00 00", 0, "09 AA 55 00 11 22 33 44"},
        {"09 AA 55 01 00 00 00 00", 0, "09 AA 55 01 55 66 F2 88"},
        {"06 AA 55 02 00 00 00 00", 150, "06 AA 55 02 FB FB FB FB"},  // no such area
        {"0A AA 55 00 00 00 00 00", 5, "0A AA 55 00 FB FB FB FB"},    // no such command
    };
    for (const Exchange& exchange : exchanges) {
        SCOPED_TRACE(exchange.Request);
        EXPECT_EQ(h.ExchangeText(exchange.Request, exchange.WaitMs), exchange.Reply);
    }
    EXPECT_EQ(h.bus.Device(h.device).EncryptionAlgorithm(), 2);
}

TEST_F(Byte8BootLoader, BytesThatAreNoRequestLeaveTheReplyAsItWas) {
    EXPECT_EQ(h.ExchangeText("01 AA 55 00 00 00 00 00"), "01 AA 55 00 00 01 00 00");
    EXPECT_EQ(h.ExchangeText("02 55 AA 00 40 17 29 58"), "01 AA 55 00 00 01 00 00");
}

TEST_F(Byte8BootLoader, EraseResultIsReadAfterTheEraseTimeWithoutARequest) {
    Unlock();
    ASSERT_TRUE(h.Send(Hex("04 AA 55 00 00 00 40 00")));
    EXPECT_EQ(HexText(h.Receive().value_or(Bytes{})), "04 AA 55 00 F0 F0 F0 F0");
    h.clock.BusyWaitMs(999);
    EXPECT_EQ(HexText(h.Receive().value_or(Bytes{})), "04 AA 55 00 F0 F0 F0 F0");
    h.clock.BusyWaitMs(1);
    EXPECT_EQ(HexText(h.Receive().value_or(Bytes{})), "04 AA 55 00 FA FA FA FA");
    EXPECT_EQ(h.ExchangeText("06 AA 55 00 00 00 00 00", 150), "06 AA 55 00 FA FA B0 B0");
    EXPECT_FALSE(h.bus.Device(h.device).ApplicationIntact());
}

TEST_F(Byte8BootLoader, ExecutesNothingWhileErasing) {
    Unlock();
    ASSERT_TRUE(h.Send(Hex("04 AA 55 00 00 00 40 00")));
    EXPECT_EQ(h.ExchangeText("05 AA 55 00 08 00 01 00"), "05 AA 55 00 F0 F0 F0 F0");
    h.clock.BusyWaitMs(1000);
    // The request was not taken: this block is no data but a request.
    EXPECT_EQ(h.ExchangeText("01 AA 55 00 00 00 00 00"), "01 AA 55 00 00 01 00 00");
}

TEST_F(Byte8BootLoader, RefusesAnEraseOfAnotherModeOrAddress) {
    Unlock();
    for (const char* request :
         {"04 AA 55 00 00 00 3F 00", "04 AA 55 00 08 00 40 00", "04 AA 55 00 00 0F 01 00"}) {
        SCOPED_TRACE(request);
        ASSERT_TRUE(h.Send(Hex(request)));
        EXPECT_EQ(HexText(h.Receive().value_or(Bytes{})),
                  std::string(request).substr(0, 12) + "FB FB FB FB");
    }
    EXPECT_TRUE(h.bus.Device(h.device).ApplicationIntact());
}

TEST_F(Byte8BootLoader, ProgramsTheAnnouncedBlocksFromTheAnnouncedWordAddress) {
    EraseMainArea();
    EXPECT_EQ(h.ExchangeText("05 AA 55 00 08 00 02 00"), "05 AA 55 00 FA FA FA FA");
    ASSERT_TRUE(h.Send(Hex("01 02 03 04 05 06 07 08")));
    ASSERT_TRUE(h.Send(Hex("11 12 13 14 15 16 17 18")));
    // The third report is a request again.
    EXPECT_EQ(h.ExchangeText("01 AA 55 00 00 00 00 00"), "01 AA 55 00 00 01 00 00");

    const Bytes flash = h.Flash();
    EXPECT_EQ(HexText(Bytes(flash.begin() + 16, flash.begin() + 32), 16),
              "01 02 03 04 05 06 07 08 11 12 13 14 15 16 17 18");
    // Blank checksum less the 16 erased bytes now written, plus what they hold.
    unsigned expected = 0xB0B0 - 16 * 0xFF;
    for (int i = 16; i < 32; ++i)
        expected += flash[i];
    EXPECT_EQ(h.ExchangeText("06 AA 55 00 00 00 00 00", 150),
              HexText(Bytes{0x06, 0xAA, 0x55, 0x00, 0xFA, 0xFA, static_cast<std::uint8_t>(expected),
                            static_cast<std::uint8_t>(expected >> 8)}));
}

TEST_F(Byte8BootLoader, RefusesToProgramOutsideTheMainArea) {
    EraseMainArea();
    const char* const requests[] = {
        "05 AA 55 00 00 00 01 00",  // the reset stub
        "05 AA 55 00 08 00 FF 07",  // 2047 blocks run past the byte-sum length
        "05 AA 55 00 08 00 00 00",  // nothing to program
    };
    for (const char* request : requests) {
        SCOPED_TRACE(request);
        EXPECT_EQ(h.ExchangeText(request), std::string(request).substr(0, 12) + "FB FB FB FB");
    }
}

TEST_F(Byte8BootLoader, ProgrammingWithoutEraseOnlyClearsBits) {
    Unlock();
    for (const char* block : {"0F 0F 0F 0F 0F 0F 0F 0F", "F0 F0 F0 F0 F0 F0 F0 F0"}) {
        EXPECT_EQ(h.ExchangeText("05 AA 55 00 08 00 01 00"), "05 AA 55 00 FA FA FA FA");
        ASSERT_TRUE(h.Send(Hex(block)));
    }
    const Bytes flash = h.Flash();
    EXPECT_EQ(HexText(Bytes(flash.begin() + 16, flash.begin() + 24)), "00 00 00 00 00 00 00 00");
}

TEST_F(Byte8BootLoader, ProtectedCodeOptionsRefuseToBeRewritten) {
    Unlock();
    // c6 = 0xB2 clears bit 6 of the security mask 0x42.
    EXPECT_EQ(h.ExchangeText("08 AA 55 00 FF 3F FF 3F", 0), "08 AA 55 00 FA FA FA FA");
    EXPECT_EQ(h.ExchangeText("08 AA 55 01 FF 3F B2 3F", 50), "08 AA 55 01 FA FA FA FA");
    EXPECT_EQ(h.ExchangeText("08 AA 55 00 FF 3F FF 3F", 0), "08 AA 55 00 FB FB FB FB");
    EXPECT_EQ(h.ExchangeText("09 AA 55 01 00 00 00 00", 0), "09 AA 55 01 FF 3F B2 3F");
}

TEST(Byte8BootLoaderOn65ByteReports, TakesEightByteRequestsAndSixtyFourByteBlocks) {
    SimHarness h;
    h.Plug(Config("TX5K33E55B"));
    ASSERT_EQ(h.ReportLength(), 65);
    ASSERT_TRUE(EnterBootLoader(h, 12));
    // What stands behind the 8 request bytes in the 65-byte report is ignored.
    Bytes request = Hex("01 AA 55 00 00 00 00 00");
    request.resize(64, 0xEE);
    ASSERT_TRUE(h.Send(request));
    EXPECT_EQ(HexText(h.Receive().value_or(Bytes{})), "01 AA 55 00 00 0A 00 00");

    EXPECT_EQ(h.ExchangeText("02 AA 55 00 40 17 29 58"), "02 AA 55 00 FA FA FA FA");
    EXPECT_EQ(h.ExchangeText("05 AA 55 00 00 00 01 00"), "05 AA 55 00 FA FA FA FA");
    Bytes block(64);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i);
    ASSERT_TRUE(h.Send(block));
    const Bytes flash = h.Flash();
    EXPECT_TRUE(std::equal(block.begin(), block.end(), flash.begin()));
}

}  // namespace
}  // namespace txisp::sim::testing
