// Overview: each direction has a fast loop for the middle of its input,
// where at least a pair of units (four bytes of UTF-8) is in reach and the
// output has room for any character, so that no unit or character needs a
// check of either: runs of ASCII go eight bytes of UTF-16 at a time, other
// characters one at a time until the next ASCII one. Near either end a
// careful loop takes over, which also decides what waits for more input.
#include "core/utf16.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/characters.h"

namespace {

template <bool BIG> inline unsigned unitAt(const unsigned char* raw) {
    return BIG ? (raw[0] << 8) | raw[1] : (raw[1] << 8) | raw[0];
}

template <bool BIG> inline void putUnit(unsigned char* out, unsigned unit) {
    out[BIG ? 0 : 1] = static_cast<unsigned char>(unit >> 8);
    out[BIG ? 1 : 0] = static_cast<unsigned char>(unit & 0xFF);
}

#if !defined(__SSE2__)
// Without SSE2, eight bytes at a time as one word.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool HOST_BIG_ENDIAN = true;
#else
constexpr bool HOST_BIG_ENDIAN = false;
#endif

// Over eight bytes of units read as one word: the bits that are zero
// exactly when they hold four units of ASCII.
template <bool BIG> constexpr uint64_t asciiUnitsMask() {
    return BIG == HOST_BIG_ENDIAN ? 0xFF80FF80FF80FF80ull : 0x80FF80FF80FF80FFull;
}

// Four bytes, the low half of `bytes`, each in the low byte of a 16-bit
// lane of the result.
inline uint64_t spreadFour(uint64_t bytes) {
    bytes &= 0xFFFFFFFFull;
    bytes = (bytes | (bytes << 16)) & 0x0000FFFF0000FFFFull;
    return (bytes | (bytes << 8)) & 0x00FF00FF00FF00FFull;
}

// Eight bytes of ASCII, read as one word, as eight units at `out`.
template <bool BIG>
inline void putAsciiUnits(unsigned char* out, uint64_t word, const unsigned char* bytes) {
    if (!HOST_BIG_ENDIAN) {
        // A unit's low byte comes first in little-endian order, second in
        // big-endian order.
        const unsigned shift = BIG ? 8 : 0;
        const uint64_t first = spreadFour(word) << shift;
        const uint64_t second = spreadFour(word >> 32) << shift;
        std::memcpy(out, &first, sizeof first);
        std::memcpy(out + 8, &second, sizeof second);
        return;
    }
    for (size_t k = 0; k < 8; ++k) {
        putUnit<BIG>(out + 2 * k, bytes[k]);
    }
}
#endif

// Writes `code` (below 0x110000) in UTF-8 at `to`; returns its length. A
// lone surrogate takes the form of any code point below 0x10000.
inline size_t putUtf8(unsigned char* to, uint32_t code) {
    if (code < 0x80) {
        to[0] = static_cast<unsigned char>(code);
        return 1;
    }
    if (code < 0x800) {
        to[0] = static_cast<unsigned char>(0xC0 | (code >> 6));
        to[1] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        return 2;
    }
    if (code < 0x10000) {
        to[0] = static_cast<unsigned char>(0xE0 | (code >> 12));
        to[1] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
        to[2] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        return 3;
    }
    to[0] = static_cast<unsigned char>(0xF0 | (code >> 18));
    to[1] = static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3F));
    to[2] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
    to[3] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    return 4;
}

inline size_t utf8Length(uint32_t code) {
    return code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
}

// The code point of a pair, or of a single unit (*units 2) when the unit
// after it (`next`, if `hasNext`) does not complete a pair.
inline uint32_t codeOf(uint32_t unit, bool hasNext, unsigned next, size_t* units) {
    *units = 2;
    if (unit >= 0xD800 && unit <= 0xDBFF && hasNext && next >= 0xDC00 && next <= 0xDFFF) {
        *units = 4;
        return 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
    }
    return unit;
}

// Stores the bytes of the ASCII units at `raw` up to the first unit that is
// not (at most 8; readable, and room for 8 bytes), and returns how many.
template <bool BIG> inline size_t putAsciiBytes(const unsigned char* raw, unsigned char* out) {
#if defined(__SSE2__)
    // All eight stored; those past the run are written over.
    __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw));
    if (BIG) {
        units = _mm_or_si128(_mm_slli_epi16(units, 8), _mm_srli_epi16(units, 8));
    }
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(units, units));
    const __m128i high = _mm_and_si128(units, _mm_set1_epi16(static_cast<short>(0xFF80)));
    // Two bits a unit, set for ASCII.
    const unsigned ascii =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())));
    return ascii == 0xFFFF ? 8 : static_cast<size_t>(__builtin_ctz(~ascii)) / 2;
#else
    for (size_t half = 0; half < 8; half += 4) {
        uint64_t word;
        std::memcpy(&word, raw + 2 * half, sizeof word);
        if ((word & asciiUnitsMask<BIG>()) != 0) {
            size_t ascii = half;
            while (unitAt<BIG>(raw + 2 * ascii) < 0x80) {
                out[ascii] = static_cast<unsigned char>(unitAt<BIG>(raw + 2 * ascii));
                ++ascii;
            }
            return ascii;
        }
        for (size_t k = 0; k < 4; ++k) {
            out[half + k] = raw[2 * (half + k) + (BIG ? 1 : 0)];
        }
    }
    return 8;
#endif
}

template <bool BIG>
size_t decodeIn(const unsigned char* raw, size_t length, bool final, unsigned char* out,
                size_t capacity, size_t* taken) {
    size_t i = 0;
    size_t o = 0;
    while (i + 16 <= length && o + 8 <= capacity) {
        const size_t ascii = putAsciiBytes<BIG>(raw + i, out + o);
        i += 2 * ascii;
        o += ascii;
        // Then other characters until the next ASCII one.
        while (i + 4 <= length && o + 4 <= capacity) {
            const uint32_t unit = unitAt<BIG>(raw + i);
            if (unit < 0x80) {
                break;
            }
            size_t units;
            o += putUtf8(out + o, codeOf(unit, true, unitAt<BIG>(raw + i + 2), &units));
            i += units;
        }
    }
    while (i + 2 <= length) {
        const uint32_t unit = unitAt<BIG>(raw + i);
        const bool hasNext = i + 4 <= length;
        if (!hasNext && !final && unit >= 0xD800 && unit <= 0xDBFF) {
            break; // the unit after it decides
        }
        size_t units;
        const uint32_t code = codeOf(unit, hasNext, hasNext ? unitAt<BIG>(raw + i + 2) : 0, &units);
        if (capacity - o < utf8Length(code)) {
            break;
        }
        o += putUtf8(out + o, code);
        i += units;
    }
    *taken = i;
    return o;
}

// The character of widened UTF-8 at `text` (`left` bytes there), its code
// point, or U+FFFD for a byte that begins none; *length gets its bytes.
inline uint32_t characterAt(const unsigned char* text, size_t left, size_t* length) {
    const unsigned char first = text[0];
    if (first < 0x80) {
        *length = 1;
        return first;
    }
    // The common forms in line, the rest by the rule in full. ED A0-BF, a
    // lone surrogate's form, is a character too.
    if (first >= 0xE1 && first <= 0xEF && left >= 3 && (text[1] & 0xC0) == 0x80 &&
        (text[2] & 0xC0) == 0x80) {
        *length = 3;
        return ((first & 0x0Fu) << 12) | ((text[1] & 0x3Fu) << 6) | (text[2] & 0x3Fu);
    }
    const int sequence = generalisedSequenceLength(text, left);
    if (sequence == 0) {
        *length = 1;
        return 0xFFFD;
    }
    uint32_t code = first & (0x7Fu >> sequence);
    for (int k = 1; k < sequence; ++k) {
        code = (code << 6) | (text[k] & 0x3Fu);
    }
    *length = static_cast<size_t>(sequence);
    return code;
}

template <bool BIG> inline size_t putUtf16(unsigned char* out, uint32_t code) {
    if (code < 0x10000) {
        putUnit<BIG>(out, code);
        return 2;
    }
    putUnit<BIG>(out, 0xD800 + ((code - 0x10000) >> 10));
    putUnit<BIG>(out + 2, 0xDC00 + ((code - 0x10000) & 0x3FF));
    return 4;
}

// Stores the units of the ASCII at `text` up to its first byte that is not
// (at most 16; readable and room for 16 units), and returns how many.
template <bool BIG> inline size_t putAsciiRun(const unsigned char* text, unsigned char* out) {
#if defined(__SSE2__)
    // All sixteen stored; those past the run are written over.
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
    const __m128i zero = _mm_setzero_si128();
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     BIG ? _mm_unpacklo_epi8(zero, bytes) : _mm_unpacklo_epi8(bytes, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16),
                     BIG ? _mm_unpackhi_epi8(zero, bytes) : _mm_unpackhi_epi8(bytes, zero));
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(bytes));
    return high == 0 ? 16 : static_cast<size_t>(__builtin_ctz(high));
#else
    for (size_t half = 0; half < 16; half += 8) {
        uint64_t word;
        std::memcpy(&word, text + half, sizeof word);
        if ((word & 0x8080808080808080ull) != 0) {
            size_t ascii = half;
            while (text[ascii] < 0x80) {
                putUnit<BIG>(out + 2 * ascii, text[ascii]);
                ++ascii;
            }
            return ascii;
        }
        putAsciiUnits<BIG>(out + 2 * half, word, text + half);
    }
    return 16;
#endif
}

template <bool BIG>
size_t encodeIn(const unsigned char* text, size_t length, unsigned char* out, size_t capacity,
                size_t* taken) {
    size_t i = 0;
    size_t o = 0;
    while (i + 16 <= length && o + 32 <= capacity) {
        const size_t ascii = putAsciiRun<BIG>(text + i, out + o);
        i += ascii;
        o += 2 * ascii;
        // Then characters until the next ASCII one: those of three bytes,
        // kana and kanji, in line.
        while (i + 4 <= length && o + 4 <= capacity) {
            const unsigned first = text[i];
            if (first < 0x80) {
                break;
            }
            const unsigned second = text[i + 1];
            const unsigned third = text[i + 2];
            if (first - 0xE1 <= 0xEF - 0xE1 &&
                ((second & 0xC0) | ((third & 0xC0) << 8)) == 0x8080) {
                putUnit<BIG>(out + o,
                             ((first & 0x0F) << 12) | ((second & 0x3F) << 6) | (third & 0x3F));
                o += 2;
                i += 3;
                continue;
            }
            size_t n;
            o += putUtf16<BIG>(out + o, characterAt(text + i, length - i, &n));
            i += n;
        }
    }
    while (i < length && capacity - o >= 4) {
        size_t n;
        o += putUtf16<BIG>(out + o, characterAt(text + i, length - i, &n));
        i += n;
    }
    *taken = i;
    return o;
}

} // namespace

size_t decodeUtf16(const unsigned char* raw, size_t length, bool bigEndian, bool final,
                   unsigned char* out, size_t capacity, size_t* taken) {
    return bigEndian ? decodeIn<true>(raw, length, final, out, capacity, taken)
                     : decodeIn<false>(raw, length, final, out, capacity, taken);
}

size_t encodeUtf16(const unsigned char* text, size_t length, bool bigEndian, unsigned char* out,
                   size_t capacity, size_t* taken) {
    return bigEndian ? encodeIn<true>(text, length, out, capacity, taken)
                     : encodeIn<false>(text, length, out, capacity, taken);
}

size_t wholeUtf8Length(const unsigned char* text, size_t length) {
    size_t start = length;
    while (start > 0 && length - start < 3 && (text[start - 1] & 0xC0) == 0x80) {
        --start;
    }
    if (start == 0 || text[start - 1] < 0xC0) {
        return length;
    }
    --start;
    const int sequence = generalisedSequenceLength(text + start, length - start, true);
    return start + static_cast<size_t>(sequence) > length ? start : length;
}
