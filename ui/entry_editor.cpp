// The entry editor's two dialog procedures. Fields are read in UTF-16 and
// reach the table as code page 932 bytes, whatever the system's ANSI code
// page. Nothing else is validated: the table keeps the first six bytes of
// the colour and cuts a keyword to MAX_KEYWORD_LENGTH bytes.
#include "ui/entry_editor.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include <commdlg.h>

#include <memory>

#include "core/decimal.h"
#include "core/decoration_table.h"
#include "core/diagnostics.h"
#include "resource_ids.h"
#include "ui/app_instance.h"
#include "ui/cp932_text.h"
#include "ui/entry_look.h"

// A field is read into a buffer of this size: at most 1023 bytes and a
// terminator.
constexpr int FIELD_BUFFER = 1024;

// What the sample shows while the keyword field is empty: サンプル.
static const char SAMPLE_WORD[] = "\x83\x54\x83\x93\x83\x76\x83\x8B";

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
    wchar_t text[FIELD_BUFFER];
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

// An editor's state, in its DWLP_USER slot.
struct EditorState {
    ListState* list;
    // Table index of the entry Renew mode is editing.
    int32_t editIndex;
    ShownEntry shown;
    EntryFields fields;
    StyleFonts sampleFonts;
};

// The style bits the four boxes give.
static int32_t boxedStyle(HWND dialog) {
    int32_t style = 0;
    for (int k = 0; k < STYLE_BOX_COUNT; ++k) {
        if (IsDlgButtonChecked(dialog, IDC_STYLE_FIRST + k) == BST_CHECKED) {
            style |= 1 << k;
        }
    }
    return style;
}

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
    wchar_t sizeText[FIELD_BUFFER];
    readFieldText(dialog, IDC_FONT_SIZE, sizeText);
    textToCp932Lossy(sizeText, fields->sizeText, FIELD_BUFFER);
    fields->size = parseDecimal(fields->sizeText);
    fields->style = boxedStyle(dialog);
    return true;
}

// After an entry has been stored: its keyword, as the table keeps it, goes
// to the main window's list.
static void reportStored(EditorState* state, const DecorationEntry& entry) {
    trace("[%d]:%s\n", entry.textSize, entryText(entry));
    setListText(state->list, entryText(entry));
}

static void showBytes(HWND dialog, int id, const char* bytes, bool keptUtf8, wchar_t* text,
                      char* keptBytes) {
    std::snprintf(keptBytes, FIELD_BUFFER, "%s", bytes);
    entryBytesToText(bytes, keptUtf8, text, FIELD_BUFFER);
    SetDlgItemTextW(dialog, id, text);
}

static void loadEntry(HWND dialog, ShownEntry* shown, const DecorationEntry& entry) {
    shown->keptUtf8 = entry.keptUtf8;
    showBytes(dialog, IDC_KEYWORD, entryText(entry), (entry.keptUtf8 & KEPT_KEYWORD) != 0,
              shown->keyword, shown->keywordBytes);
    showBytes(dialog, IDC_FONT_COLOUR, hasColour(entry) ? entry.colour : "",
              (entry.keptUtf8 & KEPT_COLOUR) != 0, shown->colour, shown->colourBytes);
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

static void storeNew(HWND dialog, EditorState* state) {
    EntryFields& fields = state->fields;
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
    reportStored(state, decorationTable.entries[decorationTable.count - 1]);
    EndDialog(dialog, IDOK);
}

static void storeRenewed(HWND dialog, EditorState* state) {
    EntryFields& fields = state->fields;
    if (!readFields(dialog, &state->shown, &fields)) {
        return;
    }
    if (!replaceEntry(state->editIndex, fields.keyword, fields.colour, fields.size, fields.style)) {
        EndDialog(dialog, IDCANCEL);
        return;
    }
    decorationTable.entries[state->editIndex].keptUtf8 = fields.keptUtf8;
    reportStored(state, decorationTable.entries[state->editIndex]);
    EndDialog(dialog, IDOK);
}

// The sample shows the keyword field's text, or a fixed word while it is
// empty; it is drawn from the fields whenever it is painted.
static void updateSample(HWND dialog) {
    wchar_t keyword[FIELD_BUFFER];
    readFieldText(dialog, IDC_KEYWORD, keyword);
    if (keyword[0] == L'\0') {
        cp932ToText(SAMPLE_WORD, keyword, FIELD_BUFFER);
    }
    HWND sample = GetDlgItem(dialog, IDC_SAMPLE);
    wchar_t shown[FIELD_BUFFER] = {};
    GetWindowTextW(sample, shown, FIELD_BUFFER);
    if (std::wcscmp(shown, keyword) != 0) {
        SetWindowTextW(sample, keyword);
    }
    InvalidateRect(sample, nullptr, TRUE);
}

static void drawSample(HWND dialog, EditorState* state, const DRAWITEMSTRUCT& item) {
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_WINDOW));
    wchar_t colour[FIELD_BUFFER];
    readFieldText(dialog, IDC_FONT_COLOUR, colour);
    EntryLook look{boxedStyle(dialog), false, 0};
    look.coloured = colourOfField(colour, &look.colour);
    wchar_t text[FIELD_BUFFER] = {};
    GetWindowTextW(item.hwndItem, text, FIELD_BUFFER);
    RECT area = item.rcItem;
    InflateRect(&area, -3, 0);
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0));
    drawLook(item.hDC, area, text, look, &state->sampleFonts, font, CLR_INVALID);
}

// The colour dialog, with its custom colours open, starting at the field's
// colour when there is one. OK writes the choice as RRGGBB; Cancel leaves the
// field as it was.
static void chooseColour(HWND dialog, EditorState* state) {
    wchar_t field[FIELD_BUFFER];
    readFieldText(dialog, IDC_FONT_COLOUR, field);
    CHOOSECOLORW choice{};
    choice.lStructSize = sizeof choice;
    choice.hwndOwner = dialog;
    choice.lpCustColors = state->list->customColours;
    choice.Flags = CC_FULLOPEN;
    if (colourOfField(field, &choice.rgbResult)) {
        choice.Flags |= CC_RGBINIT;
    }
    if (ChooseColorW(&choice)) {
        wchar_t digits[COLOUR_LENGTH + 1];
        colourDigits(choice.rgbResult, digits);
        SetDlgItemTextW(dialog, IDC_FONT_COLOUR, digits);
    }
}

// What both modes share: OK stores through `store`; Cancel (Escape among
// them) and the close request end with IDCANCEL, changing nothing. The
// sample follows every change of the keyword, the colour and the boxes.
static INT_PTR editorMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam,
                             void (*store)(HWND, EditorState*)) {
    EditorState* state = dialogState<EditorState>(dialog);
    if (state == nullptr) {
        return FALSE;
    }
    if (message == WM_DRAWITEM && wParam == IDC_SAMPLE) {
        drawSample(dialog, state, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    }
    if (message == WM_CLOSE) {
        EndDialog(dialog, IDCANCEL);
        return FALSE;
    }
    if (message != WM_COMMAND) {
        return FALSE;
    }
    const int id = LOWORD(wParam);
    if (id == IDOK) {
        store(dialog, state);
    } else if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
    } else if (id == IDC_CHOOSE_COLOUR) {
        chooseColour(dialog, state);
    } else if (((id == IDC_KEYWORD || id == IDC_FONT_COLOUR) && HIWORD(wParam) == EN_CHANGE) ||
               (id >= IDC_STYLE_FIRST && id < IDC_STYLE_FIRST + STYLE_BOX_COUNT)) {
        updateSample(dialog);
    }
    return FALSE;
}

static EditorState* startEditor(HWND dialog, LPARAM parameter) {
    SetWindowLongPtrW(dialog, DWLP_USER, parameter);
    return reinterpret_cast<EditorState*>(parameter);
}

INT_PTR CALLBACK NewEntryEditor(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        startEditor(dialog, lParam);
        for (int k = 0; k < STYLE_BOX_COUNT; ++k) {
            CheckDlgButton(dialog, IDC_STYLE_FIRST + k, BST_UNCHECKED);
        }
        updateSample(dialog);
        return TRUE;
    }
    return editorMessage(dialog, message, wParam, lParam, storeNew);
}

INT_PTR CALLBACK RenewEntryEditor(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        EditorState* state = startEditor(dialog, lParam);
        state->editIndex = rowToIndex(state->list->selectedRow);
        if (state->editIndex >= 0 && state->editIndex < decorationTable.count) {
            loadEntry(dialog, &state->shown, decorationTable.entries[state->editIndex]);
        }
        updateSample(dialog);
        return TRUE;
    }
    return editorMessage(dialog, message, wParam, lParam, storeRenewed);
}

INT_PTR runEntryEditor(HWND owner, ListState* list, EditorMode mode) {
    // Value-initialised: nothing shown yet, no fonts made.
    auto state = std::make_unique<EditorState>();
    state->list = list;
    const INT_PTR ended = DialogBoxParamW(appInstance, MAKEINTRESOURCEW(IDD_ENTRY_EDITOR), owner,
                                          mode == EDITOR_NEW ? NewEntryEditor : RenewEntryEditor,
                                          reinterpret_cast<LPARAM>(state.get()));
    releaseStyleFonts(&state->sampleFonts);
    return ended;
}
