// The keyword list's rows, drawn by the main window: each keyword in its
// entry's styles and colour. The list keeps its strings (LBS_HASSTRINGS),
// so LB_GETTEXT still gives every row's keyword; each row's item data holds
// how its entry looks, so that drawing never reads the table.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/decoration_table.h"
#include "ui/entry_look.h"

// Inserts `keyword` (the bytes `entry` keeps: code page 932, or the UTF-8 a
// settings file held) as row `row`, drawn as `entry`.
void insertRow(HWND list, int32_t row, const char* keyword, const DecorationEntry& entry);

// The rows' one height: a line of the list's font.
void fitRowHeight(HWND list);
void measureRow(HWND dialog, MEASUREITEMSTRUCT* measure);

void drawRow(const DRAWITEMSTRUCT& item, StyleFonts* fonts);
