// The characters of the two encodings a text is read in. A keyword only ever
// matches whole characters, and a piece of a long line only ever ends where
// a character does, so both the matcher and the readers ask these rules.
//
// Code page 932: a lead byte (0x81-0x9F, 0xE0-0xFC) followed by a trail byte
// (0x40-0x7E, 0x80-0xFC) is one character of two bytes; every other byte is
// a character of one byte, a lead byte before a byte that cannot follow it
// included. Every lead byte is also a trail byte, so the characters of a text
// are known only by walking it from a known start; a byte that is not a lead
// byte always ends a character, which bounds every walk back.
//
// UTF-8: a well-formed sequence (Unicode's table 3-7: no overlong forms, no
// surrogates, nothing above U+10FFFF) is one character; every other byte is
// a character of its own. A byte outside 0x80-0xBF never sits inside a
// longer character, so the character around a byte is known from the three
// bytes before it.
//
// UTF-16 texts are worked on in their UTF-8 form (core/utf16), which is
// UTF-8 widened by one rule: a lone surrogate, which has no UTF-8 form,
// takes the three bytes ED A0-BF 80-BF its code point would, and is one
// character.
#pragma once

#include <cstddef>
#include <cstdint>

enum TextEncoding : uint8_t {
    TEXT_CP932,
    TEXT_UTF8,
    // A UTF-16 text in its UTF-8 form: searched as UTF-8, with the UTF-8
    // matcher, and cut into pieces by the widened rule.
    TEXT_UTF16,
};
constexpr int TEXT_ENCODINGS = 3;

// Byte classes of code page 932: bit 0 lead byte, bit 1 trail byte.
extern const uint8_t CP932_CLASS[256];

inline bool isCp932Lead(unsigned char byte) {
    return (CP932_CLASS[byte] & 1) != 0;
}

inline bool isCp932Trail(unsigned char byte) {
    return (CP932_CLASS[byte] & 2) != 0;
}

// The length of the well-formed UTF-8 sequence that starts `bytes`, of which
// `available` bytes may be read; 0 when none does (an ASCII byte gives 1).
// Reads no byte past the first that breaks the sequence. A sequence cut by
// `available` gives 0 unless `cutIsWellFormed`, which then gives the length
// of the whole sequence it would be.
int utf8SequenceLength(const unsigned char* bytes, size_t available, bool cutIsWellFormed = false);

// utf8SequenceLength widened to a lone surrogate's three bytes, the UTF-8
// form of a UTF-16 text.
int generalisedSequenceLength(const unsigned char* bytes, size_t available,
                              bool cutIsWellFormed = false);

// Whether `length` bytes of text are well-formed UTF-8 throughout; a sequence
// cut by the end counts as well-formed when `cutIsWellFormed`.
bool isWellFormedUtf8(const unsigned char* text, size_t length, bool cutIsWellFormed);

// Whether a keyword, walked as code page 932 characters, ends with a lead
// byte that starts a character: in a text that byte pairs with a trail byte
// that follows, so the keyword then ends inside a character.
bool endsWithLoneLead(const unsigned char* keyword, int length);

// Whether position `at` of a code page 932 text begins a character, given
// that `known` (at most `at`) does. Reads bytes known .. at only: back from
// `at` over lead bytes until one that is not, or `known`. The lead bytes just
// before `at` pair up from the first of them, which begins a character: the
// byte before it is not a lead byte and so ends one (or it is `known`).
// When they are odd in number the last one begins a character, which takes
// the byte at `at` only if that is a trail byte.
inline bool beginsCp932Character(const unsigned char* text, size_t known, size_t at) {
    size_t from = at;
    while (from > known && isCp932Lead(text[from - 1])) {
        --from;
    }
    return ((at - from) & 1) == 0 || !isCp932Trail(text[at]);
}

// A piece of `limit` bytes or more that holds no LF ends after `limit` bytes,
// or sooner when that would cut a character: the length it takes. `text`
// begins a character; `available` bytes of it may be read (at least
// `limit`), and when fewer than limit + 3, the text ends there.
size_t pieceLengthAtLimit(const unsigned char* text, size_t limit, size_t available,
                          TextEncoding encoding);

// Bytes past `limit` that pieceLengthAtLimit may need before the text's end.
constexpr size_t PIECE_DECISION_BYTES = 3;

// The UTF-8 form of `length` bytes of code page 932: each character as
// Windows maps it (MultiByteToWideChar with MB_ERR_INVALID_CHARS), into
// `utf8` (capacity bytes; three for each byte of code page 932 suffice).
// Fails unless every byte belongs to a character Windows maps: a lone lead
// byte or an unassigned code has no form. Given `unmapped`, such a
// character is written as those bytes instead (empty: left out).
bool cp932ToUtf8(const unsigned char* bytes, int length, char* utf8, size_t capacity,
                 size_t* utf8Length, const char* unmapped = nullptr);

// The code page 932 form of `length` bytes of UTF-8, exactly as Windows
// converts it without best fit (WideCharToMultiByte with
// WC_NO_BEST_FIT_CHARS): each character only into the code that converts
// back into it, into `bytes` (capacity bytes; as many as the UTF-8's
// suffice). Fails unless the text is well-formed and every character has
// such a code: é, ©, an emoji, U+2212 (whose look-alike U+FF0D is 81 7C)
// have none.
bool utf8ToCp932(const unsigned char* utf8, size_t length, char* bytes, size_t capacity,
                 size_t* bytesLength);
