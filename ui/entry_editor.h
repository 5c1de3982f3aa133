// The entry editor: the modal dialog (template 103) in which one decoration
// entry is typed. New mode adds an entry, Renew mode replaces the entry of
// the main window's selected row. Both end with IDOK after storing the entry
// and putting its keyword into listText, or with IDCANCEL having changed
// nothing.
#pragma once

#include <windows.h>

#include <cstdint>

INT_PTR CALLBACK NewEntryEditor(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK RenewEntryEditor(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The integer value of a size field: leading white space, an optional sign
// and decimal digits; anything after them is ignored ("12pt" is 12), no
// digits give 0, and values beyond 32 bits are clamped.
int32_t parseSize(const char* text);
