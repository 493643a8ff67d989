#include "firmware/checksums.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace txisp::firmware {
namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

TEST(ChecksumsTest, SumsKeepTheirLow16Bits) {
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::uint16_t byte_sum;
        std::uint16_t word_sum;
    } kCases[] = {
        {"empty", {}, 0x0000, 0x0000},
        {"abc: an odd last byte is a word with high byte 0", Bytes("abc"), 0x0126, 0x6261 + 0x63},
        {"one byte", {0xFF}, 0x00FF, 0x00FF},
        {"little-endian words", {0x34, 0x12, 0x78, 0x56}, 0x0114, 0x1234 + 0x5678},
        {"word sum wraps", {0xFF, 0xFF, 0x02, 0x00}, 0x0200, 0x0001},
        {"both wrap", std::vector<std::uint8_t>(0x10001, 0xFF), 0x00FF, 0x80FF},
        {"odd count wraps too", {0xFF, 0xFF, 0x01}, 0x01FF, 0x0000},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ByteSum16(c.bytes), c.byte_sum);
        EXPECT_EQ(WordSum16(c.bytes), c.word_sum);
    }
}

}  // namespace
}  // namespace txisp::firmware
