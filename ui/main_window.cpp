// The main window's dialog procedure. The list shows the decoration table
// newest first: row r stands for table index count - 1 - r. Every change to
// the table made here or in the editor is mirrored in the list at once, so
// the two always hold the same entries in the same order.
#include "ui/main_window.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "core/decoration_table.h"
#include "core/diagnostics.h"
#include "core/file_batch.h"
#include "platform/platform.h"
#include "resource_ids.h"
#include "settings/settings_file.h"
#include "settings/settings_save.h"
#include "ui/app_instance.h"
#include "ui/cp932_text.h"
#include "ui/entry_editor.h"
#include "ui/save_failure_box.h"
#include "ui/ui_state.h"

int32_t selectedRow = -1;
char listText[LIST_TEXT_SIZE];
bool listTextUtf8;

void setListText(const char* keyword, bool keptUtf8) {
    std::memset(listText, 0, sizeof listText);
    std::snprintf(listText, sizeof listText, "%s", keyword);
    listTextUtf8 = keptUtf8;
}

void runMainWindow() {
    DialogBoxParamW(appInstance, MAKEINTRESOURCEW(IDD_MAIN_WINDOW), nullptr, MainWindow, 0);
}

static LRESULT sendToList(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageW(GetDlgItem(window, IDC_KEYWORD_LIST), message, wParam, lParam);
}

// Inserts listText, a keyword's bytes, as the text of row `row`.
static void insertRow(HWND window, int32_t row) {
    static wchar_t text[LIST_TEXT_SIZE];
    entryBytesToText(listText, listTextUtf8, text, LIST_TEXT_SIZE);
    sendToList(window, LB_INSERTSTRING, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text));
}

// Entries are inserted at row 0 in table order, so the newest ends on top;
// it is also the one left selected.
static void fillList(HWND window) {
    trace("Init Dialog\n");
    for (int32_t i = 0; i < decorationTable.count; ++i) {
        const DecorationEntry& entry = decorationTable.entries[i];
        setListText(entryText(entry), (entry.keptUtf8 & KEPT_KEYWORD) != 0);
        insertRow(window, 0);
        sendToList(window, LB_SETCURSEL, 0, 0);
    }
}

// True when the selected row stands for a live entry. With no selection
// rowToIndex would name the slot past the last entry.
static bool rowSelected() {
    const int32_t index = rowToIndex(selectedRow);
    return selectedRow >= 0 && index >= 0 && index < decorationTable.count;
}

static void newEntry(HWND window) {
    // A full table takes no more entries; the editor would have nowhere to
    // store one.
    if (decorationTable.count >= MAX_ENTRIES) {
        return;
    }
    if (DialogBoxParamW(appInstance, MAKEINTRESOURCEW(IDD_ENTRY_EDITOR), window, NewEntryEditor,
                        0) == IDOK) {
        // Inserting above the selection moves the selection down with its row.
        insertRow(window, 0);
    }
}

static void renewEntry(HWND window) {
    if (!rowSelected()) {
        return;
    }
    if (DialogBoxParamW(appInstance, MAKEINTRESOURCEW(IDD_ENTRY_EDITOR), window, RenewEntryEditor,
                        0) == IDOK) {
        // Deleting the selected row clears the selection; the new row is
        // not selected again.
        sendToList(window, LB_DELETESTRING, static_cast<WPARAM>(selectedRow), 0);
        insertRow(window, selectedRow);
    }
}

static void deleteEntry(HWND window) {
    if (!rowSelected() || !removeEntry(rowToIndex(selectedRow))) {
        return;
    }
    sendToList(window, LB_DELETESTRING, static_cast<WPARAM>(selectedRow), 0);
    InvalidateRect(window, nullptr, TRUE);
    // The row that followed the removed one takes its place and the
    // selection; past the last row this clears the selection.
    sendToList(window, LB_SETCURSEL, static_cast<WPARAM>(selectedRow), 0);
}

static void onCommand(HWND window, int id) {
    selectedRow = static_cast<int32_t>(sendToList(window, LB_GETCURSEL, 0, 0));
    trace("SelectPos = %d\n", selectedRow);
    switch (id) {
    case IDC_NEW:
        newEntry(window);
        break;
    case IDC_RENEW:
        renewEntry(window);
        break;
    case IDC_DELETE:
        deleteEntry(window);
        break;
    case IDC_LINE_BREAK_TAGS:
        decorationTable.lineBreakTags =
            SendDlgItemMessageW(window, IDC_LINE_BREAK_TAGS, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1
                                                                                               : 0;
        break;
    default:
        // IDCANCEL (Escape) among them: the window closes only by its close box.
        break;
    }
}

// Reads the path of dropped file `file` into batch slot `slot`, in UTF-16 as
// the drop holds it: the ANSI copy would be made with best-fit mapping. A
// path over 255 units is marked as such, never cut into the name of some
// other file.
static void readDroppedPath(HDROP drop, UINT file, int slot) {
    wchar_t path[PATH_SLOT];
    std::memset(path, 0, sizeof path);
    const UINT length = DragQueryFileW(drop, file, nullptr, 0);
    if (length < static_cast<UINT>(PATH_SLOT)) {
        DragQueryFileW(drop, file, path, PATH_SLOT);
        path[PATH_SLOT - 1] = L'\0';
    }
#ifdef TINTMARK_TRACE
    char shown[4 * PATH_SLOT];
    platformPathText(path, shown, sizeof shown);
    trace("%s\n", shown);
#endif
    if (length >= static_cast<UINT>(PATH_SLOT)) {
        markInputTooLong(slot);
    } else {
        setInputPath(slot, path); // marks a path of more than 255 units itself
    }
}

// Converts the dropped files in drop order, in successive batches of at most
// BATCH_SLOTS files. The drop is held until the last batch's paths have been
// read and is released before that batch is converted.
static void dropFiles(HDROP drop) {
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    trace("file cnt[%d]\n", static_cast<int>(count));
    if (count == 0) {
        DragFinish(drop);
        return;
    }
    for (UINT first = 0; first < count; first += BATCH_SLOTS) {
        const UINT left = count - first;
        const int32_t n = static_cast<int32_t>(left < BATCH_SLOTS ? left : BATCH_SLOTS);
        for (int32_t i = 0; i < n; ++i) {
            readDroppedPath(drop, first + static_cast<UINT>(i), i);
        }
        makeOutputPaths(n);
        if (first + static_cast<UINT>(n) >= count) {
            DragFinish(drop);
        }
        convertBatch(n);
    }
}

// The close request: the settings are saved and the window destroyed. When
// the save fails the user chooses to try again, to close without saving, or
// to go back to the window with the table and the list as they were. The
// keyword copies live until the window really closes.
// A close request that arrives while the message box is up (posted by some
// other program: the window itself is disabled) is ignored; the box's answer
// decides.
static void closeWindow(HWND window) {
    static bool asking = false;
    if (asking) {
        return;
    }
    bool closing = true;
    while (!saveSettings()) {
        asking = true;
        const SaveFailureChoice choice = askAfterFailedSave(window);
        asking = false;
        if (choice != SAVE_CHOICE_RETRY) {
            closing = choice == SAVE_CHOICE_DISCARD;
            break;
        }
    }
    if (closing) {
        releaseKeywords();
        DestroyWindow(window);
    }
}

INT_PTR CALLBACK MainWindow(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        fillList(window);
        CheckDlgButton(window, IDC_LINE_BREAK_TAGS,
                       decorationTable.lineBreakTags != 0 ? BST_CHECKED : BST_UNCHECKED);
        DragAcceptFiles(window, TRUE);
        // The dialog manager puts the focus on the list, the first control.
        return TRUE;
    case WM_COMMAND:
        onCommand(window, LOWORD(wParam));
        return FALSE;
    case WM_DROPFILES:
        dropFiles(reinterpret_cast<HDROP>(wParam));
        return FALSE;
    case WM_PAINT:
        trace("Paint\n");
        return FALSE;
    case WM_CLOSE:
        closeWindow(window);
        return FALSE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return FALSE;
    default:
        return FALSE;
    }
}
