// Window tests, save group: closing when the settings file cannot be written.
// The program must show one message box naming the file and the reason, and
// each of its choices must do what it says: Try Again saves once the cause
// is gone, Continue closes without saving, and Cancel (also Escape and the
// box's close button) goes back to the window with nothing lost.
#include "gui_support.h"

#include <cwchar>

namespace gui {
namespace {

// The message box's own button ids.
const int BOX_CANCEL = IDCANCEL, BOX_TRY_AGAIN = IDTRYAGAIN, BOX_CONTINUE = IDCONTINUE;

// Concatenates the texts of a window's static controls: the box's message.
BOOL CALLBACK collectStatic(HWND child, LPARAM param) {
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    if (_wcsicmp(className, L"Static") == 0) {
        static wchar_t text[8192];
        text[0] = L'\0';
        GetWindowTextW(child, text, 8192);
        *reinterpret_cast<std::wstring*>(param) += text;
    }
    return TRUE;
}

std::wstring boxText(HWND box) {
    std::wstring text;
    EnumChildWindows(box, collectStatic, reinterpret_cast<LPARAM>(&text));
    return text;
}

// Checks that the message box names the settings file by its full path (by
// default the one in the folder the program was started in) and says
// `reason`, and that Cancel is its default button.
void checkBox(const App& app, HWND box, const wchar_t* reason, const char* when,
              const std::string& file = std::string()) {
    check(box != nullptr, "%s: a message box appears", when);
    if (box == nullptr) {
        return;
    }
    const std::wstring text = boxText(box);
    const std::string named = file.empty() ? app.dir + "\\TintMark.dat" : file;
    check(text.find(widen(named)) != std::wstring::npos, "%s: the box names %s", when,
          named.c_str());
    check(text.find(reason) != std::wstring::npos, "%s: the box gives the reason", when);
    // Cancel is the default button (a stray Enter is tried on its own).
    const LONG cancelStyle = GetWindowLongW(GetDlgItem(box, BOX_CANCEL), GWL_STYLE);
    check((cancelStyle & BS_TYPEMASK) == BS_DEFPUSHBUTTON, "%s: Cancel is the default button",
          when);
}

// Asks to close and returns the message box that must appear.
HWND closeExpectingBox(const App& app, const wchar_t* reason, const char* when,
                       const std::string& file = std::string()) {
    PostMessageW(app.main, WM_CLOSE, 0, 0);
    HWND box = waitForDialog(app.process.dwProcessId, app.main, L"TintMark");
    checkBox(app, box, reason, when, file);
    return box;
}

struct BoxQuery {
    DWORD pid;
    HWND main;
    int count;
};

BOOL CALLBACK countBox(HWND window, LPARAM param) {
    auto* query = reinterpret_cast<BoxQuery*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (pid == query->pid && window != query->main && IsWindowVisible(window) &&
        std::wcscmp(className, L"#32770") == 0) {
        ++query->count;
    }
    return TRUE;
}

// The program's visible dialog windows other than the main window.
int boxCount(const App& app) {
    BoxQuery query{app.process.dwProcessId, app.main, 0};
    EnumWindows(countBox, reinterpret_cast<LPARAM>(&query));
    return query.count;
}

void pressBoxButton(HWND box, int id) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

// The box goes away and the window stays, with its rows as before.
void checkBack(const App& app, HWND box, const std::vector<std::string>& expectedRows,
               int expectedSelection, const char* when) {
    check(waitUntil([box] { return !IsWindow(box); }), "%s: the box closes", when);
    check(WaitForSingleObject(app.process.hProcess, 300) == WAIT_TIMEOUT,
          "%s: the program keeps running", when);
    check(IsWindow(app.main) && IsWindowEnabled(app.main), "%s: the window is back", when);
    checkRows(app, expectedRows, expectedSelection, when);
}

// After a choice that ends the program: it ends by itself with 0.
void checkEnds(App& app, const char* when) {
    const DWORD waited = WaitForSingleObject(app.process.hProcess, WAIT_MS);
    check(waited == WAIT_OBJECT_0, "%s: the program ends", when);
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(app.process.hProcess, 99);
        WaitForSingleObject(app.process.hProcess, WAIT_MS);
    }
    DWORD code = 1;
    GetExitCodeProcess(app.process.hProcess, &code);
    check(code == 0, "%s: exit code 0 (got %lu)", when, code);
    CloseHandle(app.process.hProcess);
    CloseHandle(app.process.hThread);
    app.process = PROCESS_INFORMATION{};
}

const wchar_t READ_ONLY[] = L"read-only";
const wchar_t NOT_A_FILE[] = L"not a file";

void setReadOnly(const std::string& path, bool on) {
    SetFileAttributesW(widen(path).c_str(), on ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
}

// A read-only file: every way back keeps the window and the change; a retry
// with the mark still there fails again; once the mark is gone it saves.
void readOnlyBackThenRetry() {
    App app;
    const std::string dir = prepare("save-read-only", settingsText(false, abc()));
    const std::string file = dir + "\\TintMark.dat";
    setReadOnly(file, true);
    if (!start(app, dir)) {
        return;
    }
    // Delete "c": the change that must not be lost.
    select(app, 0);
    press(app.main, IDC_DELETE);
    const std::vector<std::string> changed = {"b", "a"};
    const int selected = selection(app);

    HWND box = closeExpectingBox(app, READ_ONLY, "read-only, Enter");
    keyDown(box, VK_RETURN);
    checkBack(app, box, changed, selected, "read-only, Enter");

    box = closeExpectingBox(app, READ_ONLY, "read-only, Escape");
    keyDown(box, VK_ESCAPE);
    checkBack(app, box, changed, selected, "read-only, Escape");

    box = closeExpectingBox(app, READ_ONLY, "read-only, close box");
    PostMessageW(box, WM_CLOSE, 0, 0);
    checkBack(app, box, changed, selected, "read-only, close box");

    box = closeExpectingBox(app, READ_ONLY, "read-only, Cancel");
    // A second close request while the box is up opens no second box.
    PostMessageW(app.main, WM_CLOSE, 0, 0);
    Sleep(500);
    check(boxCount(app) == 1, "a close request during the box opens no second box (%d boxes)",
          boxCount(app));
    pressBoxButton(box, BOX_CANCEL);
    checkBack(app, box, changed, selected, "read-only, Cancel");
    Sleep(500);
    check(boxCount(app) == 0, "no box after Cancel (%d boxes)", boxCount(app));
    checkBytes(readFile(file), settingsText(false, abc()), "read-only file untouched");

    // The window still works after going back.
    press(app.main, IDC_LINE_BREAK_TAGS);

    box = closeExpectingBox(app, READ_ONLY, "read-only, Try Again");
    pressBoxButton(box, BOX_TRY_AGAIN);
    check(waitUntil([box] { return !IsWindow(box); }), "read-only, Try Again: the box closes");
    // The retry fails again while the file is read-only, and asks again.
    HWND again = waitForDialog(app.process.dwProcessId, app.main, L"TintMark");
    checkBox(app, again, READ_ONLY, "read-only, Try Again still read-only");
    setReadOnly(file, false);
    pressBoxButton(again, BOX_TRY_AGAIN);
    checkEnds(app, "read-only, Try Again once writable");
    checkBytes(readFile(file), settingsText(true, {abc()[0], abc()[1]}),
               "the retry saved the change");
}

// "Continue" closes without saving: exit 0, the old file as it was.
void readOnlyContinue() {
    App app;
    const std::string dir = prepare("save-read-only-continue", settingsText(false, abc()));
    const std::string file = dir + "\\TintMark.dat";
    setReadOnly(file, true);
    if (!start(app, dir)) {
        return;
    }
    press(app.main, IDC_LINE_BREAK_TAGS);
    HWND box = closeExpectingBox(app, READ_ONLY, "read-only, Continue");
    pressBoxButton(box, BOX_CONTINUE);
    checkEnds(app, "read-only, Continue");
    checkBytes(readFile(file), settingsText(false, abc()), "Continue leaves the old file");
    const DWORD attributes = GetFileAttributesW(widen(file).c_str());
    check(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0,
          "the file is still read-only");
    setReadOnly(file, false);
}

// A folder where the file should be: no file is loaded; an entry added, then
// back, then a retry once the folder is gone.
void folderBackThenRetry() {
    App app;
    const std::string dir = prepare("save-folder", "");
    const std::string file = dir + "\\TintMark.dat";
    makeDir(file);
    if (!start(app, dir)) {
        return;
    }
    HWND editor = pressForEditor(app, IDC_NEW);
    check(editor != nullptr, "New opens the editor");
    if (editor != nullptr) {
        fillAndOk(app, editor, "kept", "", "", 0);
    }
    HWND box = closeExpectingBox(app, NOT_A_FILE, "folder, Cancel");
    pressBoxButton(box, BOX_CANCEL);
    checkBack(app, box, {"kept"}, selection(app), "folder, Cancel");

    box = closeExpectingBox(app, NOT_A_FILE, "folder, Try Again");
    RemoveDirectoryW(widen(file).c_str());
    pressBoxButton(box, BOX_TRY_AGAIN);
    checkEnds(app, "folder, Try Again once removed");
    checkBytes(readFile(file), settingsText(false, {{"kept", NO_COLOUR, "0", "0"}}),
               "the retry saved the new entry");
}

void folderContinue() {
    App app;
    const std::string dir = prepare("save-folder-continue", "");
    const std::string file = dir + "\\TintMark.dat";
    makeDir(file);
    if (!start(app, dir)) {
        return;
    }
    HWND box = closeExpectingBox(app, NOT_A_FILE, "folder, Continue");
    pressBoxButton(box, BOX_CONTINUE);
    checkEnds(app, "folder, Continue");
    const DWORD attributes = GetFileAttributesW(widen(file).c_str());
    check(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
          "the folder is still there");
}

// The file beside the program, read because the folder the program was
// started in has none, is the one the box names when it cannot be saved;
// once writable, the retry saves it there and nowhere else.
void besideTheProgramReadOnly() {
    const std::string dir = prepare("save-beside-read-only", "");
    const std::string prog = dir + "\\prog";
    const std::string docs = dir + "\\docs";
    makeDir(prog);
    makeDir(docs);
    const std::string file = prog + "\\TintMark.dat";
    writeFile(file, settingsText(false, abc()));
    setReadOnly(file, true);
    App app;
    if (!startProgram(app, copyProgram(prog), docs)) {
        return;
    }
    press(app.main, IDC_LINE_BREAK_TAGS);
    HWND box = closeExpectingBox(app, READ_ONLY, "beside the program, read-only", file);
    setReadOnly(file, false);
    pressBoxButton(box, BOX_TRY_AGAIN);
    checkEnds(app, "beside the program, Try Again once writable");
    checkBytes(readFile(file), settingsText(true, abc()), "the retry saved beside the program");
    check(treeOf(widen(docs)).empty(), "nothing made in the folder it was started in");
}

// A save that works shows nothing: the program ends on the close request.
void successShowsNothing() {
    App app;
    const std::string dir = prepare("save-works", settingsText(false, abc()));
    if (!start(app, dir)) {
        return;
    }
    close(app);
    checkBytes(settingsOf(app), settingsText(false, abc()), "saved without a message");
}

} // namespace

void runSaveGroup() {
    readOnlyBackThenRetry();
    readOnlyContinue();
    folderBackThenRetry();
    folderContinue();
    besideTheProgramReadOnly();
    successShowsNothing();
}

} // namespace gui
