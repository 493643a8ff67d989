// The 64-byte set of a TX64K36x (family 9): 64-byte requests, and raw
// reports with the chip's checksum in bytes 8 and 9.

#include <gtest/gtest.h>

#include "isp_scripts.h"

namespace txisp::sim::testing {
namespace {

class Byte64BootLoader : public ::testing::Test {
protected:
    void SetUp() override {
        h.Plug(Config("TX64K36x"));
        ASSERT_EQ(h.ReportLength(), 65);
        ASSERT_TRUE(EnterBootLoader(h, 9));
    }

    Bytes Exchange64(std::initializer_list<std::uint8_t> head) {
        return h.Exchange(Block(head, 64), 10);
    }

    SimHarness h;
};

TEST_F(Byte64BootLoader, ReportsVersionAndSecurityBytes) {
    EXPECT_EQ(HexText(Exchange64({0x01, 0xAA, 0x55, 0x00}), 16),
              "01 AA 55 00 FA FA FA FA 20 01 00 03 FF FF FF FF");
}

TEST_F(Byte64BootLoader, EraseReportCarriesTheBlankChecksumOnceTheEraseIsDone) {
    // Without the unlock request the erase is refused.
    ASSERT_TRUE(h.Send(Block({0x04, 0xAA, 0x55, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40}, 64)));
    EXPECT_EQ(HexText(h.Receive().value_or(Bytes{})), "04 AA 55 00 FB FB FB FB");

    // Bytes 4 and 5 of the unlock request are whatever the host's buffer held.
    ASSERT_TRUE(h.Send(Block({0x02, 0xAA, 0x55, 0x00, 0x5A, 0xC3}, 64)));
    ASSERT_TRUE(h.Send(Block({0x04, 0xAA, 0x55, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40}, 64)));
    EXPECT_EQ(HexText(h.Receive().value_or(Bytes{}), 10), "04 AA 55 00 F0 F0 F0 F0 00 00");
    h.clock.BusyWaitMs(1000);
    EXPECT_EQ(HexText(h.Receive().value_or(Bytes{}), 10), "04 AA 55 00 FA FA FA FA 00 80");
}

TEST_F(Byte64BootLoader, ProgrammingReportCarriesTheWordSumOfTheFlash) {
    h.Send(Block({0x02, 0xAA, 0x55, 0x00}, 64));
    h.Send(Block({0x04, 0xAA, 0x55, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40}, 64));
    h.clock.BusyWaitMs(1000);
    EXPECT_EQ(HexText(Exchange64({0x05, 0xAA, 0x55, 0x00, 0x40, 0x00, 0x00, 0x00, 0x02, 0x00})),
              "05 AA 55 00 FA FA FA FA");
    Bytes data(128);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i + 1);
    ASSERT_TRUE(h.Send(Bytes(data.begin(), data.begin() + 64)));
    ASSERT_TRUE(h.Send(Bytes(data.begin() + 64, data.end())));
    unsigned expected = 0x8000 - 64 * 0xFFFF;  // 128 erased bytes are written
    for (std::size_t i = 0; i < data.size(); i += 2)
        expected += data[i] | (data[i + 1] << 8);
    const Bytes report = h.Receive().value_or(Bytes{});
    EXPECT_EQ(HexText(report), "05 AA 55 00 FA FA FA FA");
    EXPECT_EQ(Le16(report, 8), static_cast<std::uint16_t>(expected));
    const Bytes flash = h.Flash();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), flash.begin() + 0x40));
}

TEST_F(Byte64BootLoader, RefusesToProgramPastTheFlash) {
    EXPECT_EQ(HexText(Exchange64({0x05, 0xAA, 0x55, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x04})),
              "05 AA 55 00 FB FB FB FB");
}

TEST_F(Byte64BootLoader, KeepsTheProtectionLevelWrittenWithSetEncryptionAlgorithm) {
    ASSERT_TRUE(h.Send(Block({0x03, 0xAA, 0x55, 0x00, 0xFF, 0xFF, 0x5A, 0x5A}, 64)));
    h.bus.Unplug(h.device);
    h.bus.Replug(h.device);
    ASSERT_TRUE(EnterBootLoader(h, 9));
    EXPECT_EQ(HexText(Exchange64({0x01, 0xAA, 0x55, 0x00}), 16),
              "01 AA 55 00 FA FA FA FA 20 01 00 03 FF FF 5A 5A");
}

TEST_F(Byte64BootLoader, TakesReturnUserModeAsAnEightByteBlockWithStaleBytesBehind) {
    Bytes request = Hex("07 AA 55 00 00 00 00 00");
    request.resize(64, 0x5A);
    ASSERT_TRUE(h.Send(request));
    EXPECT_EQ(h.bus.Device(h.device).Mode(), DeviceMode::Application);
}

TEST(Byte64SelfErasingFamilies, ProgramOverOldContentWithoutAnErase) {
    for (const char* chip : {"TX64K39x", "TX64K36xB"}) {
        SCOPED_TRACE(chip);
        SimHarness h;
        h.Plug(Config(chip));
        ASSERT_TRUE(EnterBootLoader(h, 13));
        for (std::uint8_t fill : {0x0F, 0xF0}) {
            EXPECT_EQ(
                HexText(h.Exchange(Block({0x05, 0xAA, 0x55, 0x00, 0, 0, 0, 0, 1, 0}, 64), 10)),
                "05 AA 55 00 FA FA FA FA");
            ASSERT_TRUE(h.Send(Bytes(64, fill)));
        }
        EXPECT_EQ(h.Flash()[0], 0xF0);
    }
}

}  // namespace
}  // namespace txisp::sim::testing
