// Code page 932 to UTF-8 and back through the system's own table, by way of
// UTF-16.
#include "platform/code_page.h"

#include <windows.h>

bool platformCp932CharacterToUtf8(const char* bytes, size_t length, char* utf8,
                                  size_t* utf8Length) {
    *utf8Length = 0;
    if (length < 1 || length > 2) {
        return false;
    }
    wchar_t wide[2];
    const int units =
        MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(length), wide, 2);
    if (units <= 0) {
        return false;
    }
    const int written = WideCharToMultiByte(CP_UTF8, 0, wide, units, utf8, 4, nullptr, nullptr);
    if (written <= 0) {
        return false;
    }
    *utf8Length = static_cast<size_t>(written);
    return true;
}

bool platformUtf8CharacterToCp932(const char* utf8, size_t length, char* bytes,
                                  size_t* bytesLength) {
    *bytesLength = 0;
    if (length < 1 || length > 4) {
        return false;
    }
    wchar_t wide[2];
    const int units =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, static_cast<int>(length), wide, 2);
    if (units <= 0) {
        return false;
    }
    BOOL lossy = FALSE;
    const int written =
        WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide, units, bytes, 2, nullptr, &lossy);
    if (written <= 0 || lossy) {
        return false;
    }
    *bytesLength = static_cast<size_t>(written);
    return true;
}
