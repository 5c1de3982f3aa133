// Seeded random cases shared by the matcher and decorator tests. They are
// drawn from the engine's raw output only: the standard distributions differ
// between libraries, and a seed must build the same case natively and under
// Wine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

struct Random {
    explicit Random(uint64_t seed) : engine(seed) {}
    size_t below(size_t n) {
        return n == 0 ? 0 : static_cast<size_t>(engine() % n);
    }
    bool chance(unsigned percent) {
        return below(100) < percent;
    }
    std::mt19937_64 engine;
};

// Few letters, so that keywords recur and nearly recur, among Shift-JIS lead
// bytes (0x81-0x9F, 0xE0-0xFC) and 0x5C, a trail byte that is also '\'.
inline char textByte(Random& r) {
    static const unsigned char TEXT_BYTES[] = {'a',  'b',  'c',  'a',  'b',  ' ',  0x5C, 0x81,
                                               0x9F, 0x8A, 0xE0, 0xFC, 0x40, 0xFF, 0x80};
    return static_cast<char>(TEXT_BYTES[r.below(sizeof TEXT_BYTES)]);
}

// Code page 932 keywords that have UTF-8 forms (重, ソ, ア, ｱ, 0x80, A, a)
// and one that has none (a lone lead byte), with the UTF-8 of the first
// six, for texts read as UTF-8.
inline const char* cp932Keyword(Random& r) {
    static const char* const KEYWORDS[] = {"\x8F\x64", "\x83\x5C", "\x83\x41", "\xB1",
                                           "\x80",     "A",        "a",        "\x81"};
    return KEYWORDS[r.below(sizeof KEYWORDS / sizeof KEYWORDS[0])];
}

// A piece of UTF-8 text: the forms of cp932Keyword's keywords, other
// characters of two to four bytes, ASCII and line ends.
inline const char* utf8Piece(Random& r) {
    static const char* const FORMS[] = {"\xE9\x87\x8D",
                                        "\xE3\x82\xBD",
                                        "\xE3\x82\xA2",
                                        "\xEF\xBD\xB1",
                                        "\xC2\x80",
                                        "A",
                                        "a",
                                        " ",
                                        "\n",
                                        "\r\n",
                                        "\xC3\xA9",
                                        "\xF0\x9F\x98\x80",
                                        "\xE9\x80\xA3",
                                        "\xE8\xA6\x81"};
    return FORMS[r.below(sizeof FORMS / sizeof FORMS[0])];
}

// Bytes that no UTF-8 text holds there: a cut sequence, a lone continuation
// byte, an overlong form, a surrogate, 0xFF.
inline const char* brokenUtf8(Random& r) {
    static const char* const BROKEN[] = {"\xE9\x87", "\x8D", "\xC0\x80", "\xED\xA0\x80", "\xFF"};
    return BROKEN[r.below(sizeof BROKEN / sizeof BROKEN[0])];
}

// A keyword of any bytes but zero: mostly short, now and then long, a few
// past the 511 bytes the table keeps. Line ends come often; 0x1A, which ends
// what a text can read, rarely.
inline std::string freshKeyword(Random& r) {
    size_t length = 1 + r.below(4);
    if (r.chance(10)) {
        length = 5 + r.below(r.chance(10) ? 600 : 12);
    }
    std::string keyword;
    for (size_t i = 0; i < length; ++i) {
        keyword += r.chance(6) ? "\r\n"[r.below(2)] : r.chance(1) ? '\x1A' : textByte(r);
    }
    return keyword;
}

// A table's keywords: empty ones, repeats, shared prefixes shorter and
// longer, fresh ones; none longer than `longest`.
inline std::vector<std::string> keywordTable(Random& r, size_t count, size_t longest) {
    std::vector<std::string> table;
    for (size_t i = 0; i < count; ++i) {
        const size_t kind = r.below(100);
        std::string keyword;
        if (kind < 4) {
            keyword = "";
        } else if (kind < 12 && i > 0) {
            keyword = table[r.below(i)];
        } else if (kind < 35 && i > 0) {
            // Shares a prefix with an earlier keyword: shorter, or longer, or both.
            const std::string& base = table[r.below(i)];
            keyword = base.substr(0, r.below(base.size() + 1));
            for (size_t extra = r.below(3); extra > 0; --extra) {
                keyword += textByte(r);
            }
        } else {
            keyword = freshKeyword(r);
        }
        table.push_back(keyword.substr(0, longest));
    }
    return table;
}

// One of the keywords to put into a text; one holding 0x1A, which ends what
// can be read, only now and then.
inline const std::string& anyKeyword(Random& r, const std::vector<std::string>& keywords) {
    const std::string* keyword = &keywords[r.below(keywords.size())];
    for (int tries = 0; tries < 4 && keyword->find('\x1A') != std::string::npos; ++tries) {
        keyword = &keywords[r.below(keywords.size())];
    }
    return *keyword;
}

// Text made of the keywords, near misses of them (cut short or with a byte
// changed), filler, zero bytes and CRs, up to about `length` bytes; with a
// lineSpan, line ends of every kind about every lineSpan bytes, and a last
// line that may end with a keyword, a CR or a zero byte.
inline std::string keywordText(Random& r, const std::vector<std::string>& keywords, size_t length,
                               size_t lineSpan) {
    static const char* const LINE_ENDS[] = {"\n", "\r\n", "\r", "\r\r\n", "\n\n", "\r\n\r\n"};
    std::string text;
    while (text.size() < length) {
        const size_t roll = r.below(100);
        if (lineSpan > 0 && r.below(lineSpan) < 3) {
            text += LINE_ENDS[r.below(6)];
        } else if (roll < 35 && !keywords.empty()) {
            text += anyKeyword(r, keywords);
        } else if (roll < 55 && !keywords.empty()) {
            std::string nearMiss = anyKeyword(r, keywords);
            if (!nearMiss.empty()) {
                if (r.chance(50)) {
                    nearMiss.resize(r.below(nearMiss.size()));
                } else {
                    nearMiss[r.below(nearMiss.size())] = textByte(r);
                }
            }
            text += nearMiss;
        } else if (roll < 58) {
            text += r.chance(50) ? '\0' : '\r';
        } else {
            for (size_t n = 1 + r.below(4); n > 0; --n) {
                text += textByte(r);
            }
        }
    }
    if (lineSpan == 0) {
        text.resize(length);
        return text;
    }
    switch (r.below(6)) {
    case 0: // a last line without newline that ends with a keyword
        if (!keywords.empty()) {
            text += anyKeyword(r, keywords);
        }
        break;
    case 1:
        text += '\r';
        break;
    case 2:
        text += '\0';
        break;
    default:
        break;
    }
    return text;
}
