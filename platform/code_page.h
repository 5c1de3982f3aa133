// One code page 932 character in UTF-8 and back, by the system's own table:
// the conversions a UTF-8 text is searched with and a UTF-8 settings file
// is read with, so every platform must give the bytes Windows gives.
#pragma once

#include <cstddef>

// Converts one character of `length` bytes (1, or 2 for a lead byte and a
// trail byte) into at most four bytes of UTF-8 at `utf8`, setting
// *utf8Length. Fails for a code the system's table does not map.
bool platformCp932CharacterToUtf8(const char* bytes, size_t length, char* utf8, size_t* utf8Length);

// Converts one character of UTF-8 (`length` bytes, well-formed) into at most
// two bytes of code page 932 at `bytes`, setting *bytesLength, without best
// fit. Fails for a character the system's table does not map. A table may
// also map a look-alike: the caller converts the code back to be sure.
bool platformUtf8CharacterToCp932(const char* utf8, size_t length, char* bytes,
                                  size_t* bytesLength);
