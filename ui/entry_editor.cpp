// The entry editor's two dialog procedures. Fields are read with the ANSI
// calls, so keyword and colour reach the table as code page 932 bytes, as
// typed. Nothing is validated: the table keeps the first six bytes of the
// colour and cuts a keyword to MAX_KEYWORD_LENGTH bytes.
#include "ui/entry_editor.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/decimal.h"
#include "core/decoration_table.h"
#include "core/diagnostics.h"
#include "resource_ids.h"
#include "ui/ui_state.h"

// A field is read into a buffer of this size: at most 1023 bytes and a
// terminator.
constexpr int FIELD_BUFFER = 1024;

// Table index of the entry Renew mode is editing.
static int32_t editIndex;

struct EntryFields {
    char keyword[FIELD_BUFFER];
    char colour[FIELD_BUFFER];
    char sizeText[FIELD_BUFFER];
    int32_t size;
    int32_t style;
};

static void readField(HWND dialog, int id, char* buffer) {
    std::memset(buffer, 0, FIELD_BUFFER);
    GetDlgItemTextA(dialog, id, buffer, FIELD_BUFFER);
    buffer[FIELD_BUFFER - 1] = '\0';
}

static void readFields(HWND dialog, EntryFields* fields) {
    readField(dialog, IDC_KEYWORD, fields->keyword);
    trace("[%d]:%s\n", static_cast<int>(std::strlen(fields->keyword)), fields->keyword);
    readField(dialog, IDC_FONT_COLOUR, fields->colour);
    readField(dialog, IDC_FONT_SIZE, fields->sizeText);
    fields->size = parseDecimal(fields->sizeText);
    fields->style = 0;
    for (int k = 0; k < STYLE_BOX_COUNT; ++k) {
        if (IsDlgButtonChecked(dialog, IDC_STYLE_FIRST + k) == BST_CHECKED) {
            fields->style |= 1 << k;
        }
    }
}

// After an entry has been stored: its keyword, as the table keeps it, goes
// to the main window's list.
static void reportStored(const DecorationEntry& entry) {
    trace("[%d]:%s\n", entry.textSize, entryText(entry));
    setListText(entryText(entry));
}

static void loadEntry(HWND dialog, const DecorationEntry& entry) {
    SetDlgItemTextA(dialog, IDC_KEYWORD, entryText(entry));
    if (hasColour(entry)) {
        SetDlgItemTextA(dialog, IDC_FONT_COLOUR, entry.colour);
    }
    if (entry.size != 0) {
        char sizeText[16];
        std::snprintf(sizeText, sizeof sizeText, "%d", entry.size);
        SetDlgItemTextA(dialog, IDC_FONT_SIZE, sizeText);
    }
    for (int k = 0; k < STYLE_BOX_COUNT; ++k) {
        CheckDlgButton(dialog, IDC_STYLE_FIRST + k,
                       (entry.style & (1 << k)) != 0 ? BST_CHECKED : BST_UNCHECKED);
    }
}

static void storeNew(HWND dialog) {
    static EntryFields fields;
    readFields(dialog, &fields);
    // The main window opens the editor only while the table has room; should
    // it be full all the same, the editor ends as if cancelled so that the
    // list gains no row.
    if (!addEntry(fields.keyword, fields.colour, fields.size, fields.style)) {
        EndDialog(dialog, IDCANCEL);
        return;
    }
    reportStored(decorationTable.entries[decorationTable.count - 1]);
    EndDialog(dialog, IDOK);
}

static void storeRenewed(HWND dialog) {
    static EntryFields fields;
    readFields(dialog, &fields);
    if (!replaceEntry(editIndex, fields.keyword, fields.colour, fields.size, fields.style)) {
        EndDialog(dialog, IDCANCEL);
        return;
    }
    reportStored(decorationTable.entries[editIndex]);
    EndDialog(dialog, IDOK);
}

// What both modes share: OK stores through `store`; Cancel (Escape among
// them) and the close request end with IDCANCEL, changing nothing.
static INT_PTR editorMessage(HWND dialog, UINT message, WPARAM wParam, void (*store)(HWND)) {
    const bool command = message == WM_COMMAND;
    if (command && LOWORD(wParam) == IDOK) {
        store(dialog);
    } else if ((command && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE) {
        EndDialog(dialog, IDCANCEL);
    }
    return FALSE;
}

INT_PTR CALLBACK NewEntryEditor(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        for (int k = 0; k < STYLE_BOX_COUNT; ++k) {
            CheckDlgButton(dialog, IDC_STYLE_FIRST + k, BST_UNCHECKED);
        }
        return TRUE;
    }
    return editorMessage(dialog, message, wParam, storeNew);
}

INT_PTR CALLBACK RenewEntryEditor(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        editIndex = rowToIndex(selectedRow);
        if (editIndex >= 0 && editIndex < decorationTable.count) {
            loadEntry(dialog, decorationTable.entries[editIndex]);
        }
        return TRUE;
    }
    return editorMessage(dialog, message, wParam, storeRenewed);
}
