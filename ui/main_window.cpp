// The main window's dialog procedure. The list shows the decoration table
// newest first: row r stands for table index count - 1 - r. Every change to
// the table made here or in the editor is mirrored in the list at once, so
// the two always hold the same entries in the same order.
//
// Dropped files, and files chosen through Convert, are converted on a second
// thread (ui/batch_run) while the window goes on answering. That thread
// reads the table, so until the batch ends nothing that changes the table
// or the option can run: those buttons are disabled, and any command that
// reaches the window all the same is refused.
#include "ui/main_window.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "core/decoration_table.h"
#include "core/diagnostics.h"
#include "resource_ids.h"
#include "settings/settings_file.h"
#include "settings/settings_save.h"
#include "ui/app_instance.h"
#include "ui/batch_run.h"
#include "ui/entry_editor.h"
#include "ui/file_choice.h"
#include "ui/list_rows.h"
#include "ui/save_failure_box.h"
#include "ui/status_text.h"
#include "ui/ui_state.h"

struct MainWindowState {
    ListState list;
    BatchRun batch;
    StyleFonts rowFonts;
    std::wstring lastFolder; // of the latest drop or Convert
    bool modal;              // the editor or the file dialog is open
    bool closeAfterBatch;    // a close request came during the batch
    bool askingAfterSave;    // the box after a failed save is open
};

// Shows the running batch's progress, first after half a second, then
// every fifth of a second.
constexpr UINT_PTR PROGRESS_TIMER = 1;
constexpr UINT FIRST_PROGRESS_MS = 500;
constexpr UINT PROGRESS_MS = 200;
// Posted after a move to a screen of another DPI has given the list its new
// font.
constexpr UINT WM_FIT_ROWS = WM_APP + 2;

// The controls that wait while a batch runs.
static const int BATCH_WAITS[] = {IDC_NEW, IDC_RENEW, IDC_DELETE, IDC_LINE_BREAK_TAGS, IDC_CONVERT};

void setListText(ListState* list, const char* keyword) {
    std::memset(list->listText, 0, sizeof list->listText);
    std::snprintf(list->listText, sizeof list->listText, "%s", keyword);
}

void runMainWindow() {
    // Value-initialised: every flag false, nothing selected yet.
    auto state = std::make_unique<MainWindowState>();
    state->list.selectedRow = -1;
    for (COLORREF& colour : state->list.customColours) {
        colour = RGB(255, 255, 255);
    }
    DialogBoxParamW(appInstance, MAKEINTRESOURCEW(IDD_MAIN_WINDOW), nullptr, MainWindow,
                    reinterpret_cast<LPARAM>(state.get()));
    releaseStyleFonts(&state->rowFonts);
}

static HWND listOf(HWND window) {
    return GetDlgItem(window, IDC_KEYWORD_LIST);
}

static LRESULT sendToList(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageW(listOf(window), message, wParam, lParam);
}

// Entries are inserted at row 0 in table order, so the newest ends on top;
// it is also the one left selected.
static void fillList(HWND window, MainWindowState* state) {
    trace("Init Dialog\n");
    for (int32_t i = 0; i < decorationTable.count; ++i) {
        setListText(&state->list, entryText(decorationTable.entries[i]));
        insertRow(listOf(window), 0, state->list.listText, decorationTable.entries[i]);
        sendToList(window, LB_SETCURSEL, 0, 0);
    }
}

// True when the selected row stands for a live entry. With no selection
// rowToIndex would name the slot past the last entry.
static bool rowSelected(const MainWindowState* state) {
    const int32_t index = rowToIndex(state->list.selectedRow);
    return state->list.selectedRow >= 0 && index >= 0 && index < decorationTable.count;
}

// While the editor or the file dialog is open the window takes no drop: a
// batch must not read the table while the editor may change it.
static void setModal(HWND window, MainWindowState* state, bool modal) {
    state->modal = modal;
    DragAcceptFiles(window, modal ? FALSE : TRUE);
}

static void newEntry(HWND window, MainWindowState* state) {
    // A full table takes no more entries; the editor would have nowhere to
    // store one.
    if (decorationTable.count >= MAX_ENTRIES) {
        return;
    }
    setModal(window, state, true);
    const INT_PTR ended = runEntryEditor(window, &state->list, EDITOR_NEW);
    setModal(window, state, false);
    if (ended == IDOK) {
        // Inserting above the selection moves the selection down with its row.
        insertRow(listOf(window), 0, state->list.listText,
                  decorationTable.entries[decorationTable.count - 1]);
    }
}

static void renewEntry(HWND window, MainWindowState* state) {
    if (!rowSelected(state)) {
        return;
    }
    setModal(window, state, true);
    const INT_PTR ended = runEntryEditor(window, &state->list, EDITOR_RENEW);
    setModal(window, state, false);
    const int32_t row = state->list.selectedRow;
    if (ended == IDOK) {
        // Deleting the selected row clears the selection; the new row is
        // not selected again.
        sendToList(window, LB_DELETESTRING, static_cast<WPARAM>(row), 0);
        insertRow(listOf(window), row, state->list.listText,
                  decorationTable.entries[rowToIndex(row)]);
    }
}

static void deleteEntry(HWND window, MainWindowState* state) {
    const int32_t row = state->list.selectedRow;
    if (!rowSelected(state) || !removeEntry(rowToIndex(row))) {
        return;
    }
    sendToList(window, LB_DELETESTRING, static_cast<WPARAM>(row), 0);
    InvalidateRect(window, nullptr, TRUE);
    // The row that followed the removed one takes its place and the
    // selection; past the last row this clears the selection.
    sendToList(window, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
}

// Disables the controls that wait for a batch, or enables them again. The
// focus leaves a control about to be disabled for the list, so that the
// keyboard keeps a place in the window.
static void enableBatchWaits(HWND window, bool enable) {
    if (!enable) {
        const HWND focus = GetFocus();
        for (int id : BATCH_WAITS) {
            if (focus == GetDlgItem(window, id)) {
                SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(listOf(window)), TRUE);
            }
        }
    }
    for (int id : BATCH_WAITS) {
        EnableWindow(GetDlgItem(window, id), enable ? TRUE : FALSE);
    }
    DragAcceptFiles(window, enable ? TRUE : FALSE);
}

static void beginBatch(HWND window, MainWindowState* state, std::vector<std::wstring> paths) {
    if (paths.empty()) {
        return;
    }
    state->lastFolder = folderOf(paths.front());
    SetDlgItemTextW(window, IDC_STATUS, L"");
    enableBatchWaits(window, false);
    SetTimer(window, PROGRESS_TIMER, FIRST_PROGRESS_MS, nullptr);
    startBatch(&state->batch, window, std::move(paths));
}

static void closeWindow(HWND window, MainWindowState* state);

static void finishBatch(HWND window, MainWindowState* state) {
    if (!state->batch.running) {
        return;
    }
    endBatch(&state->batch);
    KillTimer(window, PROGRESS_TIMER);
    showBatchStatus(GetDlgItem(window, IDC_STATUS), state->batch.progress.converted,
                    state->batch.progress.skipped);
    enableBatchWaits(window, true);
    if (state->closeAfterBatch) {
        state->closeAfterBatch = false;
        closeWindow(window, state);
    }
}

static void showBatchProgress(HWND window, MainWindowState* state) {
    if (!state->batch.running) {
        KillTimer(window, PROGRESS_TIMER);
        return;
    }
    const BatchProgress progress = progressOf(&state->batch);
    if (progress.finished) {
        // Should the end's message have been lost, the timer ends the batch.
        finishBatch(window, state);
        return;
    }
    const int total = static_cast<int>(state->batch.paths.size());
    const wchar_t* name =
        progress.current >= 0 && progress.current < total
            ? fileNameOf(state->batch.paths[static_cast<size_t>(progress.current)].c_str())
            : L"";
    showProgress(GetDlgItem(window, IDC_STATUS), progress.done, total, name);
    SetTimer(window, PROGRESS_TIMER, PROGRESS_MS, nullptr);
}

// Convert: the chosen files go through the same batch as a drop of them.
static void convertChosen(HWND window, MainWindowState* state) {
    std::vector<std::wstring> paths;
    setModal(window, state, true);
    const FileChoice choice = chooseFiles(window, state->lastFolder, &paths);
    setModal(window, state, false);
    if (choice == FILES_CHOSEN) {
        beginBatch(window, state, std::move(paths));
    } else if (choice != CHOICE_CANCELLED) {
        showChoiceFailure(GetDlgItem(window, IDC_STATUS), choice == TOO_MANY_CHOSEN);
    }
}

// A drop while a batch runs or a dialog is open is released unread; the
// window had said it takes none (DragAcceptFiles) and shows no change.
static void dropFiles(HWND window, MainWindowState* state, HDROP drop) {
    if (state->batch.running || state->modal) {
        DragFinish(drop);
        return;
    }
    beginBatch(window, state, droppedFiles(drop));
}

// Check box 1008 as the option stands.
static void showLineBreakOption(HWND window) {
    CheckDlgButton(window, IDC_LINE_BREAK_TAGS,
                   decorationTable.lineBreakTags != 0 ? BST_CHECKED : BST_UNCHECKED);
}

static bool waitsForBatch(int id) {
    for (int waiting : BATCH_WAITS) {
        if (waiting == id) {
            return true;
        }
    }
    return false;
}

static void onCommand(HWND window, MainWindowState* state, int id) {
    state->list.selectedRow = static_cast<int32_t>(sendToList(window, LB_GETCURSEL, 0, 0));
    trace("SelectPos = %d\n", state->list.selectedRow);
    if (state->batch.running && waitsForBatch(id)) {
        // Refused without effect; a check box that toggled all the same
        // shows the option again.
        showLineBreakOption(window);
        return;
    }
    switch (id) {
    case IDC_NEW:
        newEntry(window, state);
        break;
    case IDC_RENEW:
        renewEntry(window, state);
        break;
    case IDC_DELETE:
        deleteEntry(window, state);
        break;
    case IDC_LINE_BREAK_TAGS:
        decorationTable.lineBreakTags =
            SendDlgItemMessageW(window, IDC_LINE_BREAK_TAGS, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1
                                                                                               : 0;
        break;
    case IDC_CONVERT:
        convertChosen(window, state);
        break;
    default:
        // IDCANCEL (Escape) among them: the window closes only by its close box.
        break;
    }
}

// The close request: the settings are saved and the window destroyed. When
// the save fails the user chooses to try again, to close without saving, or
// to go back to the window with the table and the list as they were. The
// keyword copies live until the window really closes.
// A close request that arrives while the message box is up (posted by some
// other program: the window itself is disabled) is ignored; the box's answer
// decides.
static void closeWindow(HWND window, MainWindowState* state) {
    if (state->askingAfterSave) {
        return;
    }
    bool closing = true;
    while (!saveSettings()) {
        state->askingAfterSave = true;
        const SaveFailureChoice choice = askAfterFailedSave(window);
        state->askingAfterSave = false;
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

// During a batch the close request stops it after the file being converted;
// the window then saves and closes as it always does.
static void requestClose(HWND window, MainWindowState* state) {
    if (state->batch.running) {
        state->closeAfterBatch = true;
        askBatchToStop(&state->batch);
        return;
    }
    closeWindow(window, state);
}

static void startWindow(HWND window, MainWindowState* state) {
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    fillList(window, state);
    fitRowHeight(listOf(window));
    showLineBreakOption(window);
    DragAcceptFiles(window, TRUE);
}

INT_PTR CALLBACK MainWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        startWindow(window, reinterpret_cast<MainWindowState*>(lParam));
        // The dialog manager puts the focus on the list, the first control.
        return TRUE;
    }
    if (message == WM_MEASUREITEM && wParam == IDC_KEYWORD_LIST) {
        // Comes before WM_INITDIALOG, while the list is being made.
        measureRow(window, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        return TRUE;
    }
    MainWindowState* state = dialogState<MainWindowState>(window);
    if (state == nullptr) {
        return FALSE;
    }
    switch (message) {
    case WM_DRAWITEM:
        if (wParam != IDC_KEYWORD_LIST) {
            return FALSE;
        }
        drawRow(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), &state->rowFonts);
        return TRUE;
    case WM_COMMAND:
        onCommand(window, state, LOWORD(wParam));
        return FALSE;
    case WM_DROPFILES:
        dropFiles(window, state, reinterpret_cast<HDROP>(wParam));
        return FALSE;
    case WM_TIMER:
        if (wParam == PROGRESS_TIMER) {
            showBatchProgress(window, state);
        }
        return FALSE;
    case WM_BATCH_DONE:
        finishBatch(window, state);
        return FALSE;
    case WM_DPICHANGED:
        // The dialog manager rescales the window and its fonts first.
        PostMessageW(window, WM_FIT_ROWS, 0, 0);
        return FALSE;
    case WM_FIT_ROWS:
        fitRowHeight(listOf(window));
        return FALSE;
    case WM_PAINT:
        trace("Paint\n");
        return FALSE;
    case WM_CLOSE:
        requestClose(window, state);
        return FALSE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return FALSE;
    default:
        return FALSE;
    }
}
