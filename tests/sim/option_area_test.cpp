// Code options and the option page of the two chips that have one: family 8
// variant 1 (8-byte data blocks, page at word 0x0F00) and family 12 (64-byte
// data blocks, page at word 0x3F00).

#include <gtest/gtest.h>

#include "isp_scripts.h"

namespace txisp::sim::testing {
namespace {

struct OptionChip {
    const char* Chip;
    int Variant;
    int Family;
    std::uint16_t Page;  // word address
    int BlockSize;
};

void PrintTo(const OptionChip& chip, std::ostream* out) {
    *out << chip.Chip;
}

class OptionPage : public ::testing::TestWithParam<OptionChip> {
protected:
    void Start(SimDeviceConfig config) {
        h.Plug(std::move(config));
        ASSERT_TRUE(EnterBootLoader(h, GetParam().Family));
        ASSERT_EQ(h.ExchangeText("02 AA 55 00 40 17 29 58"), "02 AA 55 00 FA FA FA FA");
    }

    Bytes Request(std::uint8_t code, std::uint8_t sub, std::uint16_t address, std::uint8_t b6,
                  std::uint8_t b7 = 0) {
        return Block({code, 0xAA, 0x55, sub, static_cast<std::uint8_t>(address),
                      static_cast<std::uint8_t>(address >> 8), b6, b7});
    }

    std::string OptionChecksum() {
        return HexText(h.Exchange(Request(0x06, 0x01, GetParam().Page, 0), 150));
    }

    SimHarness h;
};

TEST_P(OptionPage, ReadsFourCodeOptionWords) {
    SimDeviceConfig config = Config(GetParam().Chip, GetParam().Variant);
    config.CodeOptions = Hex("00 01 02 03 10 11 12 13 20 21 22 23 30 31 32 33");
    Start(config);
    const char* const replies[] = {"09 AA 55 00 00 01 02 03", "09 AA 55 01 10 11 12 13",
                                   "09 AA 55 02 20 21 22 23", "09 AA 55 03 30 31 32 33",
                                   "09 AA 55 04 FB FB FB FB"};
    for (std::uint8_t k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(HexText(h.Exchange(Request(0x09, k, 0, 0), 0)), replies[k]);
    }
    // Their code options come with the page, not with Set Code Option.
    EXPECT_EQ(HexText(h.Exchange(Request(0x08, 0, 0, 0), 0)), "08 AA 55 00 FB FB FB FB");
}

TEST_P(OptionPage, ErasesProgramsAndSumsThePage) {
    const OptionChip& chip = GetParam();
    Start(Config(chip.Chip, chip.Variant));
    ASSERT_TRUE(h.Send(Request(0x04, 0, chip.Page, 0x01)));
    h.clock.BusyWaitMs(100);
    EXPECT_EQ(HexText(h.Receive().value_or(Bytes{})), "04 AA 55 00 FA FA FA FA");
    const std::string header = HexText(Request(0x06, 0x01, 0, 0), 4);
    EXPECT_EQ(OptionChecksum(), header + " FA FA 00 FE");

    const int blocks = 512 / chip.BlockSize;
    EXPECT_EQ(HexText(h.Exchange(Request(0x05, 0, chip.Page, static_cast<std::uint8_t>(blocks)))),
              HexText(Request(0x05, 0, chip.Page, 0), 4) + " FA FA FA FA");
    Bytes page(512);
    unsigned sum = 0;
    for (std::size_t i = 0; i < page.size(); ++i) {
        page[i] = static_cast<std::uint8_t>(i * 5 + 3);
        sum += page[i];
    }
    for (int k = 0; k < blocks; ++k) {
        const auto from = page.begin() + k * chip.BlockSize;
        ASSERT_TRUE(h.Send(Bytes(from, from + chip.BlockSize)));
    }
    EXPECT_EQ(OptionChecksum(), header + " FA FA " +
                                    HexText(Bytes{static_cast<std::uint8_t>(sum),
                                                  static_cast<std::uint8_t>(sum >> 8)}));
    // The code options are the page's last 16 bytes.
    EXPECT_EQ(HexText(h.Exchange(Request(0x09, 3, 0, 0), 0), 8),
              "09 AA 55 03 " + HexText(Bytes(page.end() - 4, page.end()), 4));
}

TEST_P(OptionPage, StaysShutWhileTheSecurityBitIsClear) {
    SimDeviceConfig config = Config(GetParam().Chip, GetParam().Variant);
    config.Faults.ProtectedCodeOptions = true;
    Start(config);
    EXPECT_EQ(HexText(h.Exchange(Request(0x09, 3, 0, 0), 0)), "09 AA 55 03 FF FF FD FF");
    ASSERT_TRUE(h.Send(Request(0x04, 0, GetParam().Page, 0x01)));
    EXPECT_EQ(HexText(h.Receive().value_or(Bytes{})), "04 AA 55 00 FB FB FB FB");
    EXPECT_EQ(HexText(h.Exchange(Request(0x05, 0, GetParam().Page, 1))).substr(12), "FB FB FB FB");
}

INSTANTIATE_TEST_SUITE_P(Sim, OptionPage,
                         ::testing::Values(OptionChip{"TX5K3390D", 1, 8, 0x0F00, 8},
                                           OptionChip{"TX5K33E55B", 0, 12, 0x3F00, 64}),
                         [](const auto& param_info) { return std::string(param_info.param.Chip); });

TEST(OptionPagePacket, IsProgrammedWithAnAnnouncementOfItsOwn) {
    // The last 8 bytes of the page, word 0x0FFC on, come before the rest.
    SimHarness h;
    h.Plug(Config("TX5K3390D", 1));
    ASSERT_TRUE(EnterBootLoader(h, 8));
    ASSERT_EQ(h.ExchangeText("02 AA 55 00 40 17 29 58"), "02 AA 55 00 FA FA FA FA");
    ASSERT_TRUE(h.Send(Hex("04 AA 55 00 00 0F 01 00")));
    h.clock.BusyWaitMs(100);
    EXPECT_EQ(h.ExchangeText("05 AA 55 00 FC 0F 01 00"), "05 AA 55 00 FA FA FA FA");
    ASSERT_TRUE(h.Send(Hex("C8 C9 CA CB CC CD CE CF")));
    EXPECT_EQ(h.ExchangeText("09 AA 55 02 00 00 00 00", 0), "09 AA 55 02 C8 C9 CA CB");
    EXPECT_EQ(h.ExchangeText("09 AA 55 01 00 00 00 00", 0), "09 AA 55 01 FF FF FF FF");
}

TEST(OptionPageAbsent, FamilyEightVariantZeroHasNone) {
    SimHarness h;
    h.Plug(Config("TX5K3390D", 0));
    ASSERT_TRUE(EnterBootLoader(h, 8));
    ASSERT_EQ(h.ExchangeText("02 AA 55 00 40 17 29 58"), "02 AA 55 00 FA FA FA FA");
    EXPECT_EQ(h.ExchangeText("06 AA 55 01 00 0F 00 00", 150), "06 AA 55 01 FB FB FB FB");
    ASSERT_TRUE(h.Send(Hex("04 AA 55 00 00 0F 01 00")));
    EXPECT_EQ(HexText(h.Receive().value_or(Bytes{})), "04 AA 55 00 FB FB FB FB");
    EXPECT_EQ(h.ExchangeText("09 AA 55 02 00 00 00 00", 0), "09 AA 55 02 FB FB FB FB");
}

}  // namespace
}  // namespace txisp::sim::testing
