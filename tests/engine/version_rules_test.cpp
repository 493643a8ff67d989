// The version checks of the device routines: which devices and images a
// family takes, which sequence it then runs, and how the TX64 families treat
// the code-protection level a device already carries.

#include <gtest/gtest.h>

#include <functional>

#include "engine/tx64_sequence.h"
#include "engine_harness.h"

namespace txisp::engine::testing {
namespace {

const std::string kNotForThisChip = "Command Response :FW Version is not for this chip.  Failed!!";
const std::string kNotSupported = "Command Response :This FW Version. is not supported.  Failed!!";
const std::string kImageDiffers =
    "Command Response :FW Version in TX5 does not match that of USB Device.  Failed!!";

using Configure = std::function<void(sim::SimDeviceConfig&)>;
// The image buffer and the byte offset of its version bytes (variant 0's row).
using EditImage = std::function<void(std::span<std::uint8_t>, std::size_t)>;

class VersionRuleRun : public EngineTest {
protected:
    // The example device of `chip` changed by `configure`, programmed with
    // its sample firmware changed by `edit`, at protection `level`.
    RunReport RunExample(std::string_view chip, const Configure& configure,
                         const EditImage& edit = nullptr, std::int32_t level = 0,
                         std::uint16_t vid = kAppVid, std::uint16_t pid = kAppPid) {
        sim::SimDeviceConfig config = ExampleDevice(chip);
        config.VendorId = vid;
        config.ProductId = pid;
        if (configure) configure(config);
        family_ = firmware::FindChipFamily(chip, firmware::kNoFamily);
        Plug(config);
        LoadFirmware(config, family_);
        const std::size_t first_row =
            firmware::FamilyDescriptorTable[static_cast<std::size_t>(family_)].FirstParameterRow;
        const std::size_t version_at = 2 * firmware::ChipParameterTable[first_row].VersionAddress;
        if (edit) edit(image_.BufferFor(family_), version_at);
        RunParams params = Params(family_);
        params.CodeSecurity = level;
        params.Vid = vid;
        params.Pid = pid;
        Find(family_, vid, pid);
        return Run(params);
    }

    std::vector<std::string> Requests(std::size_t shown) const {
        return SentRequests(bus_, 0, firmware::IsTx64Kind(family_), shown);
    }

    // The command code after the password: 09 for A and C (the crystal
    // check reads the options), 03 for B' (the encryption reset), 04 for B.
    std::string AfterPassword() const {
        const std::vector<std::string> requests = Requests(1);
        return requests.size() > 3 ? requests[3] : "";
    }

    // No failure line of CheckCommandResult's making.
    bool NoFailureLine() const {
        const auto traces = observer_.Traces();
        return std::none_of(traces.begin(), traces.end(),
                            [](const std::string& t) { return t.ends_with("Failed!!"); });
    }

    firmware::ChipFamily family_ = 0;
};

// --- Version-free images ----------------------------------------------------

struct ZeroImageCase {
    const char* Chip;
    bool Taken;
    const char* AfterPassword;
};

void PrintTo(const ZeroImageCase& c, std::ostream* out) {
    *out << c.Chip;
}

class VersionFreeImage : public VersionRuleRun,
                         public ::testing::WithParamInterface<ZeroImageCase> {};

// Version bytes 0 .. 2 zero name no version; byte 3 is not looked at.
TEST_P(VersionFreeImage, IsTakenOnlyWhereTheFamilyHasASequenceForIt) {
    const ZeroImageCase& c = GetParam();
    const RunReport report = RunExample(c.Chip, nullptr, [](auto image, std::size_t at) {
        image[at] = image[at + 1] = image[at + 2] = 0;
        image[at + 3] = 0x77;
    });
    if (c.Taken) {
        EXPECT_EQ(report.Result, kRunSucceeded);
        EXPECT_EQ(AfterPassword(), c.AfterPassword);
    } else {
        EXPECT_EQ(report.Result, kRunFailed);
        EXPECT_TRUE(observer_.HasTrace(kImageDiffers));
        // Nothing after the version read.
        const std::vector<std::string> requests = Requests(1);
        ASSERT_FALSE(requests.empty());
        EXPECT_TRUE(requests.back() == "01" || requests.back() == "21") << requests.back();
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Families, VersionFreeImage, ::testing::Values(
    ZeroImageCase{"TX5K3317",  true,  "09"},  // family 0: A
    ZeroImageCase{"TX5K3307",  true,  "03"},  // 1: B'
    ZeroImageCase{"TX5K3317B", true,  "09"},  // 3: A
    ZeroImageCase{"TX5K3307B", true,  "03"},  // 4: B'
    ZeroImageCase{"TX5K3304C", true,  "03"},  // 7: B'
    ZeroImageCase{"TX5K3358",  false, ""},    // 2
    ZeroImageCase{"TX5K3355B", false, ""},    // 5
    ZeroImageCase{"TX5K33E28", false, ""}),   // 6
    [](const auto& param) { return std::string(param.param.Chip); });
// clang-format on

// --- Variants and versions ------------------------------------------------------

struct RuleCase {
    const char* Name;
    const char* Chip;
    Configure ConfigureDevice;
    EditImage Edit;
    bool Succeeds;
    std::string Trace;          // the failure line, when it fails
    std::string AfterPassword;  // TX5 runs that succeed: which sequence ran
};

void PrintTo(const RuleCase& c, std::ostream* out) {
    *out << c.Name;
}

std::function<void(sim::SimDeviceConfig&)> Reports(std::array<std::uint8_t, 4> version) {
    return [version](sim::SimDeviceConfig& config) { config.Faults.FirmwareVersion = version; };
}

class VersionRule : public VersionRuleRun, public ::testing::WithParamInterface<RuleCase> {};

TEST_P(VersionRule, DecidesTheSequence) {
    const RuleCase& c = GetParam();
    const RunReport report = RunExample(c.Chip, c.ConfigureDevice, c.Edit);
    EXPECT_EQ(report.Result, c.Succeeds ? kRunSucceeded : kRunFailed);
    if (!c.Trace.empty()) {
        EXPECT_TRUE(observer_.HasTrace(c.Trace)) << ::testing::PrintToString(observer_.Traces());
        ASSERT_EQ(report.Devices.size(), 1u);
        EXPECT_EQ(report.Devices[0].FirstFailure, c.Trace);
    }
    if (!c.AfterPassword.empty()) {
        EXPECT_EQ(AfterPassword(), c.AfterPassword);
    }
}

const RuleCase kRuleCases[] = {
    {"Family1Variant1RunsB", "TX5K3307", [](sim::SimDeviceConfig& config) { config.Variant = 1; },
     [](auto image, std::size_t at) { image[at + 3] = 1; }, true, "", "04"},
    {"Family1Variant0RunsBPrime", "TX5K3307", nullptr, nullptr, true, "", "03"},
    {"Family8ComparesBytes0And1Only", "TX5K3390D", nullptr,
     [](auto image, std::size_t at) {
         image[at + 2] = 0x12;
         image[at + 3] = 0x34;
     },
     true, "", ""},
    {"Family8RefusesAnotherByte1", "TX5K3390D", nullptr,
     [](auto image, std::size_t at) { image[at + 1] = 0x08; }, false, kImageDiffers, ""},
    {"Tx5DeviceOfAnotherFamily", "TX5K3317", Reports({0x00, 0x02, 0x00, 0x00}), nullptr, false,
     kNotForThisChip, ""},
    // Row 0 + 0x20 lies past the parameter table: nothing is read from it.
    {"VariantPastTheParameterTable", "TX5K3317", Reports({0x00, 0x01, 0x00, 0x20}), nullptr, false,
     kNotSupported, ""},
    // Family 2 has variant 0 only; variant 1 selects a row whose version
    // address the edited image answers, and is still refused.
    {"VariantTheFamilyHasNoSequenceFor", "TX5K3358", Reports({0x00, 0x03, 0x00, 0x01}),
     [](auto image, std::size_t) {
         const std::size_t at = 2 * firmware::ChipParameterTable[5].VersionAddress;
         image[at] = 0x00;
         image[at + 1] = 0x03;
         image[at + 2] = 0x00;
         image[at + 3] = 0x01;
     },
     false, kNotSupported, ""},
    {"Tx64DeviceOfAnotherFamily", "TX64K36x", Reports({0x20, 0x01, 0x00, 0x02}), nullptr, false,
     kNotForThisChip, ""},
    {"Tx64SecurityBytes55AA", "TX64K36x",
     [](sim::SimDeviceConfig& config) {
         config.Security = {{0x00, 0x00, 0x55, 0xAA}};
     },
     nullptr, false, kNotForThisChip, ""},
};

INSTANTIATE_TEST_SUITE_P(Rules, VersionRule, ::testing::ValuesIn(kRuleCases),
                         [](const auto& param) { return std::string(param.param.Name); });

// --- Code protection of the TX64 families --------------------------------------

struct LevelCase {
    const char* Name;
    const char* Chip;
    std::array<std::uint8_t, 4> DeviceSecurity;
    std::int32_t Level;
    bool Succeeds;
    std::vector<std::string> Requests;  // 8 bytes each, data blocks left out
};

void PrintTo(const LevelCase& c, std::ostream* out) {
    *out << c.Name;
}

class ProtectionLevel : public VersionRuleRun, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(ProtectionLevel, IsWrittenWhereAndAsTheFamilyWantsIt) {
    const LevelCase& c = GetParam();
    const auto security = c.DeviceSecurity;
    const RunReport report = RunExample(
        c.Chip, [&](sim::SimDeviceConfig& config) { config.Security = security; }, nullptr,
        c.Level);
    EXPECT_EQ(report.Result, c.Succeeds ? kRunSucceeded : kRunFailed);
    EXPECT_EQ(Requests(8), c.Requests);
    if (!c.Succeeds) {
        // Refused without a failure line; the run's log file says why.
        EXPECT_TRUE(NoFailureLine());
        ASSERT_EQ(report.Devices.size(), 1u);
        EXPECT_FALSE(report.Devices[0].FirstFailure.empty());
        ASSERT_TRUE(report.TraceLog);
        EXPECT_NE(txisp::testing::ReadText(*report.TraceLog).find("another code security level"),
                  std::string::npos);
    }
}

const std::string kBoot = "AA 55 A5 5A FF 00 33 CC";
const std::string kVersion64 = "01 AA 55 00 00 00 00 00";
const std::string kPassword64 = "02 AA 55 00 00 00 00 00";
const std::string kUserMode = "07 AA 55 00 00 00 00 00";

// clang-format off
const LevelCase kLevelCases[] = {
    {"Family13Level1DeviceAtLevel2", "TX64K39x", {0, 0, 0xA5, 0xA5}, 1, false,
     {kBoot, kVersion64, kUserMode}},
    {"Family13Level0DeviceAtLevel1", "TX64K39x", {0, 0, 0x5A, 0x5A}, 0, false,
     {kBoot, kVersion64, kUserMode}},
    {"Family13Level1DeviceAtLevel1", "TX64K39x", {0, 0, 0x5A, 0x5A}, 1, true,
     {kBoot, kVersion64, "05 AA 55 00 00 00 00 00", kUserMode}},
    {"Family13Level2DeviceAtLevel2", "TX64K39x", {0, 0, 0xA5, 0xA5}, 2, true,
     {kBoot, kVersion64, "05 AA 55 00 00 00 00 00", kUserMode}},
    {"Family13Level3DeviceUnprotected", "TX64K39x", {0, 0, 0, 0}, 3, true,
     {kBoot, kVersion64, "05 AA 55 00 00 00 00 00", "03 AA 55 00 00 00 AA 55", kUserMode}},
    {"Family14Level0BeforeProgramming", "TX64K36xB", {0x11, 0x22, 0x33, 0x44}, 0, true,
     {kBoot, kVersion64, "03 AA 55 00 11 22 00 00", "05 AA 55 00 00 00 00 00", kUserMode}},
    {"Family14Level2BeforeProgramming", "TX64K36xB", {0x11, 0x22, 0x33, 0x44}, 2, true,
     {kBoot, kVersion64, "03 AA 55 00 11 22 A5 A5", "05 AA 55 00 00 00 00 00", kUserMode}},
    {"Family9Level0AfterVerification", "TX64K36x", {0x12, 0x34, 0x5A, 0x5A}, 0, true,
     {kBoot, kVersion64, "02 AA 55 00 00 00 00 00", "04 AA 55 00 00 00 00 00",
      "05 AA 55 00 00 00 00 00", "03 AA 55 00 12 34 FF FF", kUserMode}},
    {"Family9Level3AfterVerification", "TX64K36x", {0xFF, 0xFF, 0xFF, 0xFF}, 3, true,
     {kBoot, kVersion64, "02 AA 55 00 00 00 00 00", "04 AA 55 00 00 00 00 00",
      "05 AA 55 00 00 00 00 00", "03 AA 55 00 FF FF AA 55", kUserMode}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Levels, ProtectionLevel, ::testing::ValuesIn(kLevelCases),
                         [](const auto& param) { return std::string(param.param.Name); });

TEST(SecurityLevelWordTest, FollowsTheLevelAndTheFamilysUnprotectedState) {
    const struct {
        std::int32_t level;
        firmware::ChipFamily family;
        std::uint16_t word;
    } kCases[] = {
        {0, 9, 0xFFFF},  {0, 11, 0xFFFF}, {0, 13, 0x0000}, {0, 14, 0x0000}, {1, 9, 0x5A5A},
        {1, 13, 0x5A5A}, {2, 10, 0xA5A5}, {3, 14, 0x55AA}, {7, 9, 0x55AA},  {-1, 13, 0x55AA},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(::testing::Message() << "level " << c.level << ", family " << c.family);
        EXPECT_EQ(SecurityLevelWord(c.level, c.family), c.word);
    }
}

// --- The family-6 guard ----------------------------------------------------------

class Family6Guard : public VersionRuleRun, public ::testing::WithParamInterface<std::uint16_t> {};

// PID 0x7509 under another vendor's ID is not this chip's device: refused
// before anything is sent to it.
TEST_P(Family6Guard, RefusesPid7509UnderAnotherVendor) {
    const std::uint16_t vid = GetParam();
    const RunReport report = RunExample("TX5K33E28", nullptr, nullptr, 0, vid, 0x7509);
    if (vid == firmware::kMakerVid) {
        EXPECT_EQ(report.Result, kRunSucceeded);
    } else {
        EXPECT_EQ(report.Result, kRunFailed);
        EXPECT_EQ(observer_.Traces().front(), "No ISP device is found for TX5K33E28!!");
        EXPECT_TRUE(Requests(8).empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Vendors, Family6Guard, ::testing::Values(0x5E3A, 0x1234));

}  // namespace
}  // namespace txisp::engine::testing
