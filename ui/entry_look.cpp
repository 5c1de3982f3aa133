#include "ui/entry_look.h"

#include <cwchar>

// Hex digit value, or -1.
static int hexValue(unsigned ch) {
    if (ch >= '0' && ch <= '9') {
        return static_cast<int>(ch - '0');
    }
    if (ch >= 'a' && ch <= 'f') {
        return static_cast<int>(ch - 'a' + 10);
    }
    if (ch >= 'A' && ch <= 'F') {
        return static_cast<int>(ch - 'A' + 10);
    }
    return -1;
}

// Six hex digits in text[0 .. 5]; a shorter text stops at its terminator,
// which is no digit.
template <typename Unit> static bool sixDigits(const Unit* text, COLORREF* colour) {
    unsigned value = 0;
    for (int i = 0; i < COLOUR_LENGTH; ++i) {
        const int digit = hexValue(static_cast<unsigned>(text[i]));
        if (digit < 0) {
            return false;
        }
        value = value << 4 | static_cast<unsigned>(digit);
    }
    *colour = RGB(value >> 16 & 0xFF, value >> 8 & 0xFF, value & 0xFF);
    return true;
}

bool colourOfText(const char* text, COLORREF* colour) {
    return sixDigits(reinterpret_cast<const unsigned char*>(text), colour);
}

// Hex digits are single bytes in code page 932, so the field's first six
// units are the first six bytes the table would keep whenever they are
// digits.
bool colourOfField(const wchar_t* text, COLORREF* colour) {
    return sixDigits(text, colour);
}

void colourDigits(COLORREF colour, wchar_t* digits) {
    std::swprintf(digits, COLOUR_LENGTH + 1, L"%02X%02X%02X", GetRValue(colour), GetGValue(colour),
                  GetBValue(colour));
}

EntryLook lookOf(const DecorationEntry& entry) {
    EntryLook look{entry.style & 15, false, 0};
    look.coloured = colourOfText(entry.colour, &look.colour);
    return look;
}

// Bits 0-3 the style, bit 4 whether there is a colour, bits 8-31 the colour.
LPARAM packLook(const EntryLook& look) {
    const ULONG_PTR data = static_cast<ULONG_PTR>(look.style & 15) | (look.coloured ? 16u : 0u) |
                           static_cast<ULONG_PTR>(look.colour & 0xFFFFFF) << 8;
    return static_cast<LPARAM>(data);
}

EntryLook unpackLook(ULONG_PTR data) {
    return EntryLook{static_cast<int32_t>(data & 15), (data & 16) != 0,
                     static_cast<COLORREF>(data >> 8 & 0xFFFFFF)};
}

HFONT styleFont(StyleFonts* fonts, HFONT base, int32_t style) {
    if (base == nullptr) {
        base = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }
    if (fonts->base != base) {
        releaseStyleFonts(fonts);
        fonts->base = base;
    }
    HFONT& font = fonts->fonts[style & 15];
    if (font == nullptr) {
        LOGFONTW shape{};
        GetObjectW(base, sizeof shape, &shape);
        if ((style & STYLE_BOLD) != 0) {
            shape.lfWeight = FW_BOLD;
        }
        shape.lfItalic = (style & STYLE_ITALIC) != 0 ? TRUE : FALSE;
        shape.lfUnderline = (style & STYLE_UNDERLINE) != 0 ? TRUE : FALSE;
        shape.lfStrikeOut = (style & STYLE_STRIKE) != 0 ? TRUE : FALSE;
        font = CreateFontIndirectW(&shape);
    }
    return font != nullptr ? font : base;
}

void releaseStyleFonts(StyleFonts* fonts) {
    for (HFONT& font : fonts->fonts) {
        if (font != nullptr) {
            DeleteObject(font);
            font = nullptr;
        }
    }
    fonts->base = nullptr;
}

void drawLook(HDC dc, const RECT& rect, const wchar_t* text, const EntryLook& look,
              StyleFonts* fonts, HFONT base, COLORREF textColour) {
    if (textColour == CLR_INVALID) {
        textColour = look.coloured ? look.colour : GetSysColor(COLOR_WINDOWTEXT);
    }
    const HGDIOBJ before = SelectObject(dc, styleFont(fonts, base, look.style));
    SetTextColor(dc, textColour);
    SetBkMode(dc, TRANSPARENT);
    RECT area = rect;
    DrawTextW(dc, text, -1, &area,
              DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, before);
}
