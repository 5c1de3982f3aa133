#include "core/characters.h"

#include <cstring>

#include "platform/code_page.h"

// Bit 0: lead byte (0x81-0x9F, 0xE0-0xFC); bit 1: trail byte (0x40-0x7E,
// 0x80-0xFC).
alignas(64) const uint8_t CP932_CLASS[256] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // 00
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // 10
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // 20
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // 30
    2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, // 40
    2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, // 50
    2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, // 60
    2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 0, // 70
    2, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, // 80
    3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, // 90
    2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, // A0
    2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, // B0
    2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, // C0
    2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, // D0
    3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, // E0
    3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 0, 0, 0, // F0
};

int utf8SequenceLength(const unsigned char* bytes, size_t available, bool cutIsWellFormed) {
    if (available == 0) {
        return 0;
    }
    const unsigned char first = bytes[0];
    if (first < 0x80) {
        return 1;
    }
    // The length a first byte announces, and the range its second byte must
    // fall in: narrower than 0x80-0xBF where that keeps out overlong forms
    // (E0, F0), surrogates (ED) and code points above U+10FFFF (F4).
    int length;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        low = first == 0xE0 ? 0xA0 : 0x80;
        high = first == 0xED ? 0x9F : 0xBF;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        low = first == 0xF0 ? 0x90 : 0x80;
        high = first == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0; // a continuation byte, C0, C1 or F5-FF
    }
    for (int i = 1; i < length; ++i) {
        if (static_cast<size_t>(i) >= available) {
            return cutIsWellFormed ? length : 0;
        }
        if (bytes[i] < low || bytes[i] > high) {
            return 0;
        }
        low = 0x80;
        high = 0xBF;
    }
    return length;
}

int generalisedSequenceLength(const unsigned char* bytes, size_t available, bool cutIsWellFormed) {
    const int length = utf8SequenceLength(bytes, available, cutIsWellFormed);
    if (length != 0 || bytes[0] != 0xED || available < 2 || bytes[1] < 0xA0 || bytes[1] > 0xBF) {
        return length;
    }
    if (available < 3) {
        return cutIsWellFormed ? 3 : 0;
    }
    return (bytes[2] & 0xC0) == 0x80 ? 3 : 0;
}

bool isWellFormedUtf8(const unsigned char* text, size_t length, bool cutIsWellFormed) {
    size_t i = 0;
    while (i < length) {
        if (text[i] < 0x80) {
            ++i;
            continue;
        }
        const int sequence = utf8SequenceLength(text + i, length - i, cutIsWellFormed);
        if (sequence == 0) {
            return false;
        }
        i += static_cast<size_t>(sequence);
    }
    return true;
}

bool endsWithLoneLead(const unsigned char* keyword, int length) {
    int i = 0;
    while (i < length) {
        if (isCp932Lead(keyword[i])) {
            if (i + 1 == length) {
                return true;
            }
            i += isCp932Trail(keyword[i + 1]) ? 2 : 1;
        } else {
            ++i;
        }
    }
    return false;
}

size_t pieceLengthAtLimit(const unsigned char* text, size_t limit, size_t available,
                          TextEncoding encoding) {
    if (limit == 0) {
        return 0;
    }
    const size_t last = limit - 1;
    size_t cut = limit;
    if (encoding == TEXT_CP932) {
        if (available > limit && isCp932Lead(text[last]) && isCp932Trail(text[limit]) &&
            beginsCp932Character(text, 0, last)) {
            cut = last;
        }
    } else {
        // The character holding the last byte starts at the nearest byte
        // before it that is not a continuation byte, if that is at most
        // three back.
        size_t start = last;
        while (start > 0 && last - start < 3 && (text[start] & 0xC0) == 0x80) {
            --start;
        }
        if ((text[start] & 0xC0) != 0x80) {
            const int sequence = encoding == TEXT_UTF16
                                     ? generalisedSequenceLength(text + start, available - start)
                                     : utf8SequenceLength(text + start, available - start);
            if (start + static_cast<size_t>(sequence) > limit) {
                cut = start;
            }
        }
    }
    // A limit shorter than one character cannot keep it whole: the piece
    // takes the limit rather than nothing.
    return cut == 0 ? limit : cut;
}

// Single bytes that Windows maps outside the usual table, and that some
// systems' tables (iconv's, Wine's) refuse: U+0080 and U+F8F0 to U+F8F3.
static const char* windowsOnlyByte(unsigned char byte) {
    switch (byte) {
    case 0x80:
        return "\xC2\x80";
    case 0xA0:
        return "\xEF\xA3\xB0";
    case 0xFD:
        return "\xEF\xA3\xB1";
    case 0xFE:
        return "\xEF\xA3\xB2";
    case 0xFF:
        return "\xEF\xA3\xB3";
    default:
        return nullptr;
    }
}

bool cp932ToUtf8(const unsigned char* bytes, int length, char* utf8, size_t capacity,
                 size_t* utf8Length, const char* unmapped) {
    size_t written = 0;
    *utf8Length = 0;
    for (int i = 0; i < length;) {
        const unsigned char byte = bytes[i];
        char one[4];
        size_t oneLength = 0;
        int taken = 1;
        if (byte < 0x80) {
            one[0] = static_cast<char>(byte);
            oneLength = 1;
        } else if (const char* fixed = windowsOnlyByte(byte)) {
            oneLength = std::strlen(fixed);
            std::memcpy(one, fixed, oneLength);
        } else {
            // A lone lead byte is a character of its own, with no form.
            const bool pair = isCp932Lead(byte) && i + 1 < length && isCp932Trail(bytes[i + 1]);
            taken = pair ? 2 : 1;
            if ((!pair && isCp932Lead(byte)) ||
                !platformCp932CharacterToUtf8(reinterpret_cast<const char*>(bytes + i),
                                              static_cast<size_t>(taken), one, &oneLength)) {
                if (unmapped == nullptr) {
                    return false;
                }
                oneLength = std::strlen(unmapped);
                std::memcpy(one, unmapped, oneLength);
            }
        }
        if (written + oneLength > capacity) {
            return false;
        }
        std::memcpy(utf8 + written, one, oneLength);
        written += oneLength;
        i += taken;
    }
    *utf8Length = written;
    return true;
}

// The byte Windows alone maps to the character `utf8` (length bytes), if any.
static bool windowsOnlyCode(const unsigned char* utf8, int length, char* byte) {
    static const unsigned char BYTES[] = {0x80, 0xA0, 0xFD, 0xFE, 0xFF};
    for (const unsigned char candidate : BYTES) {
        const char* form = windowsOnlyByte(candidate);
        if (std::strlen(form) == static_cast<size_t>(length) &&
            std::memcmp(form, utf8, static_cast<size_t>(length)) == 0) {
            *byte = static_cast<char>(candidate);
            return true;
        }
    }
    return false;
}

bool utf8ToCp932(const unsigned char* utf8, size_t length, char* bytes, size_t capacity,
                 size_t* bytesLength) {
    size_t written = 0;
    *bytesLength = 0;
    for (size_t i = 0; i < length;) {
        const int sequence = utf8SequenceLength(utf8 + i, length - i);
        if (sequence == 0) {
            return false;
        }
        char code[2] = {static_cast<char>(utf8[i]), 0};
        size_t codeLength = 1;
        if (sequence > 1 && !windowsOnlyCode(utf8 + i, sequence, code)) {
            // Only the code that converts back into the character: a
            // system table that also maps a look-alike into a code (U+2212
            // into 81 7C, whose character is U+FF0D) best-fits it.
            char back[4];
            size_t backLength = 0;
            if (!platformUtf8CharacterToCp932(reinterpret_cast<const char*>(utf8 + i),
                                              static_cast<size_t>(sequence), code, &codeLength) ||
                !cp932ToUtf8(reinterpret_cast<const unsigned char*>(code),
                             static_cast<int>(codeLength), back, sizeof back, &backLength) ||
                backLength != static_cast<size_t>(sequence) ||
                std::memcmp(back, utf8 + i, backLength) != 0) {
                return false;
            }
        }
        if (written + codeLength > capacity) {
            return false;
        }
        std::memcpy(bytes + written, code, codeLength);
        written += codeLength;
        i += static_cast<size_t>(sequence);
    }
    *bytesLength = written;
    return true;
}
