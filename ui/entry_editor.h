// The entry editor: the modal dialog (template 103) in which one decoration
// entry is typed. New mode adds an entry, Renew mode replaces the entry of
// the main window's selected row. Both end with IDOK after storing the entry
// and putting its keyword into the list state's listText, or with IDCANCEL
// having changed nothing. A sample shows the keyword as the entry would
// look, and a button beside the colour field opens the colour dialog.
#pragma once

#include <windows.h>

#include "ui/ui_state.h"

enum EditorMode { EDITOR_NEW, EDITOR_RENEW };

// Runs the editor over `owner`; returns how it ended (IDOK or IDCANCEL).
INT_PTR runEntryEditor(HWND owner, ListState* list, EditorMode mode);

// The dialog procedures; each takes its state as DialogBoxParamW's parameter.
INT_PTR CALLBACK NewEntryEditor(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK RenewEntryEditor(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
