// Support for the window tests; see gui_support.h.
#include "gui_support.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace gui {

std::string programPath;
std::string workUnix;
std::string scenario;
int passed = 0;
int failed = 0;

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

std::wstring widen(const std::string& bytes, UINT codePage) {
    if (bytes.empty()) {
        return std::wstring();
    }
    int n =
        MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[0], n);
    return wide;
}

std::string narrow(const std::wstring& wide, UINT codePage) {
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

std::wstring fromUtf8(const std::string& text) {
    return widen(text, CP_UTF8);
}

static void addTree(const std::wstring& dir, const std::wstring& under, Tree& tree) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((L"\\\\?\\" + dir + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            tree[under + name + L"\\"] = "<dir>";
            addTree(dir + L"\\" + name, under + name + L"\\", tree);
        } else {
            tree[under + name] = readFile(dir + L"\\" + name);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

Tree treeOf(const std::wstring& dir) {
    Tree tree;
    addTree(dir, L"", tree);
    return tree;
}

// Three entries created in the order a, b, c; b has no colour and no size.
std::vector<SettingsEntry> abc() {
    return {{"a", "FF0000", "5", "5"}, {"b", NO_COLOUR, "0", "0"}, {"c", "00FF00", "3", "8"}};
}

namespace {

struct FindWindowQuery {
    DWORD pid;
    HWND exclude;
    const wchar_t* title; // null: any
    HWND owner;           // null: any
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
    if (std::wcscmp(className, L"#32770") != 0 ||
        (query->owner != nullptr && GetWindow(window, GW_OWNER) != query->owner)) {
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

} // namespace

static HWND findDialogWindow(DWORD pid, HWND exclude, const wchar_t* title, HWND owner,
                             DWORD timeout) {
    DWORD start = GetTickCount();
    do {
        FindWindowQuery query{pid, exclude, title, owner, nullptr};
        EnumWindows(findDialog, reinterpret_cast<LPARAM>(&query));
        if (query.found != nullptr) {
            return query.found;
        }
        Sleep(20);
    } while (GetTickCount() - start < timeout);
    return nullptr;
}

HWND waitForDialog(DWORD pid, HWND exclude, const wchar_t* title, DWORD timeout) {
    return findDialogWindow(pid, exclude, title, nullptr, timeout);
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
    return startProgram(app, programPath, dir);
}

bool startProgram(App& app, const std::string& program, const std::string& dir) {
    app.dir = dir;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + program + "\"";
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        dir.c_str(), &startup, &app.process)) {
        check(false, "cannot start %s (error %lu)", program.c_str(), GetLastError());
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
    HWND list = item(app.main, IDC_KEYWORD_LIST);
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
    return static_cast<int>(SendMessageW(item(app.main, IDC_KEYWORD_LIST), LB_GETCOUNT, 0, 0));
}

int selection(const App& app) {
    return static_cast<int>(SendMessageW(item(app.main, IDC_KEYWORD_LIST), LB_GETCURSEL, 0, 0));
}

void select(const App& app, int row) {
    SendMessageW(item(app.main, IDC_KEYWORD_LIST), LB_SETCURSEL, static_cast<WPARAM>(row), 0);
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
        if (SendMessageW(item(editor, IDC_BOLD + k), BM_GETCHECK, 0, 0) == BST_CHECKED) {
            style |= 1 << k;
        }
    }
    return style;
}

void setStyleBoxes(HWND editor, int style) {
    for (int k = 0; k < 4; ++k) {
        bool want = (style & (1 << k)) != 0;
        bool is = SendMessageW(item(editor, IDC_BOLD + k), BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (want != is) {
            press(editor, IDC_BOLD + k); // an automatic check box toggles on a click
        }
    }
}

// Fills the editor and presses OK; waits until the editor has gone.
void fillAndOk(const App& app, HWND editor, const std::string& keyword, const std::string& colour,
               const std::string& size, int style) {
    setText(editor, IDC_KEYWORD, keyword);
    setText(editor, IDC_FONT_COLOUR, colour);
    setText(editor, IDC_FONT_SIZE, size);
    setStyleBoxes(editor, style);
    PostMessageW(item(editor, IDOK), BM_CLICK, 0, 0);
    check(waitUntil([&] { return !IsWindow(editor); }), "editor closes on OK");
    settle(app.main);
}

void keyDown(HWND window, WPARAM key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

std::string copyProgram(const std::string& dir) {
    const std::string copy = dir + "\\tintmark.exe";
    const bool copied = CopyFileW(widen(programPath).c_str(), widen(copy).c_str(), FALSE) != FALSE;
    check(copied, "copy the program to %s (error %lu)", copy.c_str(), GetLastError());
    return copy;
}

std::string settingsOf(const App& app) {
    return readFile(app.dir + "\\TintMark.dat");
}

HWND pressForDialog(const App& app, HWND owner, int id) {
    PostMessageW(item(owner, id), BM_CLICK, 0, 0);
    return findDialogWindow(app.process.dwProcessId, nullptr, nullptr, owner, WAIT_MS);
}

const char PROGRESS_START[] = "\x95\xCF\x8A\xB7\x92\x86 "; // 変換中

std::string status(const App& app) {
    return text(app.main, IDC_STATUS);
}

std::string convertedLine(int count) {
    return std::to_string(count) + " \x8C\x8F\x95\xCF\x8A\xB7\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
}

bool batchRunning(const App& app) {
    return IsWindowEnabled(item(app.main, IDC_NEW)) == FALSE;
}

void checkStatus(const App& app, const std::string& expected, const char* what) {
    waitUntil([&] { return !batchRunning(app) && status(app) == expected; }, 120000);
    checkBytes(status(app), expected, what);
}
} // namespace gui
