// One code page 932 character in UTF-8, by the system's own table: the
// conversion a UTF-8 text is searched with, so every platform must give the
// bytes Windows gives.
#pragma once

#include <cstddef>

// Converts one character of `length` bytes (1, or 2 for a lead byte and a
// trail byte) into at most four bytes of UTF-8 at `utf8`, setting
// *utf8Length. Fails for a code the system's table does not map.
bool platformCp932CharacterToUtf8(const char* bytes, size_t length, char* utf8, size_t* utf8Length);
