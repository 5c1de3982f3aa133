// File paths in the platform's own form. Windows names files in UTF-16, and
// only the wide calls reach every name without a lossy conversion through the
// ANSI code page; elsewhere a path is bytes. The conversion core handles
// paths only as zero-terminated arrays of PathChar and never converts them.
#pragma once

#include <cstddef>

// A path of at most 255 units and its terminator: bytes natively, UTF-16
// units on Windows, so that every name that fitted as bytes still fits.
constexpr int PATH_SLOT = 256;
constexpr int MAX_PATH_LENGTH = PATH_SLOT - 1;

// Units a full path may take, terminator included: Windows paths reach
// 32767 units in the "\\?\" form; POSIX systems stop at PATH_MAX.
#ifdef _WIN32
constexpr size_t FULL_PATH_CAPACITY = 32768;
#else
constexpr size_t FULL_PATH_CAPACITY = 4096;
#endif

#ifdef _WIN32
using PathChar = wchar_t;
#define TINTMARK_WIDEN(text) L##text
#define PATH_TEXT(text) TINTMARK_WIDEN(text)
#else
using PathChar = char;
#define PATH_TEXT(text) text
#endif

// Whether a unit separates a path's components.
inline bool isPathSeparator(PathChar c) {
#ifdef _WIN32
    return c == L'\\' || c == L'/';
#else
    return c == '/';
#endif
}

// Whether a unit continues the character before it (the second unit of a
// UTF-16 pair, a continuation byte of UTF-8), so that a name cut before it
// would split that character.
inline bool continuesCharacter(PathChar c) {
#ifdef _WIN32
    return c >= 0xDC00 && c <= 0xDFFF;
#else
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
#endif
}

// Units before the terminator, looking at no more than `limit` units.
inline size_t pathLength(const PathChar* path, size_t limit) {
    size_t length = 0;
    while (length < limit && path[length] != 0) {
        ++length;
    }
    return length;
}
