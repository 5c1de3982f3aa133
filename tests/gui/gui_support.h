// Support for the window tests: starting and closing the program, finding
// its windows, reading and working its controls through the W messages,
// file helpers and the check() that counts results. Scenario groups live in
// files of their own (gui_*_group.cpp) and use only what is declared here.
//
// Texts cross as code page 932 bytes: Wine answers the text messages of
// another process in UTF-16, so they are converted here, explicitly.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "core/decoration_table.h" // NO_COLOUR
#include "resource_ids.h"          // the templates' control ids
#include "test_support.h"          // files and settings files

namespace gui {

const DWORD WAIT_MS = 15000;

extern std::string programPath;
extern std::string workUnix; // Unix path of the work directory
extern std::string scenario; // named in failure messages
extern int passed;
extern int failed;

// Counts one result; a failure is printed with the scenario's name.
void check(bool ok, const char* format, ...);
// Printable form of code page 932 bytes for failure messages.
std::string shown(const std::string& bytes);
void checkBytes(const std::string& actual, const std::string& expected, const char* what);

std::string toDos(const std::string& unixPath);
std::wstring widen(const std::string& bytes, UINT codePage = 932);
std::string narrow(const std::wstring& wide, UINT codePage = 932);

// Files are named in code page 932 bytes (DOS paths) or UTF-16, through the
// helpers of test_support, so the driver's own code page never matters.
std::wstring fromUtf8(const std::string& text);

// Every file and directory under a directory, by relative path, with the
// files' bytes: two of them compare equal when nothing in between changed.
using Tree = std::map<std::wstring, std::string>;
Tree treeOf(const std::wstring& dir);

// Three entries created in the order a, b, c; b has no colour and no size.
std::vector<SettingsEntry> abc();

struct App {
    PROCESS_INFORMATION process{};
    HWND main = nullptr;
    std::string dir; // DOS path of its working directory
};

HWND waitForDialog(DWORD pid, HWND exclude, const wchar_t* title, DWORD timeout = WAIT_MS);

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
// means no settings file. Returns its DOS path.
std::string prepare(const char* name, const std::string& settingsText);
bool start(App& app, const std::string& dir);
// Starts `program` (a DOS path) instead of the one under test, in `dir`.
bool startProgram(App& app, const std::string& program, const std::string& dir);
// Copies the program under test into `dir`; returns the copy's DOS path.
std::string copyProgram(const std::string& dir);
// Close box: WM_CLOSE. The program must save, end by itself and return 0.
void close(App& app);
void settle(HWND window);
HWND item(HWND dialog, int id);

std::vector<std::string> rows(const App& app);
int rowCount(const App& app);
int selection(const App& app);
void select(const App& app, int row);
void checkRows(const App& app, const std::vector<std::string>& expected, int expectedSelection,
               const char* when);

void press(HWND dialog, int id);
HWND pressForEditor(const App& app, int id);
void pressExpectingNoEditor(const App& app, int id, const char* what);
void setText(HWND dialog, int id, const std::string& bytes);
std::string text(HWND dialog, int id);
int styleBoxes(HWND editor);
void setStyleBoxes(HWND editor, int style);
void fillAndOk(const App& app, HWND editor, const std::string& keyword, const std::string& colour,
               const std::string& size, int style);
void keyDown(HWND window, WPARAM key);
std::string settingsOf(const App& app);

// Clicks a button that opens a dialog owned by `owner` (a file or colour
// dialog) and returns that dialog, or null when none opened.
HWND pressForDialog(const App& app, HWND owner, int id);

// Status text 1011 and its texts, in code page 932: "N 件変換しました" and the
// start of a progress line, "変換中 ".
std::string status(const App& app);
std::string convertedLine(int count);
extern const char PROGRESS_START[];
// True while a batch runs: New waits for it, disabled.
bool batchRunning(const App& app);
// Waits until no batch runs and the status is `expected`; checks it.
void checkStatus(const App& app, const std::string& expected, const char* what);

// The groups, one file each; every one runs its scenarios in order.
void runListGroup();
void runEditorGroup();
void runEditorTextScenarios(); // part of the editor group
void runFullGroup();
void runDropGroup();
void runPoseGroup();
void runSaveGroup();
void runPlaceGroup();

} // namespace gui
