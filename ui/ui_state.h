// State the main window shares with the entry editor, in static storage.
#pragma once

#include <cstdint>

// The list's selection as read at the start of the latest command; -1 when
// no row is selected.
extern int32_t selectedRow;

// The keyword of the row about to be inserted: the editor fills it when it
// stores an entry, the main window then inserts it into the list. One byte
// more than the longest keyword the table keeps.
constexpr int LIST_TEXT_SIZE = 512;
extern char listText[LIST_TEXT_SIZE];
extern bool listTextUtf8; // listText is a keyword kept in UTF-8

// Clears listText and puts the keyword into it, cut to fit.
void setListText(const char* keyword, bool keptUtf8 = false);
