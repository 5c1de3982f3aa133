// Keywords and colours cross the window's boundary here. The table holds
// code page 932 bytes whatever the system's ANSI code page is, while the
// controls hold UTF-16; the conversions name code page 932 explicitly and
// never best-fit a character into another one (é into e would make "e" a
// keyword that decorates every e in a file).
#pragma once

#include <windows.h>

// Code page 932 bytes of `text` into `bytes` (capacity bytes, terminator
// included), cut at a character boundary when they do not fit. False, with
// `bytes` empty, when the text holds a character code page 932 cannot hold.
bool textToCp932(const wchar_t* text, char* bytes, int capacity);

// The same, with '?' for a character code page 932 cannot hold: for text
// that is parsed, never stored.
void textToCp932Lossy(const wchar_t* text, char* bytes, int capacity);

// UTF-16 of code page 932 bytes into `text` (capacity units, terminator
// included), cut when it does not fit.
void cp932ToText(const char* bytes, wchar_t* text, int capacity);

// The same for a keyword or colour of the table: code page 932 bytes, or,
// when `keptUtf8`, the UTF-8 bytes a settings file held, shown as their
// characters too.
void entryBytesToText(const char* bytes, bool keptUtf8, wchar_t* text, int capacity);
