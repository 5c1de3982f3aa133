#include "ui/cp932_text.h"

#include <cstring>
#include <cwchar>

constexpr UINT CP932 = 932;
// A field holds at most 1023 units of text; each takes at most two bytes.
constexpr int MOST_UNITS = 2048;

// The whole of the last text converted, before any cut.
static char whole[2 * MOST_UNITS + 2];
static wchar_t back[MOST_UNITS + 1];

// Bytes 0 .. length - 1 of code page 932 text, shortened so that they do not
// end in the first byte of a double-byte character.
static int wholeCharacters(const char* bytes, int length) {
    int at = 0;
    while (at < length) {
        const int size = IsDBCSLeadByteEx(CP932, static_cast<BYTE>(bytes[at])) ? 2 : 1;
        if (at + size > length) {
            break;
        }
        at += size;
    }
    return at;
}

// Converts `units` units of `text` whole into `whole`, then gives `bytes`
// as much of it as fits, so that a cut never lands inside a character.
// Returns the whole conversion's length.
static int convert(const wchar_t* text, int units, char* bytes, int capacity, BOOL* lossy) {
    bytes[0] = '\0';
    if (units == 0) {
        return 0;
    }
    const int length = WideCharToMultiByte(CP932, WC_NO_BEST_FIT_CHARS, text, units, whole,
                                           static_cast<int>(sizeof whole) - 1, "?", lossy);
    const int kept = wholeCharacters(whole, length < capacity - 1 ? length : capacity - 1);
    std::memcpy(bytes, whole, static_cast<size_t>(kept));
    bytes[kept] = '\0';
    return length;
}

static int unitsOf(const wchar_t* text) {
    const int length = static_cast<int>(std::wcslen(text));
    return length < MOST_UNITS ? length : MOST_UNITS;
}

bool textToCp932(const wchar_t* text, char* bytes, int capacity) {
    BOOL lossy = FALSE;
    const int units = unitsOf(text);
    const int length = convert(text, units, bytes, capacity, &lossy);
    // A character with no code page 932 form comes out as the default
    // character; where a system would still best-fit one, converting back
    // shows it.
    bool exact = lossy == FALSE;
    if (exact && length > 0) {
        const int backLength = MultiByteToWideChar(CP932, 0, whole, length, back, MOST_UNITS);
        exact = backLength == units &&
                std::memcmp(back, text, static_cast<size_t>(units) * sizeof(wchar_t)) == 0;
    }
    if (!exact) {
        bytes[0] = '\0';
    }
    return exact;
}

void textToCp932Lossy(const wchar_t* text, char* bytes, int capacity) {
    convert(text, unitsOf(text), bytes, capacity, nullptr);
}

void cp932ToText(const char* bytes, wchar_t* text, int capacity) {
    text[0] = L'\0';
    const int length = static_cast<int>(std::strlen(bytes));
    if (length == 0) {
        return;
    }
    const int units = MultiByteToWideChar(CP932, 0, bytes, length, text, capacity - 1);
    if (units > 0) {
        text[units] = L'\0';
        return;
    }
    // Too long for `text`: the part that fits.
    const int all = MultiByteToWideChar(CP932, 0, bytes, length < MOST_UNITS ? length : MOST_UNITS,
                                        back, MOST_UNITS);
    const int kept = all < capacity - 1 ? all : capacity - 1;
    std::memcpy(text, back, static_cast<size_t>(kept > 0 ? kept : 0) * sizeof(wchar_t));
    text[kept > 0 ? kept : 0] = L'\0';
}

void entryBytesToText(const char* bytes, bool keptUtf8, wchar_t* text, int capacity) {
    if (!keptUtf8) {
        cp932ToText(bytes, text, capacity);
        return;
    }
    text[0] = L'\0';
    const int length = static_cast<int>(std::strlen(bytes));
    const int units =
        length > 0 ? MultiByteToWideChar(CP_UTF8, 0, bytes, length, back, MOST_UNITS) : 0;
    const int kept = units < capacity - 1 ? units : capacity - 1;
    std::memcpy(text, back, static_cast<size_t>(kept > 0 ? kept : 0) * sizeof(wchar_t));
    text[kept > 0 ? kept : 0] = L'\0';
}
