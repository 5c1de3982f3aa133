// The decorator against the plain line algorithm of tests/reference, on
// seeded random tables and inputs aimed at the places where a fast scan goes
// wrong: piece and read-buffer boundaries, every kind of line end, zero and
// end-of-file bytes, keywords that share prefixes or repeat, and tables up to
// the full 512 entries. Output bytes, result and every entry's `hit` must
// agree; a failure names the seed that builds the case again.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "core/decoration_table.h"
#include "core/line_decorator.h"
#include "test_support.h"
#include "tests/reference/line_reference.h"
#include "random_text.h"

namespace {

constexpr size_t PIECE = PIECE_LENGTH; // bytes a line read takes at most
// The smallest region the decorator takes: two pieces and a CR LF.
constexpr size_t MIN_REGION = 2 * PIECE + 2;

struct Entry {
    std::string keyword;
    std::string colour;
    int32_t size;
    int32_t style;
};

struct Case {
    std::vector<Entry> table;
    bool breaks;
    std::string input;
};

// The shared generator's keywords (past 511 bytes the table cuts them),
// each with a colour, size and style of its own.
std::vector<Entry> makeTable(Random& r, size_t count) {
    std::vector<Entry> table;
    for (const std::string& keyword : keywordTable(r, count, 600)) {
        Entry e;
        e.keyword = keyword;
        switch (r.below(5)) {
        case 0:
            e.colour = std::string(NO_COLOUR, COLOUR_LENGTH);
            break;
        case 1:
            e.colour = std::string(NO_COLOUR, COLOUR_LENGTH - 1);
            break;
        case 2:
            e.colour = freshKeyword(r).substr(0, COLOUR_LENGTH); // any bytes, line ends too
            break;
        default:
            for (size_t n = r.below(COLOUR_LENGTH + 1); n > 0; --n) {
                e.colour += "0123456789ABCDEF"[r.below(16)];
            }
        }
        e.size = r.chance(60) ? 0 : static_cast<int32_t>(r.below(9)) - 2;
        if (r.chance(2)) {
            e.size = r.chance(50) ? INT32_MIN : INT32_MAX;
        }
        e.style = static_cast<int32_t>(r.below(128));
        table.push_back(e);
    }
    return table;
}

std::vector<std::string> keywordsOf(const std::vector<Entry>& table) {
    std::vector<std::string> keywords;
    for (const Entry& e : table) {
        keywords.push_back(e.keyword);
    }
    return keywords;
}

std::string anyKeyword(Random& r, const std::vector<Entry>& table) {
    return anyKeyword(r, keywordsOf(table));
}

std::string makeText(Random& r, const std::vector<Entry>& table, size_t length, size_t lineSpan) {
    return keywordText(r, keywordsOf(table), length, lineSpan);
}

// Puts a keyword into the text at `at`, cutting it where the text ends.
void overwrite(std::string& text, size_t at, const std::string& bytes) {
    for (size_t i = 0; i < bytes.size() && at + i < text.size(); ++i) {
        text[at + i] = bytes[i];
    }
}

// Something that lands on the boundary b of the text: a keyword cut by it,
// ending or starting at it, a zero byte opening the next piece, a lone CR or
// the CR of a CR LF closing the piece before.
void plantAtBoundary(Random& r, std::string& text, size_t b, const std::vector<Entry>& table) {
    if (b < 1 || b + 1 >= text.size()) {
        return;
    }
    const std::string keyword = anyKeyword(r, table);
    const size_t n = keyword.size();
    switch (r.below(8)) {
    case 0:
        if (n >= 2 && n <= b) {
            overwrite(text, b - 1 - r.below(n - 1), keyword);
        }
        break;
    case 1:
        if (n <= b) {
            overwrite(text, b - n, keyword);
        }
        break;
    case 2:
        overwrite(text, b, keyword);
        break;
    case 3:
        text[b] = '\0';
        break;
    case 4:
        text[b - 1] = '\0';
        break;
    case 5:
        text[b - 1] = '\r';
        break;
    case 6:
        text[b - 1] = '\r';
        text[b] = '\n';
        break;
    default:
        break;
    }
}

// Lines longer than one piece, with things planted at the piece boundaries.
std::string makeLongLines(Random& r, const std::vector<Entry>& table) {
    static const char* const LINE_ENDS[] = {"\n", "\r\n", "\r", ""};
    std::string text;
    for (size_t lines = 1 + r.below(3); lines > 0; --lines) {
        const size_t pieces = 1 + r.below(3);
        const size_t length = r.chance(70) ? pieces * PIECE + r.below(7) - 3 : r.below(7000);
        std::string line;
        while (line.size() < length) {
            line += r.chance(25) ? anyKeyword(r, table) : std::string(1, textByte(r));
        }
        line.resize(length);
        for (size_t b = PIECE; b <= length + 1; b += PIECE) {
            plantAtBoundary(r, line, b, table);
        }
        text += line;
        text += LINE_ENDS[r.below(lines == 1 ? 4 : 3)];
    }
    return text;
}

std::string hexAround(const std::string& bytes, size_t at) {
    std::string hex;
    const size_t from = at > 12 ? at - 12 : 0;
    for (size_t i = from; i < bytes.size() && i < at + 12; ++i) {
        char two[8];
        std::snprintf(two, sizeof two, i == at ? "[%02X]" : " %02X",
                      static_cast<unsigned char>(bytes[i]));
        hex += two;
    }
    return hex.empty() ? "(ends here)" : hex;
}

class LineDecoratorDifferential : public ::testing::Test {
  protected:
    void SetUp() override {
        resetTable();
    }
    void TearDown() override {
        resetTable();
        setDecoratorEncoding(ENCODING_AUTO);
        setReferenceEncoding(ENCODING_AUTO);
    }

    static void load(const Case& c) {
        resetTable();
        for (const Entry& e : c.table) {
            appendLoaded(e.keyword.data(), static_cast<int>(e.keyword.size()), e.colour.data(),
                         static_cast<int>(e.colour.size()), e.size, e.style);
        }
        decorationTable.lineBreakTags = c.breaks ? 1 : 0;
    }

    // Runs one converter on the input file; `hits` gets every entry's hit.
    bool run(bool (*convert)(const PathChar*, const PathChar*), const std::string& output,
             std::vector<int32_t>& hits) {
        // A value neither converter writes, so an entry left untouched shows.
        for (int i = 0; i < decorationTable.count; ++i) {
            decorationTable.entries[i].hit = 7;
        }
        const bool result = convert(toPath(inputPath).c_str(), toPath(output).c_str());
        hits.clear();
        for (int i = 0; i < decorationTable.count; ++i) {
            hits.push_back(decorationTable.entries[i].hit);
        }
        return result;
    }

    // Both converters on the input with the table as it stands; the
    // decorator also with small regions, so that an input of a few pages
    // crosses region boundaries and keeps both lanes busy.
    // smallRegion 0 takes a length from the seed.
    ::testing::AssertionResult agree(const std::string& input, uint64_t seed,
                                     size_t smallRegion = 0) {
        writeFile(inputPath, input);
        std::vector<int32_t> referenceHits;
        const bool reference = run(referenceDecorateFile, referencePath, referenceHits);
        const std::string referenceOut = readFile(referencePath);
        if (smallRegion == 0) {
            smallRegion = MIN_REGION + seed % 3000;
        }
        for (const size_t region : {size_t(1) << 30, smallRegion}) {
            if (region == smallRegion && input.size() <= region) {
                break;
            }
            setDecoratorRegionLength(region);
            std::vector<int32_t> fastHits;
            const bool fast = run(decorateFile, fastPath, fastHits);
            setDecoratorRegionLength(size_t(1) << 30);
            const std::string fastOut = readFile(fastPath);
            auto failure = [&]() {
                return ::testing::AssertionFailure()
                       << "seed " << seed << " (input " << input.size() << " bytes, "
                       << decorationTable.count << " entries, <BR> "
                       << int(decorationTable.lineBreakTags) << ", regions of "
                       << (region == smallRegion ? std::to_string(region) : "full size")
                       << " bytes): ";
            };
            if (fastOut != referenceOut) {
                size_t at = 0;
                while (at < fastOut.size() && at < referenceOut.size() &&
                       fastOut[at] == referenceOut[at]) {
                    ++at;
                }
                return failure() << "output differs at byte " << at << " (" << fastOut.size()
                                 << " vs " << referenceOut.size()
                                 << " bytes)\n  decorator:" << hexAround(fastOut, at)
                                 << "\n  reference:" << hexAround(referenceOut, at);
            }
            if (fast != reference) {
                return failure() << "result " << fast << ", reference " << reference;
            }
            for (size_t i = 0; i < fastHits.size(); ++i) {
                if (fastHits[i] != referenceHits[i]) {
                    const std::string keyword = entryText(decorationTable.entries[i]);
                    return failure()
                           << "entry " << i << " hit " << fastHits[i] << ", reference "
                           << referenceHits[i] << ", keyword" << hexAround(keyword, keyword.size());
                }
            }
        }
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult agree(const Case& c, uint64_t seed) {
        load(c);
        return agree(c.input, seed);
    }

    ScratchDir dir;
    const std::string inputPath = dir.path("in.txt");
    const std::string fastPath = dir.path("fast.html");
    const std::string referencePath = dir.path("reference.html");
};

TEST_F(LineDecoratorDifferential, ShortLinesSmallTables) {
    for (uint64_t seed = 1000000; seed < 1002500; ++seed) {
        Random r(seed);
        Case c;
        c.table = makeTable(r, 1 + r.below(12));
        c.breaks = r.chance(50);
        c.input = makeText(r, c.table, r.below(r.chance(10) ? 4 : 400), 8 + r.below(80));
        if (r.chance(4)) {
            c.input.insert(r.below(c.input.size() + 1), 1, '\x1A');
        }
        ASSERT_TRUE(agree(c, seed));
    }
}

TEST_F(LineDecoratorDifferential, LongLinesInPieces) {
    for (uint64_t seed = 2000000; seed < 2000300; ++seed) {
        Random r(seed);
        Case c;
        c.table = makeTable(r, 1 + r.below(20));
        // Half of the cases with an empty keyword, which sends every piece
        // down the scan, those starting with a zero byte included.
        if (r.chance(50)) {
            c.table.insert(c.table.begin() +
                               static_cast<std::ptrdiff_t>(r.below(c.table.size() + 1)),
                           Entry{"", "", 0, STYLE_BOLD});
        }
        c.breaks = r.chance(50);
        c.input = makeLongLines(r, c.table);
        ASSERT_TRUE(agree(c, seed));
    }
}

TEST_F(LineDecoratorDifferential, ReadBufferBoundaries) {
    for (uint64_t seed = 3000000; seed < 3000036; ++seed) {
        Random r(seed);
        Case c;
        c.table = makeTable(r, 1 + r.below(16));
        c.breaks = r.chance(50);
        // Exactly a buffer size, or a few bytes either side of one.
        const size_t buffer = seed % 2 == 0 ? 32768 : 65536;
        const size_t size = seed % 3 == 0 ? buffer + 1 + r.below(4) : buffer + r.below(9) - 4;
        c.input = makeText(r, c.table, size, r.chance(25) ? 5000 : 60);
        c.input.resize(size, 'a');
        for (size_t b = 4096; b < size; b += 4096) {
            plantAtBoundary(r, c.input, b, c.table);
        }
        for (char& byte : c.input) {
            if (byte == '\x1A') {
                byte = 'a'; // reach the end
            }
        }
        // A CR LF split by the buffer's end, or a lone CR ending the file,
        // closing a line whose pieces end right there too, so that a piece
        // needs the bytes of the next read. Each length meets each buffer.
        if (seed % 3 != 2) {
            static const size_t LENGTHS[] = {2045, 2046, 2047, 2048, 4093, 4094};
            const size_t cr = seed % 3 == 0 ? buffer - 1 : size - 1;
            const size_t lineStart = cr - LENGTHS[(seed / 6) % 6];
            c.input[lineStart - 1] = '\n';
            for (size_t i = lineStart; i < cr; ++i) {
                c.input[i] = textByte(r);
            }
            overwrite(c.input, lineStart + r.below(cr - lineStart), anyKeyword(r, c.table));
        }
        if (seed % 3 == 0) {
            c.input[buffer - 1] = '\r';
            c.input[buffer] = '\n';
        } else if (seed % 3 == 1) {
            c.input.back() = '\r';
        }
        ASSERT_TRUE(agree(c, seed));
    }
}

TEST_F(LineDecoratorDifferential, LargeTables) {
    for (uint64_t seed = 4000000; seed < 4000040; ++seed) {
        Random r(seed);
        Case c;
        const size_t count = seed % 10 == 0 ? MAX_ENTRIES : 13 + r.below(MAX_ENTRIES - 13);
        c.table = makeTable(r, count);
        c.breaks = r.chance(50);
        c.input = makeText(r, c.table, 1000 + r.below(8000), 20 + r.below(3000));
        ASSERT_TRUE(agree(c, seed));
    }
}

// The decorator prepares each entry once per conversion: what it keeps must
// follow every change of the table between conversions, even a new keyword
// that lands in the memory the old one was released from.
TEST_F(LineDecoratorDifferential, TableChangesBetweenConversions) {
    for (uint64_t seed = 5000000; seed < 5000008; ++seed) {
        Random r(seed);
        Case c;
        c.table = makeTable(r, 2 + r.below(30));
        c.breaks = r.chance(50);
        load(c);
        for (int step = 0; step < 25; ++step) {
            const int count = decorationTable.count;
            const int32_t i = static_cast<int32_t>(r.below(static_cast<size_t>(count)));
            std::string keyword = entryText(decorationTable.entries[i]);
            const size_t change = r.below(6);
            if (change == 0 && !keyword.empty()) {
                // Same length, one byte different.
                keyword[r.below(keyword.size())] = textByte(r);
                replaceEntry(i, keyword.c_str(), "", 0, STYLE_ITALIC);
            } else if (change <= 1) {
                // Same keyword, other tags.
                replaceEntry(i, keyword.c_str(), r.chance(50) ? "F00" : "", 1 + int(r.below(5)),
                             static_cast<int32_t>(r.below(16)));
            } else if (change == 2 && count > 1) {
                removeEntry(i);
            } else if (change == 3) {
                addEntry(freshKeyword(r).c_str(), "", static_cast<int32_t>(r.below(3)), 0);
            } else if (change == 4) {
                decorationTable.lineBreakTags ^= 1;
            } else {
                replaceEntry(i, freshKeyword(r).c_str(), "0000FF", 0, STYLE_UNDERLINE);
            }
            std::vector<Entry> current;
            for (int k = 0; k < decorationTable.count; ++k) {
                current.push_back(Entry{entryText(decorationTable.entries[k]), "", 0, 0});
            }
            ASSERT_TRUE(agree(makeText(r, current, 200 + r.below(600), 40), seed))
                << "step " << step;
        }
    }
}

// Keywords in families that share their first three bytes, or their first
// fifteen to seventeen, a family as large as a dozen, in text whose lines
// often end partway into one of them: the lookup takes long families and
// short ones different ways, and checks the first sixteen bytes of a keyword
// apart from the rest.
TEST_F(LineDecoratorDifferential, KeywordFamilies) {
    for (uint64_t seed = 6000000; seed < 6000150; ++seed) {
        Random r(seed);
        Case c;
        const size_t families = 1 + r.below(seed % 5 == 0 ? 60 : 6);
        for (size_t f = 0; f < families; ++f) {
            // Most share three bytes; some share fifteen to seventeen, so
            // that only the bytes past the first sixteen tell them apart.
            std::string stem;
            for (size_t i = r.chance(25) ? 15 + r.below(3) : 3; i > 0; --i) {
                stem += textByte(r);
            }
            const size_t members = 1 + r.below(13);
            for (size_t m = 0; m < members && c.table.size() < MAX_ENTRIES; ++m) {
                std::string keyword = stem;
                const size_t length = stem.size() + (r.chance(30) ? r.below(3) : r.below(6));
                while (keyword.size() < length) {
                    keyword += textByte(r);
                }
                c.table.push_back(Entry{keyword, r.chance(50) ? "FF0000" : "", 0,
                                        static_cast<int32_t>(r.below(16))});
            }
        }
        // Now and then a keyword of one or two bytes that a family's also
        // begins with, placed anywhere in the table.
        for (size_t extra = r.below(3); extra > 0; --extra) {
            const std::string& base = c.table[r.below(c.table.size())].keyword;
            c.table.insert(c.table.begin() + static_cast<std::ptrdiff_t>(r.below(c.table.size())),
                           Entry{base.substr(0, 1 + r.below(2)), "", 0, STYLE_BOLD});
        }
        c.breaks = r.chance(50);
        std::string text;
        while (text.size() < 3000) {
            const std::string keyword = anyKeyword(r, c.table);
            if (r.chance(30)) {
                // Cut short by the line's end.
                text += keyword.substr(0, r.below(keyword.size() + 1));
                text += r.chance(50) ? "\r\n" : "\n";
            } else {
                text += keyword;
                if (r.chance(20)) {
                    text += textByte(r);
                }
            }
        }
        c.input = text;
        ASSERT_TRUE(agree(c, seed));
    }
}

// Inputs read in regions of a few pages, by two lanes: regions end after an
// LF or, within a line with none, after whole pieces, so what lands on a
// region's end matters: a CR LF or a keyword split by it, a line of one
// piece exactly, a stretch of pieces with no LF at all, a zero byte, and
// 0x1A anywhere, which ends the input for both lanes.
TEST_F(LineDecoratorDifferential, RegionBoundaries) {
    for (uint64_t seed = 7000000; seed < 7000060; ++seed) {
        Random r(seed);
        Case c;
        c.table = makeTable(r, 1 + r.below(seed % 4 == 0 ? 300 : 20));
        c.breaks = r.chance(50);
        std::string text;
        const size_t size = 3 * MIN_REGION + r.below(12 * MIN_REGION);
        while (text.size() < size) {
            switch (r.below(6)) {
            case 0: // a run of whole pieces with no LF
                for (size_t n = PIECE * (1 + r.below(5)) + r.below(5) - 2; n > 0; --n) {
                    text += r.chance(10) ? anyKeyword(r, c.table) : std::string(1, textByte(r));
                }
                break;
            case 1: // one piece exactly, closed either way
                text += std::string(PIECE - 1 - r.below(2), 'a');
                text += r.chance(50) ? "\r\n" : "\n";
                break;
            default:
                text += makeText(r, c.table, 20 + r.below(300), 10 + r.below(120));
                break;
            }
        }
        // Things planted where regions of this seed's length end.
        const size_t region = MIN_REGION + seed % 3000;
        for (size_t b = region; b + 1 < text.size(); b += region) {
            plantAtBoundary(r, text, b + r.below(5) - 2, c.table);
        }
        for (char& byte : text) {
            if (byte == '\x1A' && !r.chance(10)) {
                byte = 'b';
            }
        }
        c.input = text;
        ASSERT_TRUE(agree(c, seed));
    }
    // A region read ending in the CR of a CR LF, after a stretch with no LF
    // of whole pieces exactly: the last piece would take 2046 bytes and the
    // CR LF, not the 2047 bytes before the LF.
    Case c;
    c.table = {Entry{"ab", "", 1, 0}, Entry{"\r", "", 0, STYLE_BOLD}};
    c.breaks = false;
    load(c);
    for (const size_t region : {size_t(6141), size_t(7000), size_t(9001)}) {
        for (size_t pieces = 2; pieces * PIECE < region; ++pieces) {
            const size_t lineStart = region - pieces * PIECE;
            std::string text = lineStart > 0 ? std::string(lineStart - 1, 'x') + "\n" : "";
            for (size_t i = 1; i < pieces * PIECE; ++i) {
                text += i % 7 == 0 ? "ab" : "c";
            }
            text.resize(region - 1);
            text += "\r\nab\r\n" + std::string(3000, 'd');
            ASSERT_TRUE(agree(text, region + pieces, region));
        }
    }
}

// A region whose output outgrows its lane's buffer (here a one-byte keyword
// decorated about eighty times over) must wait for its turn before any of it
// goes out, and then keep the order.
TEST_F(LineDecoratorDifferential, OutputLargerThanALane) {
    Case c;
    c.table = {Entry{"a", "00FF00", -3, STYLE_BOLD | STYLE_ITALIC | STYLE_UNDERLINE | STYLE_STRIKE},
               Entry{"bc", "", 2, 0}};
    c.breaks = true;
    for (int line = 0; c.input.size() < 160 * 1024; ++line) {
        c.input += std::string(60 + line % 50, 'a');
        c.input += line % 3 == 0 ? "bc\r\n" : "x\n";
    }
    load(c);
    // Regions of 20 and 50 KB: 1.5 and 3.8 MB of output each.
    ASSERT_TRUE(agree(c.input, 1, 20000));
    ASSERT_TRUE(agree(c.input, 2, 50000));
}

// Regions of very different cost: one thread spends long on a region of
// keywords while the other runs through regions of plain text and must not
// run more regions ahead than there are output slots, nor write its own out
// before the slow one's.
TEST_F(LineDecoratorDifferential, UnevenRegions) {
    Case c;
    c.table = {Entry{"a", "0000FF", 7, STYLE_BOLD | STYLE_ITALIC | STYLE_STRIKE}};
    c.breaks = true;
    for (int round = 0; round < 6; ++round) {
        while (c.input.size() % MIN_REGION != MIN_REGION - 1) {
            c.input += c.input.size() % 61 == 0 ? '\n' : 'a';
        }
        c.input += '\n';
        for (int light = 0; light < 40 * static_cast<int>(MIN_REGION) / 8; ++light) {
            c.input += "xyz xy\n";
        }
    }
    load(c);
    ASSERT_TRUE(agree(c.input, 3, MIN_REGION));
}

// Tables that made matching slow before it was linear in the text: long
// keywords that nearly match long lines, sharing their starts or their ends,
// one that must wait for a long one before it can win, and many crowding one
// filter bucket; lines longer than a piece and regions of a few pages.
TEST_F(LineDecoratorDifferential, HostileTables) {
    const std::string run(510, 'a');
    std::vector<std::vector<std::string>> tables(5);
    Random r(9000000);
    for (int i = 0; i < MAX_ENTRIES; ++i) {
        tables[0].push_back(run + static_cast<char>('b' + i % 20));
        tables[1].push_back(static_cast<char>('b' + i % 20) + run);
        std::string crowded = "aaa";
        for (size_t k = r.below(14); k > 0; --k) {
            crowded += r.chance(85) ? 'a' : 'b';
        }
        tables[4].push_back(crowded);
    }
    tables[2] = {run + 'b', "a", "aab"};
    tables[3] = {run.substr(0, 100) + 'c', run.substr(0, 40), "ab", run + 'c'};
    uint64_t seed = 9000001;
    for (const std::vector<std::string>& keywords : tables) {
        Case c;
        for (const std::string& keyword : keywords) {
            c.table.push_back(Entry{keyword, r.chance(50) ? "FF0000" : "", 0, 0});
        }
        c.breaks = true;
        while (c.input.size() < 3 * MIN_REGION) {
            // Runs longer than a piece, broken now and then by another byte.
            c.input += std::string(100 + r.below(3000), 'a');
            c.input += "bcq\n\0"[r.below(5)]; // a zero byte ends what matches
        }
        load(c);
        ASSERT_TRUE(agree(c.input, seed++));
    }
}

} // namespace

// UTF-8 texts, with and without a byte-order mark, long lines whose pieces
// end near multi-byte characters, and texts long enough for the encoding to
// be decided across regions; now and then a broken byte early enough to make
// the text code page 932 after all.
TEST_F(LineDecoratorDifferential, Utf8Texts) {
    for (uint64_t seed = 1; seed < 400; ++seed) {
        Random r(seed);
        Case c;
        for (size_t n = 1 + r.below(seed % 9 == 0 ? 300 : 10); n > 0; --n) {
            Entry e{r.chance(70) ? cp932Keyword(r) : freshKeyword(r), "FF0000", 0, STYLE_BOLD};
            if (r.chance(20)) {
                e.keyword += cp932Keyword(r);
            }
            c.table.push_back(e);
        }
        c.breaks = r.chance(50);
        if (r.chance(30)) {
            c.input = "\xEF\xBB\xBF";
        }
        const size_t length = r.chance(10) ? 70000 + r.below(70000) : r.below(3 * PIECE);
        while (c.input.size() < length) {
            if (r.chance(2)) {
                // A long line whose limit falls near a character.
                c.input += std::string(PIECE - 3 + r.below(4), 'x');
            }
            c.input += utf8Piece(r);
        }
        if (r.chance(25)) {
            overwrite(c.input, r.below(c.input.size() + 1), brokenUtf8(r));
        }
        ASSERT_TRUE(agree(c, seed));
    }
}

// UTF-16 units as the bytes of one byte order.
std::string utf16Bytes(const std::u16string& units, bool bigEndian) {
    std::string bytes;
    for (const char16_t unit : units) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

// UTF-16 texts, which convert as their UTF-8 form does: both byte orders,
// with a mark or read so by --encoding without one (a mark then read as the
// character U+FEFF or U+FFFE), pairs and lone surrogates where a keyword or
// the 2047th byte (the mark's three counting) meets them, U+0000 and U+001A,
// an odd last byte; then random texts of such pieces across regions.
TEST_F(LineDecoratorDifferential, Utf16Texts) {
    Case table;
    // ア, 重要; colours 赤, and one whose last kanji the six-byte limit cuts.
    table.table = {Entry{"key", "\x90\xD4", 2, STYLE_BOLD}, Entry{"\x83\x41", "FF0000", 0, 0},
                   Entry{"\x8F\x64\x97\x76", "a\x90\xD4\x90\xD4\x90\xD4", -1, STYLE_ITALIC},
                   Entry{"x", "", 0, STYLE_UNDERLINE}};
    table.breaks = true;
    const std::u16string mark = u"\xFEFF";
    const std::u16string x2041(2041, u'x');
    const struct {
        EncodingChoice choice;
        bool bigEndian;
        std::u16string text;
        std::string odd;
    } cases[] = {
        {ENCODING_AUTO, false, mark + u"key \x91cd\x8981\r\n\x30a2\nkey", ""},
        {ENCODING_AUTO, true, mark + u"key \x91cd\x8981\r\n\x30a2\nkey", ""},
        {ENCODING_ALWAYS_UTF16LE, false, u"key \x91cd\x8981\r\nx", ""},
        {ENCODING_ALWAYS_UTF16BE, true, u"key \x91cd\x8981\r\nx", ""},
        {ENCODING_ALWAYS_UTF16LE, false, mark + u"key\n", ""},
        {ENCODING_ALWAYS_UTF16LE, true, mark + u"key\n", ""},
        {ENCODING_AUTO, false, mark + u"key\xD83D\xDE00key \xD83D\xDE00\x30a2\n", ""},
        {ENCODING_AUTO, true, mark + u"key\xD800key\xDC00 \xDBFFx\xDFFF\x30a2\xD800", ""},
        {ENCODING_AUTO, false, mark + x2041 + u"x\x91cd\x8981\n", ""},
        {ENCODING_AUTO, false, mark + x2041 + u"x\xD800key\n", ""},
        {ENCODING_AUTO, true, mark + x2041 + u"\xD83D\xDE00key\n", ""},
        {ENCODING_AUTO, false, mark + x2041 + u"xxx\x30a2x\n", ""},
        {ENCODING_AUTO, false, mark + u"key\0 key\r\nkey\n" + x2041 + u"x\0x" + x2041, ""},
        {ENCODING_AUTO, true, mark + u"key\n\x001Akey\n", "Z"},
        {ENCODING_AUTO, false, mark + u"key\r", "\x1A"},
        {ENCODING_ALWAYS_UTF16BE, true, u"", "Z"},
        {ENCODING_AUTO, false, mark, ""},
    };
    uint64_t seed = 1;
    for (const auto& c : cases) {
        setDecoratorEncoding(c.choice);
        setReferenceEncoding(c.choice);
        load(table);
        ASSERT_TRUE(agree(utf16Bytes(c.text, c.bigEndian) + c.odd, seed++));
    }
    setDecoratorEncoding(ENCODING_AUTO);
    setReferenceEncoding(ENCODING_AUTO);
    static const char16_t* const PIECES[] = {
        u"\x91cd", u"\x30bd", u"\x30a2", u"\xff71", u"\x80",         u"key",    u"x",
        u" ",      u"\n",     u"\r\n",   u"\xe9",   u"\xD83D\xDE00", u"\xD800", u"\xDC00"};
    for (; seed < 300; ++seed) {
        Random r(seed);
        std::u16string text = mark;
        const size_t length = r.chance(10) ? 40000 + r.below(40000) : r.below(3 * PIECE);
        while (text.size() < length) {
            if (r.chance(2)) {
                text += std::u16string(PIECE - 4 + r.below(4), u'x');
            }
            text += r.chance(1) ? u"\0" : PIECES[r.below(sizeof PIECES / sizeof PIECES[0])];
        }
        load(table);
        ASSERT_TRUE(agree(utf16Bytes(text, r.chance(50)) + (r.chance(20) ? "Z" : ""), seed));
    }
}
