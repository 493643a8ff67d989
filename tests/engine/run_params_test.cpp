// The run's parameters as the window prepares them, and the status the run
// hands back.

#include "engine/run_params.h"

#include <gtest/gtest.h>

#include "engine/progress.h"
#include "engine_harness.h"

namespace txisp::engine::testing {
namespace {

TEST(PackPasswordTest, PacksEightDigitsAndNamesWhatIsWrongOtherwise) {
    const struct {
        const char* text;
        std::optional<isp::PasswordBytes> bytes;
        std::string_view message;
    } kCases[] = {
        {"40172958", isp::PasswordBytes{0x40, 0x17, 0x29, 0x58}, ""},
        {"00000000", isp::PasswordBytes{0, 0, 0, 0}, ""},
        {"98765432", isp::PasswordBytes{0x98, 0x76, 0x54, 0x32}, ""},
        {"", std::nullopt, "Password should be entered!!"},
        {"4017295", std::nullopt, "Password should be 8 characters!!"},
        {"401729581", std::nullopt, "Password should be 8 characters!!"},
        {"4017295A", std::nullopt, "Only 0 ~ 9 can be filled!!"},
        {"4017 958", std::nullopt, "Only 0 ~ 9 can be filled!!"},
        // Eight characters, nine bytes: a non-digit, not a wrong length.
        {"401729\xC3\xA9"
         "8",
         std::nullopt, "Only 0 ~ 9 can be filled!!"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.text);
        const auto packed = PackPassword(c.text);
        if (c.bytes) {
            ASSERT_TRUE(std::holds_alternative<isp::PasswordBytes>(packed));
            EXPECT_EQ(std::get<isp::PasswordBytes>(packed), *c.bytes);
        } else {
            ASSERT_TRUE(std::holds_alternative<std::string_view>(packed));
            EXPECT_EQ(std::get<std::string_view>(packed), c.message);
        }
    }
}

TEST(IspTimingTest, ClassFollowsTheFamily) {
    const struct {
        firmware::ChipFamily family;
        IspTiming timing;
    } kCases[] = {
        {0, {17, 0, 1}},  {1, {11, 0, 1}},  {2, {30, 0, 1}},  {3, {17, 0, 1}},
        {4, {11, 0, 1}},  {5, {30, 0, 1}},  {6, {38, 0, 1}},  {7, {11, 0, 1}},
        {8, {11, 0, 1}},  {9, {11, 0, 1}},  {10, {11, 0, 1}}, {11, {11, 0, 1}},
        {12, {17, 0, 1}}, {13, {11, 0, 8}}, {14, {11, 0, 8}}, {0xFFFF, {17, 0, 1}},
        {-1, {17, 0, 1}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.family);
        EXPECT_EQ(IspTimingFor(c.family), c.timing);
    }
}

TEST(PhaseBitsTest, PhaseReplacesTheStepBitsOfTheSavedMask) {
    EXPECT_EQ(ApplyPhaseBits(0xF2, 0), 0xF0);
    EXPECT_EQ(ApplyPhaseBits(0xF2, 1), 0xF1);
    EXPECT_EQ(ApplyPhaseBits(0xF2, std::nullopt), 0xF2);
    EXPECT_EQ(ApplyPhaseBits(0x09, 1), 0x09);
}

TEST(RunProgressTest, StepWithBitTwoShowsNothing) {
    RecordingObserver observer;
    RunProgress progress(observer);
    progress.ShowStep(4);
    progress.ShowStep(5);
    progress.ShowStep(1);
    progress.BeginPhase(0);
    EXPECT_EQ(observer.Events(), (std::vector<std::string>{"step 1", "step 0", "p 0"}));
    EXPECT_EQ(progress.Phase(), 0);
}

}  // namespace
}  // namespace txisp::engine::testing
