// The entry editor: the modal dialog (template 103) in which one decoration
// entry is typed. New mode adds an entry, Renew mode replaces the entry of
// the main window's selected row. Both end with IDOK after storing the entry
// and putting its keyword into listText, or with IDCANCEL having changed
// nothing.
#pragma once

#include <windows.h>

INT_PTR CALLBACK NewEntryEditor(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK RenewEntryEditor(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
