// Drives the real tintmark.exe from outside, the way a user would: starts it
// in a prepared working directory, reads and works its windows through
// window messages, closes it and checks the settings file and converted
// files byte for byte.
//
// Usage: gui_driver GROUP TINTMARK_EXE WORK_DIR
// GROUP is list, editor, full or drop (or pose, for screenshots). WORK_DIR is a Unix path (the
// driver runs under Wine, where it is Z:\...); each scenario gets its own subdirectory. The drop
// group needs a drag source playing the file manager (xdnd_drop.py), which the calling script runs
// beside it.
//
// Across processes Wine answers the ANSI text messages in UTF-16, so texts
// are read with the W messages and turned into code page 932 bytes here.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const START = "[TntMark set file]";
const char* const END = "[TntMark set file end]";
const char* const NO_COLOUR = "\x96\xB3\x95\xCF\x8A\xB7";                 // 無変換
const char* const DEFAULT_KEYWORD = "\x82\xE0\x82\xA9\x82\xD8\x82\xBF.Q"; // もかぺち.Q

// Control ids as the program's templates give them.
const int ID_LIST = 1001, ID_NEW = 3, ID_RENEW = 1002, ID_DELETE = 1003, ID_BR = 1008;
const int ID_KEYWORD = 1004, ID_COLOUR = 1005, ID_SIZE = 1006, ID_BOLD = 1007;

const DWORD WAIT_MS = 15000;

std::string programPath;
std::string workUnix; // Unix path of the work directory
int passed = 0;
int failed = 0;
std::string scenario;

void check(bool ok, const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (ok) {
        ++passed;
    } else {
        ++failed;
        std::printf("FAIL [%s] %s\n", scenario.c_str(), text);
        std::fflush(stdout);
    }
}

// Printable form of code page 932 bytes for failure messages.
std::string shown(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    if (out.size() > 300) {
        out = out.substr(0, 300) + "...";
    }
    return out;
}

void checkBytes(const std::string& actual, const std::string& expected, const char* what) {
    check(actual == expected, "%s:\n  expected \"%s\"\n  actual   \"%s\"", what,
          shown(expected).c_str(), shown(actual).c_str());
}

std::string toDos(const std::string& unixPath) {
    std::string dos = "Z:" + unixPath;
    for (char& c : dos) {
        if (c == '/') {
            c = '\\';
        }
    }
    return dos;
}

std::wstring widen(const std::string& bytes, UINT codePage = 932) {
    if (bytes.empty()) {
        return std::wstring();
    }
    int n =
        MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[0], n);
    return wide;
}

std::string narrow(const std::wstring& wide, UINT codePage = 932) {
    if (wide.empty()) {
        return std::string();
    }
    int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &bytes[0], n,
                        nullptr, nullptr);
    return bytes;
}

// Files are named in code page 932 bytes, like the program names them.
bool writeFile(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileW((L"\\\\?\\" + widen(path)).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    CloseHandle(file);
    return ok;
}

bool fileExists(const std::string& path) {
    return GetFileAttributesW((L"\\\\?\\" + widen(path)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string readFile(const std::string& path) {
    HANDLE file = CreateFileW((L"\\\\?\\" + widen(path)).c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "<missing>";
    }
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    CloseHandle(file);
    return bytes;
}

void makeDir(const std::string& path) {
    CreateDirectoryW((L"\\\\?\\" + widen(path)).c_str(), nullptr);
}

// One decoration entry as the settings file holds it.
struct Entry {
    std::string keyword;
    std::string colour;
    std::string size;
    std::string style;
};

// The settings file, CR LF line ends.
std::string settings(bool lineBreakTags, const std::vector<Entry>& entries) {
    std::string out = std::string(START) + "\r\n" + (lineBreakTags ? "1" : "0") + "\r\n";
    for (const Entry& e : entries) {
        out += e.keyword + "\r\n" + e.colour + "\r\n" + e.size + "\r\n" + e.style + "\r\n";
    }
    return out + END + "\r\n";
}

// Three entries created in the order a, b, c; b has no colour and no size.
std::vector<Entry> abc() {
    return {{"a", "FF0000", "5", "5"}, {"b", NO_COLOUR, "0", "0"}, {"c", "00FF00", "3", "8"}};
}

struct App {
    PROCESS_INFORMATION process{};
    HWND main = nullptr;
    std::string dir; // DOS path of its working directory
};

struct FindWindowQuery {
    DWORD pid;
    HWND exclude;
    const wchar_t* title; // null: any
    HWND found;
};

BOOL CALLBACK findDialog(HWND window, LPARAM param) {
    auto* query = reinterpret_cast<FindWindowQuery*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != query->pid || window == query->exclude || !IsWindowVisible(window)) {
        return TRUE;
    }
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (std::wcscmp(className, L"#32770") != 0) {
        return TRUE;
    }
    if (query->title != nullptr) {
        wchar_t title[64] = {};
        GetWindowTextW(window, title, 64);
        if (std::wcscmp(title, query->title) != 0) {
            return TRUE;
        }
    }
    query->found = window;
    return FALSE;
}

HWND waitForDialog(DWORD pid, HWND exclude, const wchar_t* title, DWORD timeout = WAIT_MS) {
    DWORD start = GetTickCount();
    do {
        FindWindowQuery query{pid, exclude, title, nullptr};
        EnumWindows(findDialog, reinterpret_cast<LPARAM>(&query));
        if (query.found != nullptr) {
            return query.found;
        }
        Sleep(20);
    } while (GetTickCount() - start < timeout);
    return nullptr;
}

template <typename Predicate> bool waitUntil(Predicate predicate, DWORD timeout = WAIT_MS) {
    DWORD start = GetTickCount();
    while (!predicate()) {
        if (GetTickCount() - start > timeout) {
            return false;
        }
        Sleep(20);
    }
    return true;
}

// Prepares a fresh working directory for a scenario; an empty settings text
// means no settings file.
std::string prepare(const char* name, const std::string& settingsText) {
    scenario = name;
    std::string dir = toDos(workUnix) + "\\" + name;
    makeDir(dir);
    std::string file = dir + "\\TintMark.dat";
    DeleteFileW((L"\\\\?\\" + widen(file)).c_str());
    if (!settingsText.empty()) {
        writeFile(file, settingsText);
    }
    return dir;
}

bool start(App& app, const std::string& dir) {
    app.dir = dir;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + programPath + "\"";
    if (!CreateProcessA(programPath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        dir.c_str(), &startup, &app.process)) {
        check(false, "cannot start %s (error %lu)", programPath.c_str(), GetLastError());
        return false;
    }
    app.main = waitForDialog(app.process.dwProcessId, nullptr, L"TintMark");
    check(app.main != nullptr, "main window \"TintMark\" appears");
    return app.main != nullptr;
}

// Close box: WM_CLOSE. The program must save, end by itself and return 0.
void close(App& app) {
    PostMessageW(app.main, WM_CLOSE, 0, 0);
    DWORD waited = WaitForSingleObject(app.process.hProcess, WAIT_MS);
    check(waited == WAIT_OBJECT_0, "program ends after WM_CLOSE");
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(app.process.hProcess, 99);
        WaitForSingleObject(app.process.hProcess, WAIT_MS);
    }
    DWORD code = 1;
    GetExitCodeProcess(app.process.hProcess, &code);
    check(code == 0, "exit code 0 (got %lu)", code);
    CloseHandle(app.process.hProcess);
    CloseHandle(app.process.hThread);
    app.process = PROCESS_INFORMATION{};
}

// Waits until the program has handled everything sent or posted before.
// Only messages sent to a window are handled before posted ones, so this
// settles sent work; posted work is waited for by its visible effect.
void settle(HWND window) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, WAIT_MS, &result);
}

HWND item(HWND dialog, int id) {
    return GetDlgItem(dialog, id);
}

std::vector<std::string> rows(const App& app) {
    HWND list = item(app.main, ID_LIST);
    std::vector<std::string> out;
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT r = 0; r < count; ++r) {
        LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(r), 0);
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(r), reinterpret_cast<LPARAM>(&text[0]));
        text.resize(std::wcslen(text.c_str()));
        out.push_back(narrow(text));
    }
    return out;
}

int rowCount(const App& app) {
    return static_cast<int>(SendMessageW(item(app.main, ID_LIST), LB_GETCOUNT, 0, 0));
}

int selection(const App& app) {
    return static_cast<int>(SendMessageW(item(app.main, ID_LIST), LB_GETCURSEL, 0, 0));
}

void select(const App& app, int row) {
    SendMessageW(item(app.main, ID_LIST), LB_SETCURSEL, static_cast<WPARAM>(row), 0);
}

void checkRows(const App& app, const std::vector<std::string>& expected, int expectedSelection,
               const char* when) {
    // Work posted to the program shows up a moment later; sent work is done.
    waitUntil([&] { return rows(app) == expected && selection(app) == expectedSelection; }, 3000);
    std::vector<std::string> actual = rows(app);
    std::string a, e;
    for (const std::string& r : actual) {
        a += "[" + shown(r) + "]";
    }
    for (const std::string& r : expected) {
        e += "[" + shown(r) + "]";
    }
    check(actual == expected, "%s: rows %s, expected %s", when, a.c_str(), e.c_str());
    int sel = selection(app);
    check(sel == expectedSelection, "%s: selected row %d, expected %d", when, sel,
          expectedSelection);
}

// Presses a push button whose command runs synchronously.
void press(HWND dialog, int id) {
    SendMessageW(item(dialog, id), BM_CLICK, 0, 0);
}

// Presses a button that opens the editor and returns the editor, or null
// when none opened.
HWND pressForEditor(const App& app, int id) {
    PostMessageW(item(app.main, id), BM_CLICK, 0, 0);
    return waitForDialog(app.process.dwProcessId, app.main, nullptr);
}

// Presses New or Renew where the program must not open the editor: the
// click returns at once instead of waiting in the editor's modal loop.
void pressExpectingNoEditor(const App& app, int id, const char* what) {
    DWORD_PTR result = 0;
    LRESULT done =
        SendMessageTimeoutW(item(app.main, id), BM_CLICK, 0, 0, SMTO_NORMAL, 3000, &result);
    HWND editor = waitForDialog(app.process.dwProcessId, app.main, nullptr, 200);
    check(done != 0 && editor == nullptr, "%s opens no editor", what);
    if (editor != nullptr) {
        PostMessageW(editor, WM_CLOSE, 0, 0);
        waitUntil([&] { return !IsWindow(editor); });
    }
}

void setText(HWND dialog, int id, const std::string& bytes) {
    std::wstring wide = widen(bytes);
    SendMessageW(item(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

std::string text(HWND dialog, int id) {
    wchar_t buffer[2048] = {};
    SendMessageW(item(dialog, id), WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer));
    return narrow(buffer);
}

// The editor's four style boxes as a bit set.
int styleBoxes(HWND editor) {
    int style = 0;
    for (int k = 0; k < 4; ++k) {
        if (SendMessageW(item(editor, ID_BOLD + k), BM_GETCHECK, 0, 0) == BST_CHECKED) {
            style |= 1 << k;
        }
    }
    return style;
}

void setStyleBoxes(HWND editor, int style) {
    for (int k = 0; k < 4; ++k) {
        bool want = (style & (1 << k)) != 0;
        bool is = SendMessageW(item(editor, ID_BOLD + k), BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (want != is) {
            press(editor, ID_BOLD + k); // an automatic check box toggles on a click
        }
    }
}

// Fills the editor and presses OK; waits until the editor has gone.
void fillAndOk(const App& app, HWND editor, const std::string& keyword, const std::string& colour,
               const std::string& size, int style) {
    setText(editor, ID_KEYWORD, keyword);
    setText(editor, ID_COLOUR, colour);
    setText(editor, ID_SIZE, size);
    setStyleBoxes(editor, style);
    PostMessageW(item(editor, IDOK), BM_CLICK, 0, 0);
    check(waitUntil([&] { return !IsWindow(editor); }), "editor closes on OK");
    settle(app.main);
}

void keyDown(HWND window, WPARAM key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

std::string settingsOf(const App& app) {
    return readFile(app.dir + "\\TintMark.dat");
}

// ---------------------------------------------------------------- list group

void listStartOrder() {
    App app;
    std::string dir = prepare("start-order", settings(false, abc()));
    if (!start(app, dir)) {
        return;
    }
    checkRows(app, {"c", "b", "a"}, 0, "after start");
    RECT rect;
    GetWindowRect(app.main, &rect);
    check(rect.left == 0 && rect.top == 0, "opens at the top-left of the screen (%ld,%ld)",
          rect.left, rect.top);
    check(SendMessageW(item(app.main, ID_BR), BM_GETCHECK, 0, 0) == BST_UNCHECKED,
          "check box clear for option 0");
    close(app);
    checkBytes(settingsOf(app), settings(false, abc()), "unchanged table saved as loaded");
}

void listCheckBox() {
    App app;
    std::string dir = prepare("check-box-on", settings(false, abc()));
    if (start(app, dir)) {
        press(app.main, ID_BR);
        close(app);
        checkBytes(settingsOf(app), settings(true, abc()), "ticked check box saved as 1");
    }
    dir = prepare("check-box-off", settings(true, abc()));
    if (start(app, dir)) {
        check(SendMessageW(item(app.main, ID_BR), BM_GETCHECK, 0, 0) == BST_CHECKED,
              "check box ticked for option 1");
        press(app.main, ID_BR);
        close(app);
        checkBytes(settingsOf(app), settings(false, abc()), "cleared check box saved as 0");
    }
}

void listKeyboard() {
    App app;
    std::string dir = prepare("enter-deletes", settings(false, abc()));
    if (!start(app, dir)) {
        return;
    }
    // The focus starts on the list; Enter goes to the default button, Delete.
    keyDown(item(app.main, ID_LIST), VK_RETURN);
    check(waitUntil([&] { return rowCount(app) == 2; }), "Enter on the list deletes a row");
    checkRows(app, {"b", "a"}, 0, "after Enter");
    // Escape (IDCANCEL) does nothing. A later posted selection change shows
    // when the key has been handled.
    keyDown(item(app.main, ID_LIST), VK_ESCAPE);
    PostMessageW(item(app.main, ID_LIST), LB_SETCURSEL, 1, 0);
    waitUntil([&] { return selection(app) == 1; });
    check(IsWindowVisible(app.main) != FALSE, "Escape leaves the window open");
    checkRows(app, {"b", "a"}, 1, "after Escape");
    close(app);
    std::vector<Entry> expected = abc();
    expected.pop_back();
    checkBytes(settingsOf(app), settings(false, expected), "Enter removed the newest entry");
}

void listDeleteMiddle() {
    App app;
    std::string dir = prepare("delete-middle", settings(false, abc()));
    if (!start(app, dir)) {
        return;
    }
    select(app, 1);
    press(app.main, ID_DELETE);
    checkRows(app, {"c", "a"}, 1, "after Delete of row 1");
    close(app);
    std::vector<Entry> all = abc();
    checkBytes(settingsOf(app), settings(false, {all[0], all[2]}), "middle entry removed");
}

void listDeleteLastAndGuards() {
    App app;
    std::string dir = prepare("delete-last", settings(false, abc()));
    if (!start(app, dir)) {
        return;
    }
    select(app, 2);
    press(app.main, ID_DELETE);
    checkRows(app, {"c", "b"}, -1, "after Delete of the bottom row");
    // No row is selected now: Delete and Renew must leave table and list alone.
    press(app.main, ID_DELETE);
    checkRows(app, {"c", "b"}, -1, "Delete with no selection");
    pressExpectingNoEditor(app, ID_RENEW, "Renew with no selection");
    checkRows(app, {"c", "b"}, -1, "Renew with no selection");
    close(app);
    std::vector<Entry> all = abc();
    checkBytes(settingsOf(app), settings(false, {all[1], all[2]}), "oldest entry removed only");
}

void listDeleteAll() {
    App app;
    std::string dir = prepare("delete-all", settings(true, abc()));
    if (!start(app, dir)) {
        return;
    }
    for (int i = 0; i < 3; ++i) {
        press(app.main, ID_DELETE);
    }
    checkRows(app, {}, -1, "after deleting every entry");
    // Further presses on an empty list change nothing (the count must not
    // go below zero).
    press(app.main, ID_DELETE);
    pressExpectingNoEditor(app, ID_RENEW, "Renew on an empty list");
    checkRows(app, {}, -1, "Delete on an empty list");
    close(app);
    checkBytes(settingsOf(app), settings(true, {{DEFAULT_KEYWORD, "16711680", "6", "0"}}),
               "empty table saved as the default entry");
    // The default entry loads like any other: its colour is the first six
    // bytes of its colour line.
    if (start(app, dir)) {
        checkRows(app, {DEFAULT_KEYWORD}, 0, "restart after saving the default entry");
        close(app);
        checkBytes(settingsOf(app), settings(true, {{DEFAULT_KEYWORD, "167116", "6", "0"}}),
                   "default entry saved back");
    }
}

void listNoSettingsFile() {
    App app;
    std::string dir = prepare("no-settings-file", "");
    if (!start(app, dir)) {
        return;
    }
    checkRows(app, {}, -1, "first start without a settings file");
    close(app);
    checkBytes(settingsOf(app), settings(false, {{DEFAULT_KEYWORD, "16711680", "6", "0"}}),
               "first close writes the default entry");
}

// -------------------------------------------------------------- editor group

void editorNew() {
    App app;
    std::string dir = prepare("new", settings(false, abc()));
    if (!start(app, dir)) {
        return;
    }
    HWND editor = pressForEditor(app, ID_NEW);
    check(editor != nullptr, "New opens the editor");
    if (editor == nullptr) {
        return;
    }
    check(text(editor, ID_KEYWORD).empty() && text(editor, ID_COLOUR).empty() &&
              text(editor, ID_SIZE).empty() && styleBoxes(editor) == 0,
          "New starts with empty fields and clear boxes");
    // Template position (0, 0) places the editor's client area on the main
    // window's client area, top-left corner on top-left corner.
    POINT mainOrigin{0, 0}, editorOrigin{0, 0};
    ClientToScreen(app.main, &mainOrigin);
    ClientToScreen(editor, &editorOrigin);
    check(editorOrigin.x == mainOrigin.x && editorOrigin.y == mainOrigin.y,
          "editor opens at the main window's client origin (%ld,%ld vs %ld,%ld)", editorOrigin.x,
          editorOrigin.y, mainOrigin.x, mainOrigin.y);
    // "赤い", bold and strike-through.
    fillAndOk(app, editor, "\x90\xD4\x82\xA2", "FF0000", "12pt", 9);
    checkRows(app, {"\x90\xD4\x82\xA2", "c", "b", "a"}, 1,
              "New adds row 0; the selection moves down with its row");

    // All fields empty: an empty keyword with no colour, size or style.
    editor = pressForEditor(app, ID_NEW);
    if (editor != nullptr) {
        fillAndOk(app, editor, "", "", "", 0);
    }
    checkRows(app, {"", "\x90\xD4\x82\xA2", "c", "b", "a"}, 2, "New with empty fields");
    close(app);
    std::vector<Entry> expected = abc();
    expected.push_back({"\x90\xD4\x82\xA2", "FF0000", "12", "9"});
    expected.push_back({"", NO_COLOUR, "0", "0"});
    checkBytes(settingsOf(app), settings(false, expected), "new entries appended in order");
}

void editorSizesAndColours() {
    App app;
    std::string dir = prepare("sizes-colours", settings(false, {}));
    if (!start(app, dir)) {
        return;
    }
    struct Case {
        const char* keyword;
        const char* colour;
        const char* size;
        const char* savedColour;
        const char* savedSize;
    };
    const Case cases[] = {
        {"k1", "#FF0000", "pt12", "#FF000", "0"},
        {"k2", "F00", " \t-7", "F00", "-7"},
        {"k3", "0000FF", "+3x", "0000FF", "3"},
        {"k4", "", "99999999999", NO_COLOUR, "2147483647"},
        {"k5", "1", "-99999999999", "1", "-2147483648"},
    };
    std::vector<Entry> expected;
    for (const Case& c : cases) {
        HWND editor = pressForEditor(app, ID_NEW);
        if (editor == nullptr) {
            check(false, "New opens the editor");
            break;
        }
        fillAndOk(app, editor, c.keyword, c.colour, c.size, 2);
        expected.push_back({c.keyword, c.savedColour, c.savedSize, "2"});
    }
    close(app);
    checkBytes(settingsOf(app), settings(false, expected),
               "sizes parsed as decimal prefixes and clamped, colours cut to six bytes");
}

void editorCancel() {
    App app;
    std::string dir = prepare("cancel", settings(false, abc()));
    if (!start(app, dir)) {
        return;
    }
    // Cancel button, Escape in a field, and the close request all end the
    // editor without a change.
    HWND editor = pressForEditor(app, ID_NEW);
    if (editor != nullptr) {
        setText(editor, ID_KEYWORD, "typed");
        press(editor, ID_BOLD);
        PostMessageW(item(editor, IDCANCEL), BM_CLICK, 0, 0);
        check(waitUntil([&] { return !IsWindow(editor); }), "Cancel closes the editor");
        settle(app.main);
    }
    checkRows(app, {"c", "b", "a"}, 0, "after New, Cancel");
    editor = pressForEditor(app, ID_NEW);
    if (editor != nullptr) {
        setText(editor, ID_KEYWORD, "typed");
        keyDown(item(editor, ID_KEYWORD), VK_ESCAPE);
        check(waitUntil([&] { return !IsWindow(editor); }), "Escape closes the editor");
        settle(app.main);
    }
    checkRows(app, {"c", "b", "a"}, 0, "after New, Escape");
    select(app, 2);
    editor = pressForEditor(app, ID_RENEW);
    if (editor != nullptr) {
        setText(editor, ID_KEYWORD, "typed");
        PostMessageW(editor, WM_CLOSE, 0, 0);
        check(waitUntil([&] { return !IsWindow(editor); }), "close request closes the editor");
        settle(app.main);
    }
    checkRows(app, {"c", "b", "a"}, 2, "after Renew, close request");
    close(app);
    checkBytes(settingsOf(app), settings(false, abc()), "table unchanged after cancelling");
}

void editorEnterStores() {
    App app;
    std::string dir = prepare("enter-stores", settings(false, abc()));
    if (!start(app, dir)) {
        return;
    }
    HWND editor = pressForEditor(app, ID_NEW);
    if (editor == nullptr) {
        check(false, "New opens the editor");
        return;
    }
    setText(editor, ID_KEYWORD, "entered");
    setText(editor, ID_SIZE, "4");
    // The focus starts on the keyword field; Enter goes to OK.
    keyDown(item(editor, ID_KEYWORD), VK_RETURN);
    check(waitUntil([&] { return !IsWindow(editor); }), "Enter closes the editor");
    settle(app.main);
    check(waitUntil([&] { return rowCount(app) == 4; }), "Enter stored the entry");
    checkRows(app, {"entered", "c", "b", "a"}, 1, "after Enter in the editor");
    close(app);
    std::vector<Entry> expected = abc();
    expected.push_back({"entered", NO_COLOUR, "4", "0"});
    checkBytes(settingsOf(app), settings(false, expected), "Enter stored the typed entry");
}

void editorRenew() {
    App app;
    std::vector<Entry> entries = abc();
    entries.push_back({"\x82\xE0\x82\xA9\x83\x5C", "FFFFFF", "-2", "15"}); // もかソ
    std::string dir = prepare("renew", settings(false, entries));
    if (!start(app, dir)) {
        return;
    }
    // Row 0, the newest entry, with a Shift-JIS keyword: unchanged OK keeps
    // every byte.
    HWND editor = pressForEditor(app, ID_RENEW);
    if (editor != nullptr) {
        checkBytes(text(editor, ID_KEYWORD), "\x82\xE0\x82\xA9\x83\x5C", "Renew shows the keyword");
        checkBytes(text(editor, ID_COLOUR), "FFFFFF", "Renew shows the colour");
        checkBytes(text(editor, ID_SIZE), "-2", "Renew shows a negative size");
        check(styleBoxes(editor) == 15, "Renew ticks all four boxes");
        PostMessageW(item(editor, IDOK), BM_CLICK, 0, 0);
        check(waitUntil([&] { return !IsWindow(editor); }), "editor closes on OK");
        settle(app.main);
    }
    checkRows(app, {"\x82\xE0\x82\xA9\x83\x5C", "c", "b", "a"}, -1,
              "Renew of row 0 keeps it at row 0, unselected");

    // Row 2, "b": no colour and size 0 show as empty fields.
    select(app, 2);
    editor = pressForEditor(app, ID_RENEW);
    if (editor != nullptr) {
        checkBytes(text(editor, ID_KEYWORD), "b", "Renew shows keyword b");
        checkBytes(text(editor, ID_COLOUR), "", "no colour shows an empty field");
        checkBytes(text(editor, ID_SIZE), "", "size 0 shows an empty field");
        check(styleBoxes(editor) == 0, "no style shows clear boxes");
        PostMessageW(item(editor, IDOK), BM_CLICK, 0, 0);
        check(waitUntil([&] { return !IsWindow(editor); }), "editor closes on OK");
        settle(app.main);
    }
    checkRows(app, {"\x82\xE0\x82\xA9\x83\x5C", "c", "b", "a"}, -1, "after Renew of b");

    // Row 3, "a" (bold and underline): clearing Bold and renaming.
    select(app, 3);
    editor = pressForEditor(app, ID_RENEW);
    if (editor != nullptr) {
        check(styleBoxes(editor) == 5, "bold and underline boxes ticked");
        checkBytes(text(editor, ID_SIZE), "5", "size shown");
        setText(editor, ID_KEYWORD, "a2");
        press(editor, ID_BOLD);
        PostMessageW(item(editor, IDOK), BM_CLICK, 0, 0);
        check(waitUntil([&] { return !IsWindow(editor); }), "editor closes on OK");
        settle(app.main);
    }
    checkRows(app, {"\x82\xE0\x82\xA9\x83\x5C", "c", "b", "a2"}, -1, "renamed row stays in place");
    close(app);
    entries[0] = {"a2", "FF0000", "5", "4"};
    checkBytes(settingsOf(app), settings(false, entries),
               "Renew replaced only the edited entry; bold cleared from it alone");
}

void editorLongKeyword() {
    App app;
    std::string dir = prepare("long-keyword", settings(false, {{"x", "000000", "1", "0"}}));
    if (!start(app, dir)) {
        return;
    }
    std::string keyword;
    for (int i = 0; i < 600; ++i) {
        keyword += static_cast<char>('0' + i % 10);
    }
    HWND editor = pressForEditor(app, ID_NEW);
    if (editor == nullptr) {
        check(false, "New opens the editor");
        return;
    }
    fillAndOk(app, editor, keyword, "", "", 0);
    std::string kept = keyword.substr(0, 511);
    checkRows(app, {kept, "x"}, 1, "a 600-byte keyword is cut to 511 bytes");
    check(IsWindow(app.main) != FALSE, "program still running");
    close(app);
    checkBytes(settingsOf(app),
               settings(false, {{"x", "000000", "1", "0"}, {kept, NO_COLOUR, "0", "0"}}),
               "the cut keyword is saved");
}

// ---------------------------------------------------------------- full group

void fullTable() {
    std::vector<Entry> entries;
    for (int i = 0; i < 512; ++i) {
        entries.push_back({"k" + std::to_string(i), "ABCDEF", std::to_string(i % 7), "1"});
    }
    App app;
    std::string dir = prepare("full", settings(false, entries));
    if (!start(app, dir)) {
        return;
    }
    check(rowCount(app) == 512, "512 rows shown (got %d)", rowCount(app));
    pressExpectingNoEditor(app, ID_NEW, "New with 512 entries");
    check(rowCount(app) == 512, "still 512 rows after New");
    // With room again, New works.
    select(app, 511);
    press(app.main, ID_DELETE);
    HWND editor = pressForEditor(app, ID_NEW);
    check(editor != nullptr, "New opens the editor with 511 entries");
    if (editor != nullptr) {
        fillAndOk(app, editor, "last", "", "", 0);
    }
    check(rowCount(app) == 512, "512 rows again");
    pressExpectingNoEditor(app, ID_NEW, "New with 512 entries again");
    close(app);
    entries.erase(entries.begin());
    entries.push_back({"last", NO_COLOUR, "0", "0"});
    checkBytes(settingsOf(app), settings(false, entries), "512 entries saved");
}

// ---------------------------------------------------------------- drop group

// A directory name that makes dir\many\NAME\s.texts exactly 255 bytes long.
std::string longPathPad(const std::string& dir) {
    size_t fixed = (dir + "\\many\\" + "\\s.texts").size();
    return std::string(255 - fixed, 'p');
}

// Makes a file whose path, 269 bytes long, begins with the 255 bytes of the
// path of another file, s.texts: a program that cut the path to fit its
// 256-byte slot would convert s.texts into s.html. Returns the path
// relative to dir, with '/'.
std::string makeLongPath(const std::string& dir) {
    std::string pad = longPathPad(dir);
    makeDir(dir + "\\many\\" + pad);
    writeFile(dir + "\\many\\" + pad + "\\s.texts", "short\n");
    makeDir(dir + "\\many\\" + pad + "\\s.textsmore");
    writeFile(dir + "\\many\\" + pad + "\\s.textsmore\\long.txt", "long\n");
    return "many/" + pad + "/s.textsmore/long.txt";
}

// The files are dropped by the drag source, which reads the plan written
// here: one Unix path a line, a blank line between drops, and signals by
// creating drops.done. The settings give "key" bold red and "ソ" (0x83 0x5C)
// size 3, with "<BR>" after every line.
void dropFiles() {
    scenario = "drop";
    std::string unixDir = workUnix + "/drop";
    if (workUnix.find('.') != std::string::npos) {
        check(false, "work directory %s must hold no '.'", workUnix.c_str());
        return;
    }
    std::string dir = prepare(
        "drop", settings(true, {{"key", "FF0000", "0", "1"}, {"\x83\x5C", NO_COLOUR, "3", "0"}}));
    std::string plan;
    auto addToPlan = [&](const std::string& name) {
        plan += narrow(widen(unixDir + "/" + name), CP_UTF8) + "\n";
    };
    // Drop 1: three files, a guarded page.html, a file with no dot, and two
    // files sharing an output name (the later one in drop order wins).
    writeFile(dir + "\\one.txt", "a key b\n");
    writeFile(dir + "\\\x83\x5C.txt", "x\x83\x5Cy\r\nkey\n");
    writeFile(dir + "\\page.html", "keep key\n");
    writeFile(dir + "\\noext", "key\n");
    writeFile(dir + "\\dup.txt", "first\n");
    writeFile(dir + "\\dup.log", "second\n");
    for (const char* name :
         {"one.txt", "\x83\x5C.txt", "page.html", "noext", "dup.txt", "dup.log"}) {
        addToPlan(name);
    }
    plan += "\n";
    // Drop 2: 600 files, more than one batch holds. order.txt comes first and
    // order.log last, in the second batch. A path over 255 bytes sits in the
    // first batch; cut to 255 bytes it would name short.txt.
    makeDir(dir + "\\many");
    writeFile(dir + "\\many\\order.txt", "early\n");
    addToPlan("many/order.txt");
    for (int i = 1; i < 599; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%03d.txt", i);
        writeFile(dir + "\\many\\" + name, std::to_string(i) + " key\n");
        addToPlan(std::string("many/") + name);
        if (i == 300) {
            addToPlan(makeLongPath(dir));
        }
    }
    writeFile(dir + "\\many\\order.log", "late\n");
    addToPlan("many/order.log");
    writeFile(dir + "\\plan.txt", plan);

    App app;
    if (!start(app, dir)) {
        return;
    }
    RECT rect;
    GetWindowRect(app.main, &rect);
    char ready[64];
    std::snprintf(ready, sizeof ready, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right,
                  rect.bottom);
    writeFile(dir + "\\ready.txt", ready);
    bool dropped = waitUntil([&] { return fileExists(dir + "\\drops.done"); }, 120000);
    check(dropped, "drag source finished");
    // Drops are posted before the drag source is told they are finished, so
    // the close request posted now is handled after every conversion.
    close(app);
    if (!dropped) {
        return;
    }
    checkBytes(readFile(dir + "\\one.html"), "a <B><font color=#FF0000>key</font></B> b\r\n<BR>",
               "one.txt converted");
    checkBytes(readFile(dir + "\\\x83\x5C.html"),
               "x<font size=3>\x83\x5C</font>y\r\n<BR><B><font color=#FF0000>key</font></B>\r\n"
               "<BR>",
               "Shift-JIS path converted");
    checkBytes(readFile(dir + "\\page.html"), "keep key\n",
               "page.html is its own output: untouched");
    check(!fileExists(dir + "\\noexthtml") && !fileExists(dir + "\\html") &&
              !fileExists(dir + "\\noext.html"),
          "a file with no dot gets no output");
    checkBytes(readFile(dir + "\\dup.html"), "second\r\n<BR>", "files converted in drop order");
    checkBytes(readFile(dir + "\\many\\order.html"), "late\r\n<BR>",
               "second batch converted after the first");
    int wrong = 0;
    for (int i = 1; i < 599; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "\\many\\f%03d.html", i);
        std::string expected = std::to_string(i) + " <B><font color=#FF0000>key</font></B>\r\n<BR>";
        if (readFile(dir + name) != expected) {
            if (++wrong <= 3) {
                checkBytes(readFile(dir + name), expected, name);
            }
        }
    }
    check(wrong == 0, "all 598 numbered files of a 600-file drop converted (%d wrong)", wrong);
    std::string cutTo = dir + "\\many\\" + longPathPad(dir) + "\\s.texts";
    check(!fileExists(cutTo.substr(0, cutTo.size() - 5) + "html"),
          "an over-long path is not cut into the name of another file");
    checkBytes(readFile(cutTo), "short\n", "the file it would be cut to is untouched");
    check(!fileExists(cutTo + "more\\long.html"), "an over-long path is skipped");
    checkBytes(settingsOf(app),
               settings(true, {{"key", "FF0000", "0", "1"}, {"\x83\x5C", NO_COLOUR, "3", "0"}}),
               "settings saved after the drops");
}

// ---------------------------------------------------------------- pose

// Not a test: shows both dialogs in turn for screenshots. Writes
// main.ready, waits for main.shot, opens the editor on the newest entry,
// writes editor.ready, waits for editor.shot, then closes everything.
void pose() {
    App app;
    std::vector<Entry> entries = abc();
    entries.push_back({"\x90\xD4\x82\xA2", "FF0000", "5", "5"}); // 赤い
    std::string dir = prepare("pose", settings(true, entries));
    if (!start(app, dir)) {
        return;
    }
    writeFile(dir + "\\main.ready", "");
    check(waitUntil([&] { return fileExists(dir + "\\main.shot"); }, 60000), "main shot taken");
    HWND editor = pressForEditor(app, ID_RENEW);
    check(editor != nullptr, "editor opens");
    writeFile(dir + "\\editor.ready", "");
    check(waitUntil([&] { return fileExists(dir + "\\editor.shot"); }, 60000), "editor shot taken");
    if (editor != nullptr) {
        PostMessageW(editor, WM_CLOSE, 0, 0);
        waitUntil([&] { return !IsWindow(editor); });
    }
    close(app);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: gui_driver GROUP TINTMARK_EXE WORK_DIR\n");
        return 2;
    }
    std::string group = argv[1];
    programPath = argv[2][0] == '/' ? toDos(argv[2]) : argv[2];
    workUnix = argv[3];
    makeDir(toDos(workUnix));
    if (group == "list") {
        listStartOrder();
        listCheckBox();
        listKeyboard();
        listDeleteMiddle();
        listDeleteLastAndGuards();
        listDeleteAll();
        listNoSettingsFile();
    } else if (group == "editor") {
        editorNew();
        editorSizesAndColours();
        editorCancel();
        editorEnterStores();
        editorRenew();
        editorLongKeyword();
    } else if (group == "full") {
        fullTable();
    } else if (group == "drop") {
        dropFiles();
    } else if (group == "pose") {
        pose();
    } else {
        std::fprintf(stderr, "unknown group %s\n", group.c_str());
        return 2;
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
