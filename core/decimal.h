// Decimal numbers typed by people: the settings file's number lines and the
// entry editor's size field.
#pragma once

#include <cstdint>

// The integer value of `text` as the C library's atoi reads it: leading white
// space (space, tab, LF, VT, FF, CR), an optional sign, then decimal digits;
// anything after them is ignored ("12pt" is 12) and no digits give 0
// ("pt12" is 0). Values beyond 32 bits are held to INT32_MIN or INT32_MAX,
// never wrapped, however many digits follow. `text` is zero-terminated.
int32_t parseDecimal(const char* text);
