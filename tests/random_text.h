// Seeded random cases shared by the matcher and decorator tests. They are
// drawn from the engine's raw output only: the standard distributions differ
// between libraries, and a seed must build the same case natively and under
// Wine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>

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
