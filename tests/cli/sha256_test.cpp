// The image fingerprint against the published SHA-256 test vectors; the
// 56-byte message is the one whose padding spills into a second block.

#include "cli/sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace txisp::cli {
namespace {

std::string HashOf(const std::string& text) {
    return Sha256Hex({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

TEST(Sha256, PublishedVectors) {
    struct Case {
        std::string Message;
        const char* Digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopq"
         "rlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1'000'000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Message.substr(0, 20));
        EXPECT_EQ(HashOf(c.Message), c.Digest);
    }
}

}  // namespace
}  // namespace txisp::cli
