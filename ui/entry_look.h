// How an entry looks on screen: its keyword in its four styles and its
// colour. The list's rows and the editor's sample draw it the same way; the
// font size is never drawn, so that every row keeps one height.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/decoration_table.h"

struct EntryLook {
    int32_t style; // STYLE_* bits
    bool coloured;
    COLORREF colour; // meaningful when coloured
};

// The colour a colour text stands for when the bytes the table keeps of it
// (its first six) are six hex digits, RRGGBB; false for anything else:
// NO_COLOUR, "F00", "#FF0000" (kept as "#FF000").
bool colourOfText(const char* text, COLORREF* colour);
// The same for a field's UTF-16 text.
bool colourOfField(const wchar_t* text, COLORREF* colour);
// RRGGBB in upper case: seven units with the terminator.
void colourDigits(COLORREF colour, wchar_t* digits);

EntryLook lookOf(const DecorationEntry& entry);
// A look packed into a list row's item data, and back.
LPARAM packLook(const EntryLook& look);
EntryLook unpackLook(ULONG_PTR data);

// One font for each combination of the four style bits, made from the
// control's font when first needed and made again when that font changes
// (a move to a screen of another DPI gives the controls new fonts).
struct StyleFonts {
    HFONT base;
    HFONT fonts[16];
};
HFONT styleFont(StyleFonts* fonts, HFONT base, int32_t style);
void releaseStyleFonts(StyleFonts* fonts);

// Draws `text` on one line, vertically centred in `rect`, in the look's
// styles; in its colour unless `textColour` is given (not CLR_INVALID).
void drawLook(HDC dc, const RECT& rect, const wchar_t* text, const EntryLook& look,
              StyleFonts* fonts, HFONT base, COLORREF textColour);
