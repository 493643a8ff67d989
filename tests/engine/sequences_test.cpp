// Every chip family programmed on the simulated bus with its sample
// firmware: the requests that matter byte for byte, the data blocks, the
// progress bar and what the run reports.

#include <gtest/gtest.h>

#include <numeric>

#include "engine_harness.h"

namespace txisp::engine::testing {
namespace {

struct FamilyCase {
    const char* Chip;
    firmware::ChipFamily Family;
    int Blocks;
    std::size_t BlockSize;
    std::size_t FirstByte;  // of the image, sent as the first block
    int ProgressScale;      // the bar's position after the last block
    bool Erases;
    int OptionPageBlocks;  // sent after the image: E's packet and page, F's page
    // The requests in order, data blocks and status requests left out; each
    // shown with as many bytes as it has parameters that matter.
    std::vector<std::string> Requests;
};

void PrintTo(const FamilyCase& c, std::ostream* out) {
    *out << c.Chip;
}

const std::string kBoot = "AA 55 A5 5A FF 00 33 CC";
const std::string kVersion = "01 AA 55 00 00 00 00 00";
const std::string kPassword = "02 AA 55 00 40 17 29 58";
const std::string kOptions0 = "09 AA 55 00 00 00 00 00";
const std::string kOptions1 = "09 AA 55 01 00 00 00 00";
const std::string kOptions2 = "09 AA 55 02 00 00 00 00";
const std::string kOptions3 = "09 AA 55 03 00 00 00 00";
const std::string kEncryption0 = "03 AA 55 00 00 00 00 00";
const std::string kCheckSum = "06 AA 55 00 00 00 00 00";
const std::string kUserMode = "07 AA 55 00 00 00 00 00";
// Chip options FF x8, image options FF 3F FF 3F FF 3F F2 3F.
const std::string kWriteImageOptions0 = "08 AA 55 00 FF 3F FF 3F";
const std::string kWriteKeepChipC0C1 = "08 AA 55 00 FF FF FF 3F";
const std::string kWriteOptions1 = "08 AA 55 01 FF 3F F2 3F";

std::vector<std::string> SequenceA(const std::string& erase, const std::string& program) {
    return {kBoot,          kVersion,  kPassword, kOptions0, kOptions1, kEncryption0,
            erase,          kCheckSum, program,   kOptions0, kOptions1, kWriteImageOptions0,
            kWriteOptions1, kOptions0, kOptions1, kCheckSum, kUserMode};
}

std::vector<std::string> SequenceB(const std::string& erase, const std::string& program,
                                   bool b_prime) {
    std::vector<std::string> requests = {kBoot, kVersion, kPassword};
    if (b_prime) requests.push_back(kEncryption0);
    for (const std::string& r :
         {erase, kCheckSum, program, kOptions0, kOptions1, kWriteKeepChipC0C1, kWriteOptions1,
          kOptions0, kOptions1, kCheckSum, kUserMode})
        requests.push_back(r);
    return requests;
}

// clang-format off
const FamilyCase kFamilies[] = {
    {"TX5K3317", 0, 2046, 8, 16, 100, true, 0,
     SequenceA("04 AA 55 00 00 00 40 00", "05 AA 55 00 08 00 FE 07")},
    {"TX5K3307", 1, 990, 8, 16, 100, true, 0,  // variant 0: B'
     SequenceB("04 AA 55 00 00 00 1F 00", "05 AA 55 00 08 00 DE 03", true)},
    {"TX5K3358", 2, 2558, 8, 16, 100, true, 0,
     SequenceA("04 AA 55 00 00 00 50 00", "05 AA 55 00 08 00 FE 09")},
    {"TX5K3317B", 3, 2014, 8, 16, 100, true, 0,
     SequenceA("04 AA 55 00 00 00 3F 00", "05 AA 55 00 08 00 DE 07")},
    {"TX5K3307B", 4, 958, 8, 16, 100, true, 0,
     SequenceB("04 AA 55 00 00 00 1E 00", "05 AA 55 00 08 00 BE 03", false)},
    {"TX5K3355B", 5, 2558, 8, 16, 100, true, 0,
     SequenceA("04 AA 55 00 00 00 50 00", "05 AA 55 00 08 00 FE 09")},
    {"TX5K33E28", 6, 3711, 8, 8, 100, true, 0,
     {"AA 55 A5 5A FF 00 33 81", "20 AA 55 00 00 00 00 00", "21 AA 55 00 00 00 00 00",
      "22 AA 55 00 40 17 29 58", "29 AA 55 00 00 00 00 00", "29 AA 55 01 00 00 00 00",
      "23 AA 55 00 00 00 00 00", "24 AA 55 00 00 00 74 00", "26 AA 55 00 00 00 00 00",
      "25 AA 55 00 04 00 7F 0E", "29 AA 55 00 00 00 00 00", "29 AA 55 01 00 00 00 00",
      "28 AA 55 00 FF 3F FF 3F", "28 AA 55 01 FF 3F F2 3F", "29 AA 55 00 00 00 00 00",
      "29 AA 55 01 00 00 00 00", "26 AA 55 00 00 00 00 00", "27 AA 55 00 00 00 00 00"}},
    {"TX5K3304C", 7, 958, 8, 16, 100, true, 0,
     SequenceB("04 AA 55 00 00 00 1E 00", "05 AA 55 00 08 00 BE 03", false)},
    {"TX5K3390D", 8, 830, 8, 16, 95, true, 64,  // variant 1: E
     {kBoot, kVersion, kPassword, "04 AA 55 00 00 00 0C 00", kCheckSum,
      "05 AA 55 00 08 00 3E 03", kCheckSum, kOptions0, kOptions1, kOptions2, kOptions3,
      "04 AA 55 00 00 0F 01 00", "06 AA 55 01 00 0F 00 00", "05 AA 55 00 FC 0F 01 00",
      "05 AA 55 00 00 0F 3F 00", "06 AA 55 01 00 0F 00 00", kUserMode}},
    {"TX64K36x", 9, 1024, 64, 0, 100, true, 0,
     {kBoot, "01 AA 55 00 00 00 00 00 00 00", "02 AA 55 00 00 00 00 00 00 00",
      "04 AA 55 00 00 00 00 00 40 00", "05 AA 55 00 00 00 00 00 00 04",
      "03 AA 55 00 FF FF FF FF 00 00", kUserMode}},
    {"TX64K38x", 10, 512, 64, 0, 100, true, 0,
     {kBoot, "01 AA 55 00 00 00 00 00 00 00", "02 AA 55 00 00 00 00 00 00 00",
      "04 AA 55 00 00 00 00 00 20 00", "05 AA 55 00 00 00 00 00 00 02",
      "03 AA 55 00 FF FF FF FF 00 00", kUserMode}},
    {"TX64K33x", 11, 256, 64, 0, 100, true, 0,
     {kBoot, "01 AA 55 00 00 00 00 00 00 00", "02 AA 55 00 00 00 00 00 00 00",
      "04 AA 55 00 00 00 00 00 10 00", "05 AA 55 00 00 00 00 00 00 01",
      "03 AA 55 00 FF FF FF FF 00 00", kUserMode}},
    {"TX5K33E55B", 12, 472, 64, 0, 95, true, 8,
     {kBoot, kVersion, kPassword, "04 AA 55 00 00 00 3A 00", kCheckSum,
      "05 AA 55 00 00 00 D8 01", kCheckSum, kOptions0, kOptions1, kOptions2, kOptions3,
      "04 AA 55 00 00 3F 01 00", "06 AA 55 01 00 3F 00 00", "05 AA 55 00 00 3F 08 00",
      "06 AA 55 01 00 3F 00 00", kUserMode}},
    // Level 0 on a device at 00 00: sent again after programming.
    {"TX64K39x", 13, 480, 64, 0, 100, false, 0,
     {kBoot, "01 AA 55 00 00 00 00 00 00 00", "05 AA 55 00 00 00 00 00 E0 01",
      "03 AA 55 00 00 00 00 00 00 00", kUserMode}},
    // The level goes out before programming, not after.
    {"TX64K36xB", 14, 1024, 64, 0, 100, false, 0,
     {kBoot, "01 AA 55 00 00 00 00 00 00 00", "03 AA 55 00 00 00 00 00 00 00",
      "05 AA 55 00 00 00 00 00 00 04", kUserMode}},
};
// clang-format on

class EveryFamily : public EngineTest, public ::testing::WithParamInterface<FamilyCase> {};

TEST_P(EveryFamily, IsProgrammedAndVerified) {
    const FamilyCase& c = GetParam();
    PlugExample(c.Chip);
    const RunReport report = Run(Params(c.Family));

    EXPECT_EQ(report.Result, kRunSucceeded);
    ASSERT_EQ(report.Devices.size(), 1u);
    EXPECT_TRUE(report.Devices[0].Success) << report.Devices[0].FirstFailure;
    EXPECT_EQ(report.DevicesProgrammed, 1u);
    EXPECT_EQ(report.Phase, 1);
    EXPECT_TRUE(observer_.HasTrace("Data Verify OK!!"));
    // The device runs the new application, which reports its version.
    const sim::SimDevice device = bus_.Device(0);
    EXPECT_EQ(device.Mode(), sim::DeviceMode::Application);
    EXPECT_EQ(device.Memory().AppVersion(), 0x0101);

    const bool tx64 = firmware::IsTx64Kind(c.Family);
    const std::vector<std::string> requests = SentRequests(bus_, 0, tx64, 10);
    ASSERT_EQ(requests.size(), c.Requests.size()) << ::testing::PrintToString(requests);
    for (std::size_t i = 0; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].substr(0, c.Requests[i].size()), c.Requests[i]) << "request " << i;
    }

    // The data blocks: the image from the first byte sent, block by block.
    const auto image = image_.BufferFor(c.Family);
    std::vector<Bytes> main_blocks;
    for (const WireBlock& block : SentBlocks(bus_, 0, tx64)) {
        if (block.Data) main_blocks.push_back(block.Payload);
    }
    ASSERT_EQ(main_blocks.size(), static_cast<std::size_t>(c.Blocks + c.OptionPageBlocks));
    EXPECT_EQ(Bytes(main_blocks[0].begin(), main_blocks[0].begin() + c.BlockSize),
              Bytes(image.begin() + c.FirstByte, image.begin() + c.FirstByte + c.BlockSize));
    const std::size_t last = c.FirstByte + c.BlockSize * (c.Blocks - 1);
    EXPECT_EQ(
        Bytes(main_blocks[c.Blocks - 1].begin(), main_blocks[c.Blocks - 1].begin() + c.BlockSize),
        Bytes(image.begin() + last, image.begin() + last + c.BlockSize));

    // The bar: 0 .. 100 while erasing; 0, then 1 after the first block and
    // the scale after the last; 100 at the end.
    if (c.Erases) {
        std::vector<int> erase(101);
        std::iota(erase.begin(), erase.end(), 0);
        EXPECT_EQ(observer_.PhasePositions(0), erase);
    } else {
        EXPECT_TRUE(observer_.PhasePositions(0).empty());
    }
    const std::vector<int> program = observer_.PhasePositions(1);
    ASSERT_EQ(program.size(), static_cast<std::size_t>(c.Blocks) + 2);
    EXPECT_EQ(program[0], 0);
    EXPECT_EQ(program[1], 1);
    EXPECT_EQ(program[c.Blocks], c.ProgressScale);
    EXPECT_EQ(program.back(), 100);
    EXPECT_TRUE(std::is_sorted(program.begin(), program.end()));
    // With a scale of 95 the bar reaches 100 only once the option page is
    // done, at the very end.
    const std::vector<std::string> events = observer_.Events();
    const auto full = std::find(events.rbegin(), events.rend(), "p 100").base() - 1;
    const auto programmed = std::find(events.begin(), events.end(), "t Program OK!!");
    const auto options_done =
        std::find(events.begin(), events.end(), "t Code Option Data Verify OK!!");
    if (c.ProgressScale == 95) {
        EXPECT_GT(full, options_done);
    } else {
        EXPECT_EQ(full, programmed + 1);
    }

    EXPECT_EQ(CountWaits(platform::WaitKind::Busy, kDevicePauseMs), 1);
}

INSTANTIATE_TEST_SUITE_P(Sim, EveryFamily, ::testing::ValuesIn(kFamilies),
                         [](const auto& param) { return std::string(param.param.Chip); });

}  // namespace
}  // namespace txisp::engine::testing
