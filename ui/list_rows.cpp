#include "ui/list_rows.h"

#include "ui/cp932_text.h"
#include "ui/ui_state.h"

void insertRow(HWND list, int32_t row, const char* keyword, const DecorationEntry& entry) {
    wchar_t text[LIST_TEXT_SIZE];
    entryBytesToText(keyword, (entry.keptUtf8 & KEPT_KEYWORD) != 0, text, LIST_TEXT_SIZE);
    const LRESULT at = SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(row),
                                    reinterpret_cast<LPARAM>(text));
    if (at >= 0) {
        SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(at), packLook(lookOf(entry)));
        // Setting the data repaints nothing; a row drawn in between would
        // keep the plain look.
        RECT drawn{};
        if (SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(at),
                         reinterpret_cast<LPARAM>(&drawn)) != LB_ERR) {
            InvalidateRect(list, &drawn, TRUE);
        }
    }
}

static int lineHeight(HWND window, HFONT font) {
    HDC dc = GetDC(window);
    const HGDIOBJ before = SelectObject(dc, font != nullptr ? font : GetStockObject(SYSTEM_FONT));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, before);
    ReleaseDC(window, dc);
    return metrics.tmHeight > 0 ? metrics.tmHeight : 16;
}

// An owner-drawn list is measured once, when it is made, and keeps that
// height when it is given its font; so the height is set again from the
// font it has.
void fitRowHeight(HWND list) {
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0));
    SendMessageW(list, LB_SETITEMHEIGHT, 0, lineHeight(list, font));
    InvalidateRect(list, nullptr, TRUE);
}

// The list is measured before it has a font: the dialog's is the one it
// will get.
void measureRow(HWND dialog, MEASUREITEMSTRUCT* measure) {
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    measure->itemHeight = static_cast<UINT>(lineHeight(dialog, font));
}

// A selected row is drawn in the system's highlight colours with its entry's
// colour as a framed square at its right end.
void drawRow(const DRAWITEMSTRUCT& item, StyleFonts* fonts) {
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    if (item.itemID == static_cast<UINT>(-1)) {
        // An empty list gaining or losing the focus: the focus rectangle is
        // drawn by inverting, so the second draw removes it.
        if ((item.itemAction & ODA_FOCUS) != 0) {
            DrawFocusRect(dc, &rect);
        }
        return;
    }
    // Every other change draws the whole row, so that nothing depends on
    // what was there before.
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &rect, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const EntryLook look = unpackLook(item.itemData);
    const int height = rect.bottom - rect.top;
    RECT textRect = rect;
    textRect.left += 2;
    if (selected && look.coloured && height > 6) {
        const int side = height - 4;
        RECT swatch = {rect.right - side - 2, rect.top + 2, rect.right - 2, rect.top + 2 + side};
        HBRUSH fill = CreateSolidBrush(look.colour);
        FillRect(dc, &swatch, fill);
        DeleteObject(fill);
        FrameRect(dc, &swatch, GetSysColorBrush(COLOR_HIGHLIGHTTEXT));
        textRect.right = swatch.left - 2;
    }
    wchar_t text[LIST_TEXT_SIZE + 1] = {};
    const LRESULT length = SendMessageW(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0);
    if (length >= 0 && length <= LIST_TEXT_SIZE) {
        SendMessageW(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(text));
    }
    const HFONT base = reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0));
    drawLook(dc, textRect, text, look, fonts, base,
             selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : CLR_INVALID);
    if ((item.itemState & ODS_FOCUS) != 0) {
        DrawFocusRect(dc, &rect);
    }
}
