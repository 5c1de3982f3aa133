#include "core/utf16.h"

#include <cstdint>
#include <cstring>

#include "core/characters.h"

namespace {

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool HOST_BIG_ENDIAN = true;
#else
constexpr bool HOST_BIG_ENDIAN = false;
#endif

// Over eight bytes read as one word: the bits that are zero exactly when
// they hold four units of ASCII, by whether the units' byte order is the
// machine's.
constexpr uint64_t ASCII_UNITS_SAME_ORDER = 0xFF80FF80FF80FF80ull;
constexpr uint64_t ASCII_UNITS_OTHER_ORDER = 0x80FF80FF80FF80FFull;

inline void putUnit(unsigned char* out, unsigned unit, bool bigEndian) {
    out[bigEndian ? 0 : 1] = static_cast<unsigned char>(unit >> 8);
    out[bigEndian ? 1 : 0] = static_cast<unsigned char>(unit & 0xFF);
}

inline unsigned unitAt(const unsigned char* raw, bool bigEndian) {
    return bigEndian ? (raw[0] << 8) | raw[1] : (raw[1] << 8) | raw[0];
}

} // namespace

size_t decodeUtf16(const unsigned char* raw, size_t length, bool bigEndian, bool final,
                   unsigned char* out, size_t capacity, size_t* taken) {
    const uint64_t asciiMask =
        bigEndian == HOST_BIG_ENDIAN ? ASCII_UNITS_SAME_ORDER : ASCII_UNITS_OTHER_ORDER;
    const size_t low = bigEndian ? 1 : 0;
    size_t i = 0;
    size_t o = 0;
    while (i + 2 <= length) {
        if (i + 8 <= length && o + 4 <= capacity) {
            uint64_t word;
            std::memcpy(&word, raw + i, sizeof word);
            if ((word & asciiMask) == 0) {
                out[o] = raw[i + low];
                out[o + 1] = raw[i + 2 + low];
                out[o + 2] = raw[i + 4 + low];
                out[o + 3] = raw[i + 6 + low];
                i += 8;
                o += 4;
                continue;
            }
        }
        uint32_t code = unitAt(raw + i, bigEndian);
        size_t units = 2;
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (i + 4 <= length) {
                const unsigned next = unitAt(raw + i + 2, bigEndian);
                if (next >= 0xDC00 && next <= 0xDFFF) {
                    code = 0x10000 + ((code - 0xD800) << 10) + (next - 0xDC00);
                    units = 4;
                }
            } else if (!final) {
                break; // the unit after it decides
            }
        }
        // A lone surrogate takes the form of any code point below 0x10000.
        const size_t n = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
        if (o + n > capacity) {
            break;
        }
        unsigned char* to = out + o;
        if (n == 1) {
            to[0] = static_cast<unsigned char>(code);
        } else if (n == 2) {
            to[0] = static_cast<unsigned char>(0xC0 | (code >> 6));
            to[1] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        } else if (n == 3) {
            to[0] = static_cast<unsigned char>(0xE0 | (code >> 12));
            to[1] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
            to[2] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        } else {
            to[0] = static_cast<unsigned char>(0xF0 | (code >> 18));
            to[1] = static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3F));
            to[2] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
            to[3] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        }
        i += units;
        o += n;
    }
    *taken = i;
    return o;
}

size_t encodeUtf16(const unsigned char* text, size_t length, bool bigEndian, unsigned char* out,
                   size_t capacity, size_t* taken) {
    const size_t low = bigEndian ? 1 : 0;
    size_t i = 0;
    size_t o = 0;
    while (i < length) {
        if (i + 8 <= length && o + 16 <= capacity) {
            uint64_t word;
            std::memcpy(&word, text + i, sizeof word);
            if ((word & 0x8080808080808080ull) == 0) {
                for (size_t k = 0; k < 8; ++k) {
                    out[o + 2 * k + low] = text[i + k];
                    out[o + 2 * k + 1 - low] = 0;
                }
                i += 8;
                o += 16;
                continue;
            }
        }
        const unsigned char first = text[i];
        uint32_t code = first;
        int n = 1;
        if (first >= 0x80) {
            n = generalisedSequenceLength(text + i, length - i);
            if (n == 0) {
                code = 0xFFFD;
                n = 1;
            } else {
                code = first & (0x7Fu >> n);
                for (int k = 1; k < n; ++k) {
                    code = (code << 6) | (text[i + static_cast<size_t>(k)] & 0x3Fu);
                }
            }
        }
        if (o + (code >= 0x10000 ? 4 : 2) > capacity) {
            break;
        }
        if (code >= 0x10000) {
            putUnit(out + o, 0xD800 + ((code - 0x10000) >> 10), bigEndian);
            putUnit(out + o + 2, 0xDC00 + ((code - 0x10000) & 0x3FF), bigEndian);
            o += 4;
        } else {
            putUnit(out + o, code, bigEndian);
            o += 2;
        }
        i += static_cast<size_t>(n);
    }
    *taken = i;
    return o;
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
