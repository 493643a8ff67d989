#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

namespace txisp::platform {
namespace {

struct DecodeCase {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

// Each ill-formed sequence becomes one U+FFFD for its longest valid prefix, so
// a good character right after a broken one is never lost.
TEST(TextTest, Utf8ToUtf16ReplacesIllFormedSequences) {
    const DecodeCase cases[] = {
        {"ascii", "Key=1", u"Key=1"},
        {"two, three and four bytes", "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80",
         u"\u00E4\u20AC\U0001F600"},
        {"lone continuation byte", "a\x80z", u"a\uFFFDz"},
        {"latin-1 byte", "caf\xE9", u"caf\uFFFD"},
        {"truncated sequence before ascii",
         "\xE2\x82"
         "A",
         u"\uFFFD"
         "A"},
        {"truncated at the end", "a\xF0\x9F\x98", u"a\uFFFD"},
        {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"overlong three bytes", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"invalid lead bytes", "\xFE\xFF", u"\uFFFD\uFFFD"},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16);
    }
}

TEST(TextTest, Utf16ToUtf8JoinsPairsAndReplacesLoneSurrogates) {
    const DecodeCase cases[] = {
        {"pair", "\xF0\x9F\x98\x80", u"\U0001F600"},
        {"lone high",
         "a\xEF\xBF\xBD"
         "b",
         std::u16string{u'a', char16_t{0xD83D}, u'b'}},
        {"lone low", "\xEF\xBF\xBD", std::u16string{char16_t{0xDE00}}},
        {"high at the end", "a\xEF\xBF\xBD", std::u16string{u'a', char16_t{0xD83D}}},
        {"reversed pair", "\xEF\xBF\xBD\xEF\xBF\xBD",
         std::u16string{char16_t{0xDE00}, char16_t{0xD83D}}},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8);
    }
}

TEST(TextTest, CaseFoldingTouchesAsciiLettersOnly) {
    EXPECT_TRUE(EqualsIgnoreAsciiCase("GENERAL", "General"));
    EXPECT_FALSE(EqualsIgnoreAsciiCase("\xC3\x84rger", "\xC3\xA4rger"));  // Ärger, ärger
    EXPECT_FALSE(EqualsIgnoreAsciiCase("@", "`"));  // neighbours of 'A' and 'a'
    EXPECT_FALSE(EqualsIgnoreAsciiCase("Gen", "General"));
    EXPECT_EQ(ToLowerAscii("FwType[\xC3\x84]"), "fwtype[\xC3\x84]");
}

TEST(TextTest, TrimBlanksRemovesSpacesAndTabsOnly) {
    EXPECT_EQ(TrimBlanks(" \t a \t b \t "), "a \t b");
    EXPECT_EQ(TrimBlanks("\r\nx\n"), "\r\nx\n");
    EXPECT_EQ(TrimBlanks(" \t "), "");
}

}  // namespace
}  // namespace txisp::platform
