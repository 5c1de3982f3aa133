// Conversion of whole files: tags, matching rules, line ends, long lines,
// failures, and the debugger-output lines written on the way.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/decoration_table.h"
#include "core/diagnostics.h"
#include "core/line_decorator.h"
#include "platform/platform.h"
#include "decorator_fixture.h"
#include "test_support.h"

namespace {

class LineDecoratorTags : public DecoratorFixture {};
class LineDecoratorMatching : public DecoratorFixture {};
class LineDecoratorLineEnds : public DecoratorFixture {};
class LineDecoratorPieces : public DecoratorFixture {};
class LineDecoratorFiles : public DecoratorFixture {};

std::string repeat(char c, size_t n) {
    return std::string(n, c);
}

} // namespace

TEST_F(LineDecoratorTags, BoldUnderlineColourAndSize) {
    addEntry("abc", "FF0000", 5, STYLE_BOLD | STYLE_UNDERLINE);
    decorationTable.lineBreakTags = 1;
    EXPECT_EQ(convert("xx abc yy\n"),
              "xx <B><U><font color=#FF0000 size=5>abc</font></U></B> yy\r\n<BR>");
}

TEST_F(LineDecoratorTags, StyleOrderAndFontAttributes) {
    addEntry("all", "123456", 3, STYLE_BOLD | STYLE_ITALIC | STYLE_UNDERLINE | STYLE_STRIKE);
    addEntry("col", "00FF00", 0, 0);
    addEntry("neg", "", -2, STYLE_ITALIC);
    addEntry("bare", "", 0, STYLE_STRIKE | 0x30);
    addEntry("high", "", 0, 0x70);
    addEntry("sht", "F00", 1, 0);
    EXPECT_EQ(convert("1 all\n2 col\n3 neg\n4 bare\n5 high\n6 sht\n"),
              "1 <B><I><U><STRIKE><font color=#123456 size=3>all</font></STRIKE></U></I></B>\r\n"
              "2 <font color=#00FF00>col</font>\r\n"
              "3 <I><font size=-2>neg</font></I>\r\n"
              "4 <STRIKE>bare</STRIKE>\r\n"
              "5 high\r\n"
              "6 <font color=#F00 size=1>sht</font>\r\n");
}

TEST_F(LineDecoratorTags, NoColourMarkerComparedWhole) {
    appendLoaded("nc", 2, NO_COLOUR, 6, 4, 0);
    appendLoaded("pc", 2, NO_COLOUR, 5, 0, 0); // first five bytes only: a colour
    appendLoaded("zz", 2, NO_COLOUR, 6, 0, STYLE_BOLD);
    EXPECT_EQ(convert("nc pc zz\n"),
              "<font size=4>nc</font> <font color=#\x96\xB3\x95\xCF\x8A>pc</font> <B>zz</B>\r\n");
}

TEST_F(LineDecoratorTags, LineFeedsInsideAnEntryGoOutAsCrLf) {
    // The table keeps whatever bytes it was given; the output's line ends are
    // CR LF all the same, inside the tags as well as in the text.
    addEntry("a", "F\n", 0, 0);
    appendLoaded("b\n", 2, NO_COLOUR, COLOUR_LENGTH, 0, STYLE_BOLD);
    EXPECT_EQ(convert("a\nb\n"), "<font color=#F\r\n>a</font>\r\n<B>b\r\n</B>");
}

TEST_F(LineDecoratorMatching, LowerIndexWinsAtOnePosition) {
    addEntry("ab", "", 0, STYLE_BOLD);
    addEntry("abc", "", 0, STYLE_ITALIC);
    EXPECT_EQ(convert("abcd\n"), "<B>ab</B>cd\r\n");

    resetTable();
    addEntry("abc", "", 0, STYLE_ITALIC);
    addEntry("ab", "", 0, STYLE_BOLD);
    EXPECT_EQ(convert("abcd ab\n"), "<I>abc</I>d <B>ab</B>\r\n");
}

TEST_F(LineDecoratorMatching, OccurrencesNeverOverlap) {
    addEntry("aa", "", 0, STYLE_BOLD);
    EXPECT_EQ(convert("aaa\naaaa\n"), "<B>aa</B>a\r\n<B>aa</B><B>aa</B>\r\n");
}

TEST_F(LineDecoratorMatching, PlainTextBetweenKeywordsWrittenOnce) {
    addEntry("K1", "", 0, STYLE_BOLD);
    addEntry("K2", "", 0, STYLE_ITALIC);
    EXPECT_EQ(convert("x K1 y K2 z\nK2K1K2\n"),
              "x <B>K1</B> y <I>K2</I> z\r\n<I>K2</I><B>K1</B><I>K2</I>\r\n");
    // Only the last line's result stays in the entries.
    EXPECT_EQ(decorationTable.entries[0].hit, 1);
    EXPECT_EQ(convert("K1\nonly K2\n"), "<B>K1</B>\r\nonly <I>K2</I>\r\n");
    EXPECT_EQ(decorationTable.entries[0].hit, 0);
    EXPECT_EQ(decorationTable.entries[1].hit, 1);
}

TEST_F(LineDecoratorMatching, WholeCharactersAndCaseSensitive) {
    addEntry("\x5C", "", 0, STYLE_BOLD);
    addEntry("A", "", 0, STYLE_UNDERLINE);
    addEntry("abc", "", 0, STYLE_ITALIC);
    // 0x83 0x5C and 0x83 0x41 are double-byte characters: their trail bytes
    // are not the keywords they look like.
    EXPECT_EQ(convert("\x83\x5C\n\x83\x41"
                      "A\nABC Abc abc\n"),
              "\x83\x5C\r\n\x83\x41<U>A</U>\r\n<U>A</U>BC <U>A</U>bc <I>abc</I>\r\n");
}

TEST_F(LineDecoratorMatching, EmptyKeywordChangesNothing) {
    const std::string input = "plain\nK here\n\nlast";
    const std::string expected = "plain\r\n<BR><B>K</B> here\r\n<BR>\r\n<BR>last<BR>";
    decorationTable.lineBreakTags = 1;
    addEntry("K", "", 0, STYLE_BOLD);
    EXPECT_EQ(convert(input), expected);

    resetTable();
    decorationTable.lineBreakTags = 1;
    addEntry("", "FF0000", 3, STYLE_ITALIC);
    addEntry("K", "", 0, STYLE_BOLD);
    EXPECT_EQ(convert(input), expected);
}

TEST_F(LineDecoratorLineEnds, BreakTagFollowsNewline) {
    EXPECT_EQ(convert("one\ntwo\n"), "one\r\ntwo\r\n");
    decorationTable.lineBreakTags = 1;
    EXPECT_EQ(convert("one\ntwo\n"), "one\r\n<BR>two\r\n<BR>");
    EXPECT_EQ(convert("one\ntwo"), "one\r\n<BR>two<BR>");
}

TEST_F(LineDecoratorLineEnds, NoBreakTagAfterKeywordEndingLine) {
    addEntry("KEY", "", 0, STYLE_BOLD);
    decorationTable.lineBreakTags = 1;
    EXPECT_EQ(convert("ab KEY"), "ab <B>KEY</B>");
    EXPECT_EQ(convert("KEY\nab KEY"), "<B>KEY</B>\r\n<BR>ab <B>KEY</B>");
}

TEST_F(LineDecoratorLineEnds, InputLineEndKinds) {
    EXPECT_EQ(convert("a\r\nb\nc\rd\r\ne\r\r\n"), "a\r\nb\r\nc\rd\r\ne\r\r\n");
    decorationTable.lineBreakTags = 1;
    EXPECT_EQ(convert("a\r\nb\nc\rd\r\n"), "a\r\n<BR>b\r\n<BR>c\rd\r\n<BR>");
    EXPECT_EQ(convert("ab\r"), "ab\r<BR>");
}

TEST_F(LineDecoratorLineEnds, EndOfFileMarkerEndsInput) {
    decorationTable.lineBreakTags = 1;
    EXPECT_EQ(convert("one\ntwo\x1Athree\nfour\n"), "one\r\n<BR>two<BR>");
    EXPECT_EQ(convert("one\n\x1Atwo\n"), "one\r\n<BR>");
    EXPECT_EQ(convert("\x1A"
                      "abc\n"),
              "");
}

TEST_F(LineDecoratorLineEnds, ZeroByteEndsLineText) {
    decorationTable.lineBreakTags = 1;
    EXPECT_EQ(convert(std::string("ab\0cd\nef\n", 9)), "ab<BR>ef\r\n<BR>");

    addEntry("K", "", 0, STYLE_BOLD);
    // A keyword after the zero byte is not looked for; one just before it ends the line.
    EXPECT_EQ(convert(std::string("ab\0K\nK\0K\nK x\0yy\n", 16)), "ab<BR><B>K</B><B>K</B> x<BR>");
}

TEST_F(LineDecoratorPieces, LongLinesSplitAfterTranslation) {
    decorationTable.lineBreakTags = 1;
    // 2046 bytes and CR LF read as 2047 bytes: one piece.
    EXPECT_EQ(convert(repeat('a', 2046) + "\r\n"), repeat('a', 2046) + "\r\n<BR>");
    EXPECT_EQ(convert(repeat('a', 2047) + "\r\n"), repeat('a', 2047) + "<BR>\r\n<BR>");
    EXPECT_EQ(convert(repeat('a', 5000) + "\n"), repeat('a', 2047) + "<BR>" + repeat('a', 2047) +
                                                     "<BR>" + repeat('a', 906) + "\r\n<BR>");
}

TEST_F(LineDecoratorPieces, KeywordsAtPieceBoundary) {
    addEntry("KEY", "", 0, STYLE_BOLD);
    decorationTable.lineBreakTags = 1;
    // Cut by the boundary: not found in either piece.
    EXPECT_EQ(convert(repeat('x', 2045) + "KEY\n"), repeat('x', 2045) + "KE<BR>Y\r\n<BR>");
    // Ending the first piece exactly: no "<BR>" after that piece.
    EXPECT_EQ(convert(repeat('x', 2044) + "KEY\n"), repeat('x', 2044) + "<B>KEY</B>\r\n<BR>");
}

TEST_F(LineDecoratorPieces, ZeroByteHidesRestOfPieceOnly) {
    decorationTable.lineBreakTags = 1;
    EXPECT_EQ(convert(std::string("ab\0", 3) + repeat('c', 2100) + "\n"),
              "ab<BR>" + repeat('c', 56) + "\r\n<BR>");
}

TEST_F(LineDecoratorFiles, EmptyInputEmptiesOutput) {
    writeFile(dir.path("in.txt"), "");
    writeFile(dir.path("in.html"), "old");
    EXPECT_FALSE(
        decorateFile(toPath(dir.path("in.txt")).c_str(), toPath(dir.path("in.html")).c_str()));
    EXPECT_EQ(readFile(dir.path("in.html")), "");

    writeFile(dir.path("in.html"), "old");
    EXPECT_EQ(
        decorateFileResult(toPath(dir.path("in.txt")).c_str(), toPath(dir.path("in.html")).c_str()),
        FILE_EMPTY_INPUT);
    EXPECT_EQ(readFile(dir.path("in.html")), "");
}

TEST_F(LineDecoratorFiles, MissingInputStillCreatesOutput) {
    EXPECT_FALSE(
        decorateFile(toPath(dir.path("none.txt")).c_str(), toPath(dir.path("none.html")).c_str()));
    EXPECT_EQ(readFile(dir.path("none.html")), "");

    writeFile(dir.path("none.html"), "old");
    EXPECT_EQ(decorateFileResult(toPath(dir.path("none.txt")).c_str(),
                                 toPath(dir.path("none.html")).c_str()),
              FILE_INPUT_UNREADABLE);
    EXPECT_EQ(readFile(dir.path("none.html")), "");
}

TEST_F(LineDecoratorFiles, UnwritableOutputAbandonsConversion) {
    writeFile(dir.path("in.txt"), "abc\n");
    const std::string out = dir.path("missing") + "/in.html";
    EXPECT_EQ(decorateFileResult(toPath(dir.path("in.txt")).c_str(), toPath(out).c_str()),
              FILE_OUTPUT_UNWRITABLE);
    EXPECT_FALSE(decorateFile(toPath(dir.path("in.txt")).c_str(), toPath(out).c_str()));
    EXPECT_FALSE(fileExists(dir.path("missing")));
    EXPECT_EQ(readFile(dir.path("in.txt")), "abc\n");
}

TEST_F(LineDecoratorFiles, SuccessfulConversionReportsDone) {
    writeFile(dir.path("in.txt"), "abc\n");
    EXPECT_EQ(
        decorateFileResult(toPath(dir.path("in.txt")).c_str(), toPath(dir.path("in.html")).c_str()),
        FILE_CONVERTED);
    EXPECT_EQ(readFile(dir.path("in.html")), "abc\r\n");
}

// Open streams (standard input and output, say) give the bytes a file
// gives, over many regions and both lanes, and are left open.
TEST_F(LineDecoratorFiles, StreamsGiveTheBytesOfAFile) {
    addEntry("abc", "FF0000", 5, STYLE_BOLD);
    decorationTable.lineBreakTags = 1;
    std::string input;
    for (int i = 0; i < 3000; ++i) {
        input += i % 3 == 0 ? "abc plain\r\n" : "x abc " + repeat('y', i % 40) + "\n";
    }
    input += "last abc\x1A after the end";
    writeFile(dir.path("in.txt"), input);
    setDecoratorRegionLength(0); // the smallest regions
    const std::string expected = convert(input);

    FILE* in = platformOpenFile(toPath(dir.path("in.txt")).c_str(), "rb");
    FILE* out = platformOpenFile(toPath(dir.path("out.html")).c_str(), "wb");
    ASSERT_TRUE(in != nullptr && out != nullptr);
    EXPECT_EQ(decorateStreams(in, out), FILE_CONVERTED);
    setDecoratorRegionLength(size_t(1) << 30);
    // Closed here and only here: closing twice would fail under the sanitizers.
    EXPECT_EQ(std::fclose(in), 0);
    EXPECT_EQ(std::fclose(out), 0);
    EXPECT_EQ(readFile(dir.path("out.html")), expected);

    writeFile(dir.path("empty.txt"), "");
    in = platformOpenFile(toPath(dir.path("empty.txt")).c_str(), "rb");
    out = platformOpenFile(toPath(dir.path("out.html")).c_str(), "wb");
    ASSERT_TRUE(in != nullptr && out != nullptr);
    EXPECT_EQ(decorateStreams(in, out), FILE_CONVERTED);
    std::fclose(in);
    std::fclose(out);
    EXPECT_EQ(readFile(dir.path("out.html")), "");
}

namespace {

std::vector<std::string> heard;

void listen(const char* text) {
    heard.push_back(text);
}

class DiagnosticsDebugOut : public DecoratorFixture {
  protected:
    void SetUp() override {
        DecoratorFixture::SetUp();
        heard.clear();
        setDebugListener(listen);
    }
    void TearDown() override {
        setDebugListener(defaultDebugListener());
        heard.clear();
        DecoratorFixture::TearDown();
    }
};

} // namespace

TEST_F(DiagnosticsDebugOut, DecoratorReportsLinesHitsAndRuns) {
    addEntry("zz", "", 0, 0);
    addEntry("ab", "FF0000", 3, 0);
    EXPECT_EQ(convert("ab x ab\nqq\n"),
              "<font color=#FF0000 size=3>ab</font> x <font color=#FF0000 size=3>ab</font>\r\n"
              "qq\r\n");
    const std::vector<std::string> expected = {
        "DataNum = 2\n", "StringLen = 8\n", "Hit[ab][0]\n",
        "Hit[ab][5]\n",  "\t[ x ]\n",       "\t[<font size=3 color=#FF0000>ab</font>]\n",
        "DataNum = 2\n", "StringLen = 3\n",
    };
    EXPECT_EQ(heard, expected);
}

TEST_F(DiagnosticsDebugOut, LongTextIsCut) {
    EXPECT_TRUE(debugOutActive());
    debugOut("%s", repeat('y', 300).c_str());
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0], repeat('y', 255));

    heard.clear();
    addEntry("K", "", 0, STYLE_BOLD);
    EXPECT_EQ(convert(repeat('x', 300) + "K\n"), repeat('x', 300) + "<B>K</B>\r\n");
    ASSERT_EQ(heard.size(), 5u);
    EXPECT_EQ(heard[2], "Hit[K][300]\n");
    EXPECT_EQ(heard[3], "\t[" + repeat('x', 253));

    setDebugListener(nullptr);
    EXPECT_FALSE(debugOutActive());
}
