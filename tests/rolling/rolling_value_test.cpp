#include "rolling/rolling_value.h"

#include <gtest/gtest.h>

namespace txisp::rolling {
namespace {

TEST(RollingValueTest, ReadsTextAlignedOnItsLastDigit) {
    const struct {
        const char* text;
        int digits;
        std::uint64_t value;
    } kCases[] = {
        {"0001A2B3", 8, 0x0001A2B3},
        {"89abcdef", 8, 0x89ABCDEF},
        {"FFFFFFFFFFFFFFFF", 16, 0xFFFFFFFFFFFFFFFF},
        {"0123456789ABCDEF", 16, 0x0123456789ABCDEF},
        // Fewer digits than the width: the missing leading ones are 0, at
        // every width (not the high part read twice).
        {"1A", 4, 0x1A},
        {"1A", 16, 0x1A},
        {"123456789", 16, 0x123456789},
        {"", 8, 0},
        // More: the last `digits` characters, as the dialog keeps them.
        {"00012", 4, 0x12},
        {"0123456789abcdef", 8, 0x89ABCDEF},
        // A character that is no hex digit is a 0 in its place; the digits
        // after it keep their places.
        {"12G4", 4, 0x1204},
        {"G234", 4, 0x0234},
        {" 1A", 4, 0x001A},
        {"\xC3\xA9"
         "1",
         4, 0x0001},  // a two-byte letter takes one place
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(::testing::Message() << '"' << c.text << "\" / " << c.digits);
        EXPECT_EQ(ReadRollingValue(c.text, c.digits), c.value);
    }
}

TEST(RollingValueTest, StepsStartAgainAtZeroWhenTheSumOutgrowsTheWidth) {
    const struct {
        std::uint64_t value;
        std::uint64_t step;
        int digits;
        std::uint64_t next;
    } kCases[] = {
        {0xFFFF, 0x1, 4, 0x0},
        {0xFFFE, 0x3, 4, 0x0},  // 0x10001 is five digits: 0, not the remainder 1
        {0xFFFE, 0x1, 4, 0xFFFF},
        {0xFFFFFFFF, 0x1, 8, 0x0},
        {0xFFFFFFFF, 0x1, 16, 0x100000000},  // carries from the low into the high word
        {0xFFFFFFFFFFFF, 0x1, 12, 0x0},
        {0xFFFFFFFFFFFFFFFF, 0x1, 16, 0x0},  // wraps modulo 2^64
        {0xFFFFFFFFFFFFFFFF, 0x2, 16, 0x1},  // which at 16 digits keeps the remainder
        {0x1234, 0x0, 4, 0x1234},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(::testing::Message()
                     << std::hex << c.value << " + " << c.step << " / " << std::dec << c.digits);
        EXPECT_EQ(NextRollingValue(c.value, c.step, c.digits), c.next);
    }
}

TEST(RollingValueTest, AdvancingTakesEachStepWithItsOwnWrap) {
    // FFFA, FFFD, 0000 (wrapped), 0003: not FFFA + 9 cut to four digits.
    EXPECT_EQ(AdvanceRollingValue(0xFFFE, 0x3, 4, 0), 0xFFFE);
    EXPECT_EQ(AdvanceRollingValue(0xFFFA, 0x3, 4, 2), 0x0);
    EXPECT_EQ(AdvanceRollingValue(0xFFFA, 0x3, 4, 3), 0x3);
}

TEST(RollingValueTest, FormatsExactlyTheWidthInLowerCase) {
    EXPECT_EQ(FormatRollingValue(0xA, 4), "000a");
    EXPECT_EQ(FormatRollingValue(0x89ABCDEF, 8), "89abcdef");
    EXPECT_EQ(FormatRollingValue(0xFFFFFFFFFFFFFFFF, 16), "ffffffffffffffff");
    EXPECT_EQ(FormatRollingValue(0x1000000000, 12), "001000000000");
}

}  // namespace
}  // namespace txisp::rolling
