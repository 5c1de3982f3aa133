// What the main window shares with the entry editor. The main window owns
// it and hands the editor a pointer through DialogBoxParamW's parameter;
// each dialog keeps its own state in its DWLP_USER slot.
#pragma once

#include <windows.h>

#include <cstdint>

// The keyword of the row about to be inserted: the editor fills it when it
// stores an entry, the main window then inserts it into the list. One byte
// more than the longest keyword the table keeps.
constexpr int LIST_TEXT_SIZE = 512;

// The colour dialog's row of custom colours.
constexpr int CUSTOM_COLOUR_COUNT = 16;

struct ListState {
    // The list's selection as read at the start of the latest command; -1
    // when no row is selected.
    int32_t selectedRow;
    char listText[LIST_TEXT_SIZE];
    // Kept from one editor to the next while the window is open.
    COLORREF customColours[CUSTOM_COLOUR_COUNT];
};

// Clears listText and puts the keyword into it, cut to fit.
void setListText(ListState* list, const char* keyword);

// The state a dialog procedure keeps in its DWLP_USER slot (null before
// WM_INITDIALOG has stored it).
template <typename State> State* dialogState(HWND dialog) {
    return reinterpret_cast<State*>(GetWindowLongPtrW(dialog, DWLP_USER));
}
