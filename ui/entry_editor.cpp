// The entry editor's two dialog procedures. Fields are read in UTF-16 and
// reach the table as code page 932 bytes, whatever the system's ANSI code
// page. Nothing else is validated: the table keeps the first six bytes of
// the colour and cuts a keyword to MAX_KEYWORD_LENGTH bytes.
#include "ui/entry_editor.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "core/decimal.h"
#include "core/decoration_table.h"
#include "core/diagnostics.h"
#include "resource_ids.h"
#include "ui/cp932_text.h"
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
    uint8_t keptUtf8; // of the fields kept as shown, those kept in UTF-8
};

// A field's text as typed, in UTF-16.
static void readFieldText(HWND dialog, int id, wchar_t* text) {
    std::memset(text, 0, FIELD_BUFFER * sizeof(wchar_t));
    GetDlgItemTextW(dialog, id, text, FIELD_BUFFER);
    text[FIELD_BUFFER - 1] = L'\0';
}

// Puts the focus on a field and selects its text, so that what must be
// retyped is in view.
static void pointAtField(HWND dialog, int id) {
    HWND field = GetDlgItem(dialog, id);
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
    SendMessageW(field, EM_SETSEL, 0, -1);
}

// A text field read as code page 932 bytes. `kept` is the field's text as
// the editor showed it and `keptBytes` the bytes it stood for: while the text
// is unchanged those bytes are kept as they are, even where they have no
// exact UTF-16 form. A character that code page 932 cannot hold refuses the
// whole entry: the user hears a beep and finds the field selected.
static bool readBytesField(HWND dialog, int id, const wchar_t* kept, const char* keptBytes,
                           char* bytes, bool* untouched) {
    static wchar_t text[FIELD_BUFFER];
    readFieldText(dialog, id, text);
    std::memset(bytes, 0, FIELD_BUFFER);
    *untouched = kept != nullptr && std::wcscmp(text, kept) == 0;
    if (*untouched) {
        std::snprintf(bytes, FIELD_BUFFER, "%s", keptBytes);
        return true;
    }
    if (!textToCp932(text, bytes, FIELD_BUFFER)) {
        MessageBeep(MB_OK);
        pointAtField(dialog, id);
        return false;
    }
    return true;
}

// What Renew mode showed of its entry, to tell an untouched field.
struct ShownEntry {
    wchar_t keyword[FIELD_BUFFER];
    wchar_t colour[FIELD_BUFFER];
    char keywordBytes[FIELD_BUFFER];
    char colourBytes[FIELD_BUFFER];
    uint8_t keptUtf8;
};
static ShownEntry shown;

// Reads all fields; false, having told the user, when one cannot be stored.
static bool readFields(HWND dialog, const ShownEntry* untouched, EntryFields* fields) {
    bool keywordKept = false;
    bool colourKept = false;
    if (!readBytesField(dialog, IDC_KEYWORD, untouched ? untouched->keyword : nullptr,
                        untouched ? untouched->keywordBytes : nullptr, fields->keyword,
                        &keywordKept)) {
        return false;
    }
    trace("[%d]:%s\n", static_cast<int>(std::strlen(fields->keyword)), fields->keyword);
    if (!readBytesField(dialog, IDC_FONT_COLOUR, untouched ? untouched->colour : nullptr,
                        untouched ? untouched->colourBytes : nullptr, fields->colour,
                        &colourKept)) {
        return false;
    }
    // A field kept as shown keeps the UTF-8 its bytes may be in.
    fields->keptUtf8 = untouched == nullptr
                           ? 0
                           : untouched->keptUtf8 & ((keywordKept ? KEPT_KEYWORD : 0) |
                                                    (colourKept ? KEPT_COLOUR : 0));
    // Only digits count in the size, so a character with no code page 932
    // form stops the number like any other non-digit.
    static wchar_t sizeText[FIELD_BUFFER];
    readFieldText(dialog, IDC_FONT_SIZE, sizeText);
    textToCp932Lossy(sizeText, fields->sizeText, FIELD_BUFFER);
    fields->size = parseDecimal(fields->sizeText);
    fields->style = 0;
    for (int k = 0; k < STYLE_BOX_COUNT; ++k) {
        if (IsDlgButtonChecked(dialog, IDC_STYLE_FIRST + k) == BST_CHECKED) {
            fields->style |= 1 << k;
        }
    }
    return true;
}

// After an entry has been stored: its keyword, as the table keeps it, goes
// to the main window's list.
static void reportStored(const DecorationEntry& entry) {
    trace("[%d]:%s\n", entry.textSize, entryText(entry));
    setListText(entryText(entry), (entry.keptUtf8 & KEPT_KEYWORD) != 0);
}

static void showBytes(HWND dialog, int id, const char* bytes, bool keptUtf8, wchar_t* text,
                      char* keptBytes) {
    std::snprintf(keptBytes, FIELD_BUFFER, "%s", bytes);
    entryBytesToText(bytes, keptUtf8, text, FIELD_BUFFER);
    SetDlgItemTextW(dialog, id, text);
}

static void loadEntry(HWND dialog, const DecorationEntry& entry) {
    shown.keptUtf8 = entry.keptUtf8;
    showBytes(dialog, IDC_KEYWORD, entryText(entry), (entry.keptUtf8 & KEPT_KEYWORD) != 0,
              shown.keyword, shown.keywordBytes);
    showBytes(dialog, IDC_FONT_COLOUR, hasColour(entry) ? entry.colour : "",
              (entry.keptUtf8 & KEPT_COLOUR) != 0, shown.colour, shown.colourBytes);
    if (entry.size != 0) {
        wchar_t sizeText[16];
        std::swprintf(sizeText, 16, L"%d", static_cast<int>(entry.size));
        SetDlgItemTextW(dialog, IDC_FONT_SIZE, sizeText);
    }
    for (int k = 0; k < STYLE_BOX_COUNT; ++k) {
        CheckDlgButton(dialog, IDC_STYLE_FIRST + k,
                       (entry.style & (1 << k)) != 0 ? BST_CHECKED : BST_UNCHECKED);
    }
}

static void storeNew(HWND dialog) {
    static EntryFields fields;
    if (!readFields(dialog, nullptr, &fields)) {
        return;
    }
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
    if (!readFields(dialog, &shown, &fields)) {
        return;
    }
    if (!replaceEntry(editIndex, fields.keyword, fields.colour, fields.size, fields.style)) {
        EndDialog(dialog, IDCANCEL);
        return;
    }
    decorationTable.entries[editIndex].keptUtf8 = fields.keptUtf8;
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
