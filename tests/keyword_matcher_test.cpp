// The keyword matcher on its own, against the plain rule: at each position
// where a character begins, the lowest entry whose keyword starts there and
// ends where a character does (or the text ends) wins, and the search goes
// on after it; nothing matches at or past the first zero byte; an empty
// keyword matches nowhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/characters.h"
#include "core/decoration_table.h"
#include "core/keyword_matcher.h"
#include "random_text.h"

namespace {

// Where characters begin in `text` up to `end`, and at `end`: walked from
// the start by the encoding's plain rule.
std::vector<bool> characterStarts(const std::string& text, size_t end, TextEncoding encoding) {
    std::vector<bool> starts(end + 1, false);
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    size_t i = 0;
    while (i < end) {
        starts[i] = true;
        size_t n = 1;
        if (encoding == TEXT_CP932) {
            const bool lead =
                (byte(i) >= 0x81 && byte(i) <= 0x9F) || (byte(i) >= 0xE0 && byte(i) <= 0xFC);
            if (lead && i + 1 < end &&
                ((byte(i + 1) >= 0x40 && byte(i + 1) <= 0x7E) ||
                 (byte(i + 1) >= 0x80 && byte(i + 1) <= 0xFC))) {
                n = 2;
            }
        } else {
            const int sequence = utf8SequenceLength(
                reinterpret_cast<const unsigned char*>(text.data()) + i, end - i);
            n = sequence > 0 ? static_cast<size_t>(sequence) : 1;
        }
        i += n;
    }
    starts[end] = true;
    return starts;
}

std::vector<KeywordHit> plainHits(const std::string& text, const std::vector<std::string>& table,
                                  TextEncoding encoding) {
    std::vector<KeywordHit> hits;
    const size_t end = text.find('\0') == std::string::npos ? text.size() : text.find('\0');
    const std::vector<bool> starts = characterStarts(text, end, encoding);
    size_t p = 0;
    while (p < end) {
        size_t winner = table.size();
        for (size_t i = 0; i < table.size() && winner == table.size() && starts[p]; ++i) {
            const std::string& k = table[i];
            if (!k.empty() && p + k.size() <= end && text.compare(p, k.size(), k) == 0 &&
                starts[p + k.size()]) {
                winner = i;
            }
        }
        if (winner == table.size()) {
            ++p;
            continue;
        }
        hits.push_back(KeywordHit{static_cast<uint16_t>(p), static_cast<uint16_t>(winner)});
        p += table[winner].size();
    }
    return hits;
}

// Builds the matcher of `encoding` from `table`, the keywords in the form
// searched for, and searches `text` (at most PIECE_LENGTH bytes); the
// bytes past its terminator are the start of a keyword, so a match that ran
// past the end would show.
::testing::AssertionResult searchFinds(const std::vector<std::string>& table,
                                       const std::string& text,
                                       const std::vector<KeywordHit>& expected,
                                       TextEncoding encoding) {
    static PreparedEntry entries[MAX_ENTRIES];
    for (size_t i = 0; i < table.size(); ++i) {
        const std::string& k = table[i];
        entries[i] = PreparedEntry{};
        entries[i].usable = true;
        entries[i].keyword = k.c_str();
        entries[i].keywordLength = static_cast<int>(k.size());
        entries[i].loneLead = encoding == TEXT_CP932 &&
                              endsWithLoneLead(reinterpret_cast<const unsigned char*>(k.data()),
                                               static_cast<int>(k.size()));
    }
    buildKeywordMatcher(encoding, entries, static_cast<int>(table.size()));
    // A lead byte before the text, which the search may read and must not
    // take for part of it.
    std::string buffer = "\x81" + text;
    buffer.push_back('\0');
    const std::string& tempting = table.empty() ? text : table.back();
    for (int i = 0; i < MATCHER_READ_PAST; ++i) {
        buffer.push_back(tempting.empty() ? 'a'
                                          : tempting[static_cast<size_t>(i) % tempting.size()]);
    }
    static KeywordHits found;
    findKeywordHits(encoding, buffer.data() + 1, static_cast<int>(text.size()), &found);
    const size_t end = text.find('\0') == std::string::npos ? text.size() : text.find('\0');
    if (found.textLength != static_cast<int>(end)) {
        return ::testing::AssertionFailure()
               << "text length " << found.textLength << ", expected " << end;
    }
    if (found.count != static_cast<int>(expected.size())) {
        return ::testing::AssertionFailure()
               << found.count << " hits, expected " << expected.size();
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        if (found.hits[i].at != expected[i].at || found.hits[i].entry != expected[i].entry) {
            return ::testing::AssertionFailure()
                   << "hit " << i << " entry " << found.hits[i].entry << " at " << found.hits[i].at
                   << ", expected entry " << expected[i].entry << " at " << expected[i].at;
        }
    }
    return ::testing::AssertionSuccess();
}

std::string hex(const std::string& bytes) {
    std::string out;
    char two[4];
    for (const char c : bytes) {
        std::snprintf(two, sizeof two, "%02X ", static_cast<unsigned char>(c));
        out += two;
    }
    return out;
}

// The matcher against the plain rule; a failure shows a small case whole.
::testing::AssertionResult agrees(const std::vector<std::string>& table, const std::string& text,
                                  TextEncoding encoding = TEXT_CP932) {
    ::testing::AssertionResult result =
        searchFinds(table, text, plainHits(text, table, encoding), encoding);
    if (!result && table.size() <= 12 && text.size() <= 400) {
        for (size_t i = 0; i < table.size(); ++i) {
            result << "\n entry " << i << ": " << hex(table[i]);
        }
        result << "\n text: " << hex(text);
    }
    return result;
}

// Tables and texts from the shared generator: keywords the matcher takes
// (511 bytes at most), texts of one piece (no line ends).
std::vector<std::string> makeTable(Random& r, size_t count) {
    return keywordTable(r, count, MAX_KEYWORD_LENGTH);
}

std::string makeText(Random& r, const std::vector<std::string>& table, size_t length) {
    return keywordText(r, table, length, 0);
}

// Families of keywords sharing a stem of 3 or 15 to 17 bytes, and now and
// then a keyword of one or two bytes a family also begins with.
std::vector<std::string> makeFamilies(Random& r, size_t families) {
    std::vector<std::string> table;
    for (size_t f = 0; f < families; ++f) {
        std::string stem;
        for (size_t i = r.chance(25) ? 15 + r.below(3) : 3; i > 0; --i) {
            stem += textByte(r);
        }
        for (size_t m = 1 + r.below(13); m > 0 && table.size() < MAX_ENTRIES; --m) {
            std::string keyword = stem;
            const size_t length = stem.size() + (r.chance(30) ? r.below(3) : r.below(6));
            while (keyword.size() < length) {
                keyword += textByte(r);
            }
            table.push_back(keyword);
        }
    }
    for (size_t extra = r.below(3); extra > 0 && table.size() < MAX_ENTRIES; --extra) {
        const std::string base = table[r.below(table.size())];
        table.insert(table.begin() + static_cast<std::ptrdiff_t>(r.below(table.size())),
                     base.substr(0, 1 + r.below(2)));
    }
    return table;
}

} // namespace

TEST(KeywordMatcher, RandomSmallTables) {
    for (uint64_t seed = 1; seed < 3000; ++seed) {
        Random r(seed);
        const std::vector<std::string> table = makeTable(r, 1 + r.below(12));
        ASSERT_TRUE(agrees(table, makeText(r, table, r.below(400)))) << "seed " << seed;
    }
}

TEST(KeywordMatcher, RandomLargeTables) {
    for (uint64_t seed = 1; seed < 60; ++seed) {
        Random r(seed);
        const std::vector<std::string> table =
            makeTable(r, seed % 10 == 0 ? MAX_ENTRIES : 13 + r.below(MAX_ENTRIES - 13));
        ASSERT_TRUE(agrees(table, makeText(r, table, PIECE_LENGTH))) << "seed " << seed;
    }
}

TEST(KeywordMatcher, KeywordFamilies) {
    for (uint64_t seed = 1; seed < 400; ++seed) {
        Random r(seed);
        const std::vector<std::string> table = makeFamilies(r, 1 + r.below(seed % 5 == 0 ? 60 : 6));
        ASSERT_TRUE(agrees(table, makeText(r, table, 1 + r.below(PIECE_LENGTH))))
            << "seed " << seed;
    }
}

// Tables that made a walk from each position slow: long keywords that nearly
// match long runs, sharing their starts or their ends, crowding one filter
// bucket; the answers must not change with the way they are found.
TEST(KeywordMatcher, HostileTables) {
    const std::string run(510, 'a');
    std::vector<std::string> lastByte;
    std::vector<std::string> firstByte;
    for (int i = 0; i < MAX_ENTRIES; ++i) {
        lastByte.push_back(run + static_cast<char>('b' + i % 20));
        firstByte.push_back(static_cast<char>('b' + i % 20) + run);
    }
    std::string runs(PIECE_LENGTH, 'a');
    runs[600] = 'c';
    runs[1200] = 'b';
    runs[1300] = 'q';
    EXPECT_TRUE(agrees(lastByte, runs));
    EXPECT_TRUE(agrees(firstByte, runs));
    EXPECT_TRUE(agrees({run + 'b', "a"}, runs));
    EXPECT_TRUE(agrees({"a", run + 'b'}, runs));
    EXPECT_TRUE(agrees({run + 'q', run.substr(0, 300), "aa"}, runs));

    Random r(7);
    std::vector<std::string> crowded;
    for (int i = 0; i < MAX_ENTRIES; ++i) {
        std::string keyword = "aaa";
        for (size_t k = r.below(14); k > 0; --k) {
            keyword += r.chance(85) ? 'a' : 'b';
        }
        crowded.push_back(keyword);
    }
    std::string ab;
    while (ab.size() < PIECE_LENGTH) {
        ab += r.chance(85) ? 'a' : 'b';
    }
    EXPECT_TRUE(agrees(crowded, ab));
}

// Keywords over two letters, many of them suffixes, prefixes and middles of
// one another, the long ones past any list: every failure path is taken.
TEST(KeywordMatcher, OverlappingKeywordsOfTwoLetters) {
    for (uint64_t seed = 1; seed < 300; ++seed) {
        Random r(seed);
        std::vector<std::string> table;
        const size_t count = 1 + r.below(seed % 3 == 0 ? MAX_ENTRIES : 40);
        for (size_t i = 0; i < count; ++i) {
            std::string keyword;
            if (i > 0 && r.chance(40)) {
                // Part of an earlier keyword, or one with bytes added around.
                const std::string& base = table[r.below(i)];
                const size_t from = r.below(base.size() + 1);
                keyword = base.substr(from, r.below(base.size() - from + 1));
                if (r.chance(50)) {
                    keyword = (r.chance(50) ? "a" : "b") + keyword + (r.chance(50) ? "a" : "b");
                }
            } else {
                for (size_t k = 1 + r.below(r.chance(30) ? 60 : 6); k > 0; --k) {
                    keyword += r.chance(70) ? 'a' : 'b';
                }
            }
            table.push_back(keyword);
        }
        std::string text;
        while (text.size() < 1 + r.below(PIECE_LENGTH)) {
            text += r.chance(30) ? table[r.below(table.size())] : std::string(1, "ab"[r.below(2)]);
        }
        text.resize(std::min<size_t>(text.size(), PIECE_LENGTH));
        ASSERT_TRUE(agrees(table, text)) << "seed " << seed;
    }
}

namespace {

// Fixed cases with their hits written out: (position, entry).
struct MatcherCase {
    const char* name;
    TextEncoding encoding;
    std::vector<std::string> keywords;
    std::string text;
    std::vector<std::pair<int, int>> hits;
};

const std::string LONG_STEM = "0123456789abcdefq"; // past the lists: in the automaton

const MatcherCase FIXED_CASES[] = {
    // At one position the lowest entry wins, whatever the lengths.
    {"lowest first", TEXT_CP932, {"abc", "ab", "a"}, "xabcab a", {{1, 0}, {4, 1}, {7, 2}}},
    {"shortest lowest", TEXT_CP932, {"a", "ab", "abc"}, "xabcab a", {{1, 0}, {4, 0}, {7, 0}}},
    {"short before long",
     TEXT_CP932,
     {"ab", "abcdefghijklmnopqrstu", "b"},
     "abcdefghijklmnopqrstu",
     {{0, 0}}},
    {"search goes on after a hit",
     TEXT_CP932,
     {"bc", "abc"},
     "abc abcbc",
     {{0, 1}, {4, 1}, {7, 0}}},
    // The first zero byte ends the text; an empty keyword matches nowhere.
    {"empty keyword", TEXT_CP932, {"", "ab"}, "ab ab", {{0, 1}, {3, 1}}},
    {"zero byte ends the text", TEXT_CP932, {"abc"}, std::string("ab\0c abc", 8), {}},
    {"zero byte first", TEXT_CP932, {"ab"}, std::string("\0ab", 3), {}},
    {"keyword running into the end",
     TEXT_CP932,
     {"abcdefghijklmnopqrst"},
     "abcdefghijklmnopqr",
     {}},
    {"no keywords", TEXT_CP932, {}, "abc", {}},
    // Second bytes that are keywords: \u9023 is 98 41, \u8868 95 5C, \u30bd 83 5C.
    {"second byte A", TEXT_CP932, {"A"}, "\x98\x41\x41", {{2, 0}}},
    {"backslash inside characters", TEXT_CP932, {"\\"}, "\x95\x5c\\\x83\x5c", {{2, 0}}},
    // \u30a2 (83 41) inside \uff1e A (81 83 41), then whole.
    {"a character's bytes across two", TEXT_CP932, {"\x83\x41"}, "\x81\x83\x41\x83\x41", {{3, 0}}},
    // A lead byte takes the 'a' (0x61) after it as its trail byte.
    {"a long keyword after a lead byte",
     TEXT_CP932,
     {"abcdefghijklmnopq"},
     "\x81"
     "abcdefghijklmnopq abcdefghijklmnopq",
     {{19, 0}}},
    // A keyword ending in a lone lead byte never takes the trail byte after it.
    {"lone lead before a trail byte",
     TEXT_CP932,
     {"\x81", "\x81\x81"},
     "\x81\x81\x81",
     {{0, 1}, {2, 0}}},
    {"lone lead before a space", TEXT_CP932, {"\x81"}, "\x81 \x81", {{0, 0}, {2, 0}}},
    {"lone lead rejected, a later entry wins",
     TEXT_CP932,
     {"\x81", "\x81\x40"},
     "\x81\x40",
     {{0, 1}}},
    {"two bytes ending in a lone lead",
     TEXT_CP932,
     {"A\x81"},
     "A\x81\x40"
     "A\x81 ",
     {{3, 0}}},
    {"long keyword ending in a lone lead",
     TEXT_CP932,
     {LONG_STEM + "\x81"},
     LONG_STEM + "\x81\x40 " + LONG_STEM + "\x81!",
     {{20, 0}}},
    // The lone-lead keyword is a prefix of a longer one: the byte after it
    // is inside the longer keyword's match.
    {"lone lead prefix accepted",
     TEXT_CP932,
     {LONG_STEM + "\x81", LONG_STEM + "\x81!z"},
     LONG_STEM + "\x81!z",
     {{0, 0}}},
    {"lone lead prefix rejected",
     TEXT_CP932,
     {LONG_STEM + "\x81", LONG_STEM + "\x81\x40z"},
     LONG_STEM + "\x81\x40z",
     {{0, 1}}},
    {"lone lead at the end of the text", TEXT_CP932, {"a\x81", "\x81"}, "xa\x81", {{1, 0}}},
    {"half-width kana are single bytes",
     TEXT_CP932,
     {"\xb1"},
     "\xb1\xb1\x81\xb1",
     {{0, 0}, {1, 0}}},
    {"UTF-8 forms match whole",
     TEXT_UTF8,
     {"\xe9\x87\x8d\xe8\xa6\x81", "A"},
     "\xe9\x80\xa3"
     "A \xe9\x87\x8d\xe8\xa6\x81",
     {{3, 1}, {5, 0}}},
    {"UTF-8 after broken bytes", TEXT_UTF8, {"\xe3\x82\xa2"}, "\xe3\xe3\x82\xa2\xc0\x80", {{1, 0}}},
    // UTF-8 keywords of up to 32 bytes are checked by their heads, a word
    // at a time, the last word included; longer ones by the automaton.
    {"UTF-8 head's last byte",
     TEXT_UTF8,
     {std::string(31, 'a') + "b"},
     std::string(31, 'a') + "c " + std::string(31, 'a') + "b",
     {{33, 0}}},
    {"UTF-8 head and beyond",
     TEXT_UTF8,
     {std::string(33, 'a'), std::string(32, 'a'), std::string(17, 'a')},
     std::string(32, 'a') + " " + std::string(33, 'a') + " " + std::string(31, 'a'),
     {{0, 1}, {33, 0}, {67, 2}}},
    {"UTF-8 head running into the end",
     TEXT_UTF8,
     {std::string(30, 'a')},
     std::string(29, 'a'),
     {}},
};

} // namespace

TEST(KeywordMatcher, FixedCases) {
    for (const MatcherCase& c : FIXED_CASES) {
        std::vector<KeywordHit> expected;
        for (const auto& hit : c.hits) {
            expected.push_back(
                KeywordHit{static_cast<uint16_t>(hit.first), static_cast<uint16_t>(hit.second)});
        }
        EXPECT_TRUE(searchFinds(c.keywords, c.text, expected, c.encoding)) << c.name;
        // The plain rule, which the random cases trust, says the same.
        EXPECT_TRUE(agrees(c.keywords, c.text, c.encoding)) << c.name << " (plain rule)";
    }
}

// UTF-8 texts with now and then a byte that breaks a sequence, and keywords
// that are UTF-8 forms: whole, cut from the text, or sharing its starts.
TEST(KeywordMatcher, RandomUtf8Texts) {
    static const char* const CHARACTERS[] = {"a",
                                             "A",
                                             " ",
                                             "\xc3\xa9",
                                             "\xe9\x87\x8d",
                                             "\xe8\xa6\x81",
                                             "\xe3\x82\xa2",
                                             "\xf0\x9f\x98\x80",
                                             "\xef\xbd\xb1",
                                             "\xe9\x80\xa3"};
    static const char* const BROKEN[] = {"\xe9", "\x87", "\xc0\x80", "\xed\xa0\x80", "\xff"};
    for (uint64_t seed = 1; seed < 600; ++seed) {
        Random r(seed);
        std::string text;
        while (text.size() < 1 + r.below(PIECE_LENGTH - 4)) {
            text += r.chance(3) ? BROKEN[r.below(5)] : CHARACTERS[r.below(10)];
        }
        std::vector<std::string> table;
        for (size_t n = 1 + r.below(seed % 7 == 0 ? 300 : 12); n > 0; --n) {
            std::string keyword;
            for (size_t k = 1 + r.below(r.chance(20) ? 12 : 3); k > 0; --k) {
                keyword += CHARACTERS[r.below(10)];
            }
            table.push_back(keyword);
        }
        ASSERT_TRUE(agrees(table, text, TEXT_UTF8)) << "seed " << seed;
    }
}
