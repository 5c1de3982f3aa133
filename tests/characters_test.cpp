// The character rules at their edges: UTF-8's well-formed sequences (table
// 3-7 of the Unicode standard), code page 932's lead and trail bytes, where
// a piece at its limit may end, and the UTF-8 forms of code page 932
// characters as Windows maps them.
#include <gtest/gtest.h>

#include <string>

#include "core/characters.h"

namespace {

const unsigned char* bytesOf(const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

int sequence(const std::string& bytes, bool cutIsWellFormed = false) {
    return utf8SequenceLength(bytesOf(bytes), bytes.size(), cutIsWellFormed);
}

// The UTF-8 form, or "none".
std::string form(const std::string& cp932) {
    char utf8[64];
    size_t length = 0;
    if (!cp932ToUtf8(bytesOf(cp932), static_cast<int>(cp932.size()), utf8, sizeof utf8, &length)) {
        return "none";
    }
    return std::string(utf8, length);
}

} // namespace

TEST(CharactersUtf8, WellFormedSequencesAndTheirEdges) {
    EXPECT_EQ(sequence("A"), 1);
    EXPECT_EQ(sequence("\xC2\x80"), 2);
    EXPECT_EQ(sequence("\xDF\xBF"), 2);
    EXPECT_EQ(sequence("\xC1\xBF"), 0); // overlong
    EXPECT_EQ(sequence("\xE0\xA0\x80"), 3);
    EXPECT_EQ(sequence("\xE0\x9F\xBF"), 0); // overlong
    EXPECT_EQ(sequence("\xED\x9F\xBF"), 3);
    EXPECT_EQ(sequence("\xED\xA0\x80"), 0); // a surrogate
    EXPECT_EQ(sequence("\xEF\xBF\xBF"), 3);
    EXPECT_EQ(sequence("\xF0\x90\x80\x80"), 4);
    EXPECT_EQ(sequence("\xF0\x8F\xBF\xBF"), 0); // overlong
    EXPECT_EQ(sequence("\xF4\x8F\xBF\xBF"), 4);
    EXPECT_EQ(sequence("\xF4\x90\x80\x80"), 0); // above U+10FFFF
    EXPECT_EQ(sequence("\xF5\x80\x80\x80"), 0);
    EXPECT_EQ(sequence("\x80"), 0);
    EXPECT_EQ(sequence("\xE9\x87"
                       "A"),
              0);
    // Cut by what may be read: well-formed only when asked so.
    EXPECT_EQ(sequence("\xE9\x87"), 0);
    EXPECT_EQ(sequence("\xE9\x87", true), 3);
    EXPECT_EQ(sequence("\xF0\x9F", true), 4);
    EXPECT_EQ(sequence("\xE0\x80", true), 0); // already wrong
    EXPECT_TRUE(isWellFormedUtf8(bytesOf("a\xE9\x87\x8D"
                                         "b"),
                                 5, false));
    EXPECT_FALSE(isWellFormedUtf8(bytesOf("a\xE9\x87"), 3, false));
    EXPECT_TRUE(isWellFormedUtf8(bytesOf("a\xE9\x87"), 3, true));
}

TEST(CharactersCp932, LoneLeadsAndWhereCharactersBegin) {
    EXPECT_TRUE(endsWithLoneLead(bytesOf("\x81"), 1));
    EXPECT_FALSE(endsWithLoneLead(bytesOf("\x81\x81"), 2)); // lead and trail
    EXPECT_TRUE(endsWithLoneLead(bytesOf("\x81\x81\x81"), 3));
    EXPECT_TRUE(endsWithLoneLead(bytesOf("A\x9F"), 2));
    EXPECT_TRUE(endsWithLoneLead(bytesOf("\x81 \xFC"), 3));
    EXPECT_FALSE(endsWithLoneLead(bytesOf("\xA0\xB1\xFD"), 3)); // single bytes
    EXPECT_FALSE(endsWithLoneLead(bytesOf(""), 0));
    // 81 81 81 41: characters begin at 0 and 2 (81 41).
    const std::string leads = "\x81\x81\x81\x41";
    const unsigned char* text = bytesOf(leads);
    EXPECT_TRUE(beginsCp932Character(text, 0, 2));
    EXPECT_FALSE(beginsCp932Character(text, 0, 3));
    EXPECT_FALSE(beginsCp932Character(text, 0, 1));
    // 81 20: the lead byte stands alone before a byte that cannot follow it.
    EXPECT_TRUE(beginsCp932Character(bytesOf("\x81\x20"), 0, 1));
}

TEST(CharactersCp932, PieceEndsBeforeACharacterItWouldCut) {
    // A limit of 4: 'a' 'a' 'a' and a lead byte whose trail byte is fifth.
    EXPECT_EQ(pieceLengthAtLimit(bytesOf("aaa\x82\xA0"), 4, 5, TEXT_CP932), 3u);
    EXPECT_EQ(pieceLengthAtLimit(bytesOf("aa\x82\xA0z"), 4, 5, TEXT_CP932), 4u);
    EXPECT_EQ(pieceLengthAtLimit(bytesOf("aaa\x81\n"), 4, 5, TEXT_CP932), 4u);
    EXPECT_EQ(pieceLengthAtLimit(bytesOf("\x81\x81\x81\x81\x81"), 4, 5, TEXT_CP932), 4u);
    EXPECT_EQ(pieceLengthAtLimit(bytesOf("a\x81\x81\x81\x81"), 4, 5, TEXT_CP932), 3u);
    // At the text's end nothing follows.
    EXPECT_EQ(pieceLengthAtLimit(bytesOf("aaa\x82"), 4, 4, TEXT_CP932), 4u);
    // UTF-8: the character holding the last byte, from up to three back.
    EXPECT_EQ(pieceLengthAtLimit(bytesOf("aa\xE9\x87\x8D"), 4, 5, TEXT_UTF8), 2u);
    EXPECT_EQ(pieceLengthAtLimit(bytesOf("a\xE9\x87\x8D"
                                         "b"),
                                 4, 5, TEXT_UTF8),
              4u);
    EXPECT_EQ(pieceLengthAtLimit(bytesOf("a\xF0\x9F\x98\x80"), 4, 5, TEXT_UTF8), 1u);
    EXPECT_EQ(pieceLengthAtLimit(bytesOf("aa\xE9\x87"), 4, 4, TEXT_UTF8), 4u); // cut by the end
    EXPECT_EQ(pieceLengthAtLimit(bytesOf("aa\xE9\x87"
                                         "b"),
                                 4, 5, TEXT_UTF8),
              4u); // broken
    EXPECT_EQ(pieceLengthAtLimit(bytesOf("\x87\x87\x87\x87\x87"), 4, 5, TEXT_UTF8), 4u);
    // A character longer than the limit cannot be kept whole.
    EXPECT_EQ(pieceLengthAtLimit(bytesOf("\x82\xA0"), 1, 2, TEXT_CP932), 1u);
}

// The forms the program searches UTF-8 texts for; the Windows build runs
// these under the system's own table too.
TEST(CharactersForms, Utf8FormsAsWindowsMapsThem) {
    EXPECT_EQ(form(""), "");
    EXPECT_EQ(form("abc\\~"), "abc\\~");
    EXPECT_EQ(form("\x8F\x64\x97\x76"), "\xE9\x87\x8D\xE8\xA6\x81"); // 重要
    EXPECT_EQ(form("\xB1"), "\xEF\xBD\xB1");                         // ｱ
    EXPECT_EQ(form("\x81\x5F"), "\xEF\xBC\xBC");                     // ＼
    EXPECT_EQ(form("\x81\x60"), "\xEF\xBD\x9E");                     // ～
    EXPECT_EQ(form("\x87\x40"), "\xE2\x91\xA0");                     // ①
    EXPECT_EQ(form("\xF0\x40"), "\xEE\x80\x80");                     // user-defined: U+E000
    EXPECT_EQ(form("\x81\x80"), "\xC3\xB7");                         // ÷: 0x80 as a trail byte
    // The single bytes Windows alone maps.
    EXPECT_EQ(form("\x80"), "\xC2\x80");
    EXPECT_EQ(form("\xA0"), "\xEF\xA3\xB0");
    EXPECT_EQ(form("\xFD\xFE\xFF"), "\xEF\xA3\xB1\xEF\xA3\xB2\xEF\xA3\xB3");
    // No form: a lone lead byte, before another byte or at the end, and an
    // unassigned code.
    EXPECT_EQ(form("\x81"), "none");
    EXPECT_EQ(form("a\x81 "), "none");
    EXPECT_EQ(form("\x85\x40"), "none");
    // Too long for the room given.
    char small[2];
    size_t length = 0;
    EXPECT_FALSE(cp932ToUtf8(bytesOf("\x8F\x64"), 2, small, sizeof small, &length));
}
