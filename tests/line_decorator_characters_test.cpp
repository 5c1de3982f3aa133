// Whole characters in whole files: keywords never match inside a code page
// 932 character, pieces of long lines never end inside one, and UTF-8 texts
// are told apart and searched for the keywords' UTF-8 forms. Expected bytes
// are written from the rules: code page 932 重要 is 8F 64 97 76 and 連 is
// 98 41; in UTF-8 they are E9 87 8D E8 A6 81 and E9 80 A3.
#include <gtest/gtest.h>

#include <string>

#include "core/decoration_table.h"
#include "core/line_decorator.h"
#include "decorator_fixture.h"
#include "test_support.h"

namespace {

const char CP932_JUUYOU[] = "\x8F\x64\x97\x76";
const char UTF8_JUUYOU[] = "\xE9\x87\x8D\xE8\xA6\x81";
const char UTF8_REN[] = "\xE9\x80\xA3";
const char BOM[] = "\xEF\xBB\xBF";

class LineDecoratorCharacters : public DecoratorFixture {};
class LineDecoratorUtf8 : public DecoratorFixture {};
class LineDecoratorEncoding : public DecoratorFixture {};

std::string repeat(const std::string& text, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        out += text;
    }
    return out;
}

} // namespace

// Trail bytes that look like keywords: 連A is 98 41 41, 係 8C 57 ('W'),
// タイプ 83 5E 83 43 83 76 ('v'), 変更 95 CF 8D 58 ('X').
TEST_F(LineDecoratorCharacters, TrailBytesAreNotKeywords) {
    addEntry("A", "", 0, STYLE_BOLD);
    addEntry("Win", "FFFF00", 0, STYLE_BOLD);
    addEntry("int", "", 0, STYLE_ITALIC);
    addEntry("v", "", 0, STYLE_ITALIC);
    addEntry("X", "", 0, STYLE_ITALIC);
    EXPECT_EQ(convert("\x98\x41\x41\n"
                      "\x8E\xD2\x8C\x57"
                      "int\n"
                      "\x83\x5E\x83\x43\x83\x76 v\n"
                      "\x95\xCF\x8D\x58 X\n"),
              "\x98\x41<B>A</B>\r\n"
              "\x8E\xD2\x8C\x57<I>int</I>\r\n"
              "\x83\x5E\x83\x43\x83\x76 <I>v</I>\r\n"
              "\x95\xCF\x8D\x58 <I>X</I>\r\n");
}

// A keyword ending in a lead byte that starts a character matches only
// where no trail byte follows it; a lower entry that cannot match leaves
// the position to a later one.
TEST_F(LineDecoratorCharacters, LoneLeadKeywords) {
    addEntry("\x81", "", 0, STYLE_BOLD);
    addEntry("\x81\x81", "", 0, STYLE_ITALIC);
    addEntry("A\x81", "", 0, STYLE_UNDERLINE);
    EXPECT_EQ(convert("\x81\x81\x81\n"
                      "A\x81\x40 A\x81!\n"),
              "<I>\x81\x81</I><B>\x81</B>\r\n"
              "A\x81\x40 <U>A\x81</U>!\r\n");
}

TEST_F(LineDecoratorCharacters, PiecesEndBeforeACharacterTheLimitWouldCut) {
    decorationTable.lineBreakTags = 1;
    const std::string a2046(2046, 'a');
    // あ (82 A0) would take bytes 2047 and 2048: it begins the next piece.
    EXPECT_EQ(convert(a2046 + "\x82\xA0" + "b\n"), a2046 + "<BR>\x82\xA0" + "b\r\n<BR>");
    // A lead byte before the LF stands alone: the piece takes all 2047 bytes.
    EXPECT_EQ(convert(a2046 + "\x81\n"), a2046 + "\x81<BR>\r\n<BR>");
    // 2048 lead bytes pair up; the 1024th pair would cross the limit.
    EXPECT_EQ(convert(std::string(2048, '\x81') + "\n"),
              std::string(2046, '\x81') + "<BR>\x81\x81\r\n<BR>");
    // A keyword that would end a piece cut short is found in the next one.
    addEntry("\x82\xA0", "", 0, STYLE_BOLD);
    EXPECT_EQ(convert(a2046 + "\x82\xA0\n"), a2046 + "<BR><B>\x82\xA0</B>\r\n<BR>");
}

TEST_F(LineDecoratorUtf8, KeywordsAreSearchedInTheirUtf8Form) {
    addEntry(CP932_JUUYOU, "FF0000", 0, STYLE_BOLD);
    addEntry("A", "", 3, 0);
    const std::string line = std::string(UTF8_JUUYOU) + " " + UTF8_REN + "A\n";
    EXPECT_EQ(convert(line), std::string("<B><font color=#FF0000>") + UTF8_JUUYOU + "</font></B> " +
                                 UTF8_REN + "<font size=3>A</font>\r\n");
    // With a byte-order mark, which is copied as it is.
    EXPECT_EQ(convert(BOM + line), std::string(BOM) + "<B><font color=#FF0000>" + UTF8_JUUYOU +
                                       "</font></B> " + UTF8_REN + "<font size=3>A</font>\r\n");
    // A text that is not UTF-8 is searched for the code page 932 bytes only.
    EXPECT_EQ(convert(std::string(CP932_JUUYOU) + " " + UTF8_JUUYOU + "\n"),
              std::string("<B><font color=#FF0000>") + CP932_JUUYOU + "</font></B> " + UTF8_JUUYOU +
                  "\r\n");
}

// Keywords that are not whole code page 932 characters have no UTF-8 form:
// they neither occur nor match. The five single bytes Windows maps outside
// the usual table have one.
TEST_F(LineDecoratorUtf8, KeywordsWithoutAForm) {
    addEntry("\x81", "", 0, STYLE_BOLD);     // a lone lead byte
    addEntry("\x85\x40", "", 0, STYLE_BOLD); // an unassigned code
    addEntry("\x80", "", 0, STYLE_ITALIC);   // U+0080
    addEntry("\xFD", "", 0, STYLE_ITALIC);   // U+F8F1
    EXPECT_EQ(convert("\xE9\x87\x81 \xC2\x80 \xEF\xA3\xB1\n"),
              "\xE9\x87\x81 <I>\xC2\x80</I> <I>\xEF\xA3\xB1</I>\r\n");
    EXPECT_EQ(decorationTable.entries[0].hit, 0);
    EXPECT_EQ(decorationTable.entries[1].hit, 0);
    EXPECT_EQ(decorationTable.entries[2].hit, 1);
}

TEST_F(LineDecoratorUtf8, PiecesEndBeforeACharacterTheLimitWouldCut) {
    decorationTable.lineBreakTags = 1;
    addEntry("\x8F\x64", "", 0, STYLE_BOLD); // 重, E9 87 8D
    const std::string a2046(2046, 'a');
    EXPECT_EQ(convert(a2046 + UTF8_JUUYOU + "\n"),
              a2046 + "<BR><B>\xE9\x87\x8D</B>\xE8\xA6\x81\r\n<BR>");
    // A four-byte character from byte 2045 on.
    const std::string a2045(2045, 'a');
    EXPECT_EQ(convert(a2045 + "\xF0\x9F\x98\x80\n"), a2045 + "<BR>\xF0\x9F\x98\x80\r\n<BR>");
}

// The encoding is decided by the 65,536 bytes of text from the first byte of
// 0x80 or more, counted after CR LF is made LF.
TEST_F(LineDecoratorEncoding, TheWindowDecides) {
    addEntry("\x8F\x64", "", 0, STYLE_BOLD); // 重: E9 87 8D in UTF-8
    const std::string utf8 = "\xE9\x87\x8D";
    const std::string decorated = "<B>\xE9\x87\x8D</B>";
    // A byte no UTF-8 text holds, as the window's last byte and just past it.
    const std::string inside = utf8 + std::string(65532, 'a') + "\xFF";
    const std::string outside = utf8 + std::string(65533, 'a') + "\xFF";
    EXPECT_EQ(convert(inside), inside);
    EXPECT_EQ(convert(outside), decorated + outside.substr(3));
    // The same with CR LF, which counts once: 65,532 line ends put the byte
    // inside the window, 65,533 outside.
    const std::string crlfInside = utf8 + repeat("\r\n", 65532) + "\xFF";
    const std::string crlfOutside = utf8 + repeat("\r\n", 65533) + "\xFF";
    EXPECT_EQ(convert(crlfInside), crlfInside);
    EXPECT_EQ(convert(crlfOutside), decorated + crlfOutside.substr(3));
    // A character cut by the window's end counts as well-formed; one cut by
    // the text's end does not.
    const std::string cutByWindow = utf8 + std::string(65532, 'a') + utf8;
    EXPECT_EQ(convert(cutByWindow), decorated + std::string(65532, 'a') + decorated);
    EXPECT_EQ(convert(utf8 + "a\xE8\xA6"), utf8 + "a\xE8\xA6");
    // The text ends at 0x1A: what follows is not read, nor judged.
    EXPECT_EQ(convert(utf8 + "\x1A\xFF"), decorated);
}

// Text before the first byte of 0x80 or more reads alike either way, and is
// converted before the decision; the decision then holds for the rest.
TEST_F(LineDecoratorEncoding, DecidedLateInTheFile) {
    addEntry("\x8F\x64", "", 0, STYLE_BOLD);
    addEntry("ab", "", 0, STYLE_ITALIC);
    const std::string ascii = repeat("ab cd\n", 60000);
    const std::string asciiOut = repeat("<I>ab</I> cd\r\n", 60000);
    // Full regions, and the smallest there are.
    for (const size_t region : {size_t(1) << 30, size_t{0}}) {
        setDecoratorRegionLength(region);
        EXPECT_EQ(convert(ascii + "\xE9\x87\x8D ab\n"),
                  asciiOut + "<B>\xE9\x87\x8D</B> <I>ab</I>\r\n")
            << "regions of " << region;
        EXPECT_EQ(convert(ascii + "\x8F\x64 ab\n"), asciiOut + "<B>\x8F\x64</B> <I>ab</I>\r\n")
            << "regions of " << region;
    }
}

// Code page 932 half-width katakana can happen to be well-formed UTF-8: ﾃｱ
// is C3 B1, UTF-8 for ñ. Only a forced reading finds the keyword then.
TEST_F(LineDecoratorEncoding, ForcedReadings) {
    addEntry("\xC3\xB1", "", 0, STYLE_BOLD);
    EXPECT_EQ(convert("\xC3\xB1\n"), "\xC3\xB1\r\n");
    setDecoratorEncoding(ENCODING_ALWAYS_CP932);
    EXPECT_EQ(convert("\xC3\xB1\n"), "<B>\xC3\xB1</B>\r\n");
    // ﾃｱ in UTF-8 is EF BE 83 EF BD B1.
    setDecoratorEncoding(ENCODING_ALWAYS_UTF8);
    EXPECT_EQ(convert("\xEF\xBE\x83\xEF\xBD\xB1 \xFF\n"),
              "<B>\xEF\xBE\x83\xEF\xBD\xB1</B> \xFF\r\n");
}
