// Window tests, list group: the main window's list, check box and buttons.
#include "gui_support.h"

namespace gui {
namespace {

// The rows are drawn by the window, as their entries look: the screen
// itself is read. c (green, struck through) is selected: highlight colours
// and a green swatch; a (red, bold, underlined) has red pixels; b has none.
void checkRowPixels(const App& app) {
    HWND list = item(app.main, IDC_KEYWORD_LIST);
    const LONG style = GetWindowLongW(list, GWL_STYLE);
    check((style & (LBS_OWNERDRAWFIXED | LBS_HASSTRINGS)) == (LBS_OWNERDRAWFIXED | LBS_HASSTRINGS),
          "the list is owner-drawn and keeps its strings (style %#lx)", style);
    auto count = [&](int row, COLORREF colour) {
        RECT rect{};
        SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&rect));
        MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&rect), 2);
        HDC screen = GetDC(nullptr);
        int found = 0;
        for (LONG y = rect.top; y < rect.bottom; ++y) {
            for (LONG x = rect.left; x < rect.right; ++x) {
                found += GetPixel(screen, x, y) == colour ? 1 : 0;
            }
        }
        ReleaseDC(nullptr, screen);
        return found;
    };
    const COLORREF red = RGB(255, 0, 0), green = RGB(0, 255, 0);
    waitUntil([&] { return count(0, green) > 0 && count(2, red) > 0; }, 3000);
    check(count(0, GetSysColor(COLOR_HIGHLIGHT)) > 0 && count(0, green) > 0,
          "the selected row has the highlight colour and its entry's colour as a swatch");
    check(count(2, red) > 0 && count(1, red) == 0 && count(1, green) == 0,
          "a is drawn in red, b in no colour of its own");
}

void listStartOrder() {
    App app;
    std::string dir = prepare("start-order", settingsText(false, abc()));
    if (!start(app, dir)) {
        return;
    }
    checkRows(app, {"c", "b", "a"}, 0, "after start");
    checkRowPixels(app);
    RECT rect;
    GetWindowRect(app.main, &rect);
    check(rect.left == 0 && rect.top == 0, "opens at the top-left of the screen (%ld,%ld)",
          rect.left, rect.top);
    check(SendMessageW(item(app.main, IDC_LINE_BREAK_TAGS), BM_GETCHECK, 0, 0) == BST_UNCHECKED,
          "check box clear for option 0");
    close(app);
    checkBytes(settingsOf(app), settingsText(false, abc()), "unchanged table saved as loaded");
}

void listCheckBox() {
    App app;
    std::string dir = prepare("check-box-on", settingsText(false, abc()));
    if (start(app, dir)) {
        press(app.main, IDC_LINE_BREAK_TAGS);
        close(app);
        checkBytes(settingsOf(app), settingsText(true, abc()), "ticked check box saved as 1");
    }
    dir = prepare("check-box-off", settingsText(true, abc()));
    if (start(app, dir)) {
        check(SendMessageW(item(app.main, IDC_LINE_BREAK_TAGS), BM_GETCHECK, 0, 0) == BST_CHECKED,
              "check box ticked for option 1");
        press(app.main, IDC_LINE_BREAK_TAGS);
        close(app);
        checkBytes(settingsOf(app), settingsText(false, abc()), "cleared check box saved as 0");
    }
}

void listKeyboard() {
    App app;
    std::string dir = prepare("enter-deletes", settingsText(false, abc()));
    if (!start(app, dir)) {
        return;
    }
    // The focus starts on the list; Enter goes to the default button, Delete.
    keyDown(item(app.main, IDC_KEYWORD_LIST), VK_RETURN);
    check(waitUntil([&] { return rowCount(app) == 2; }), "Enter on the list deletes a row");
    checkRows(app, {"b", "a"}, 0, "after Enter");
    // Escape (IDCANCEL) does nothing. A later posted selection change shows
    // when the key has been handled.
    keyDown(item(app.main, IDC_KEYWORD_LIST), VK_ESCAPE);
    PostMessageW(item(app.main, IDC_KEYWORD_LIST), LB_SETCURSEL, 1, 0);
    waitUntil([&] { return selection(app) == 1; });
    check(IsWindowVisible(app.main) != FALSE, "Escape leaves the window open");
    checkRows(app, {"b", "a"}, 1, "after Escape");
    close(app);
    std::vector<SettingsEntry> expected = abc();
    expected.pop_back();
    checkBytes(settingsOf(app), settingsText(false, expected), "Enter removed the newest entry");
}

void listDeleteMiddle() {
    App app;
    std::string dir = prepare("delete-middle", settingsText(false, abc()));
    if (!start(app, dir)) {
        return;
    }
    select(app, 1);
    press(app.main, IDC_DELETE);
    checkRows(app, {"c", "a"}, 1, "after Delete of row 1");
    close(app);
    std::vector<SettingsEntry> all = abc();
    checkBytes(settingsOf(app), settingsText(false, {all[0], all[2]}), "middle entry removed");
}

void listDeleteLastAndGuards() {
    App app;
    std::string dir = prepare("delete-last", settingsText(false, abc()));
    if (!start(app, dir)) {
        return;
    }
    select(app, 2);
    press(app.main, IDC_DELETE);
    checkRows(app, {"c", "b"}, -1, "after Delete of the bottom row");
    // No row is selected now: Delete and Renew must leave table and list alone.
    press(app.main, IDC_DELETE);
    checkRows(app, {"c", "b"}, -1, "Delete with no selection");
    pressExpectingNoEditor(app, IDC_RENEW, "Renew with no selection");
    checkRows(app, {"c", "b"}, -1, "Renew with no selection");
    close(app);
    std::vector<SettingsEntry> all = abc();
    checkBytes(settingsOf(app), settingsText(false, {all[1], all[2]}), "oldest entry removed only");
}

void listDeleteAll() {
    App app;
    std::string dir = prepare("delete-all", settingsText(true, abc()));
    if (!start(app, dir)) {
        return;
    }
    for (int i = 0; i < 3; ++i) {
        press(app.main, IDC_DELETE);
    }
    checkRows(app, {}, -1, "after deleting every entry");
    // Further presses on an empty list change nothing (the count must not
    // go below zero).
    press(app.main, IDC_DELETE);
    pressExpectingNoEditor(app, IDC_RENEW, "Renew on an empty list");
    checkRows(app, {}, -1, "Delete on an empty list");
    close(app);
    checkBytes(settingsOf(app), settingsText(true, {{DEFAULT_ENTRY_KEYWORD, "16711680", "6", "0"}}),
               "empty table saved as the default entry");
    // The default entry loads like any other: its colour is the first six
    // bytes of its colour line.
    if (start(app, dir)) {
        checkRows(app, {DEFAULT_ENTRY_KEYWORD}, 0, "restart after saving the default entry");
        close(app);
        checkBytes(settingsOf(app),
                   settingsText(true, {{DEFAULT_ENTRY_KEYWORD, "167116", "6", "0"}}),
                   "default entry saved back");
    }
}

BOOL CALLBACK findEdit(HWND child, LPARAM found) {
    wchar_t className[16] = {};
    GetClassNameW(child, className, 16);
    if (_wcsicmp(className, L"Edit") != 0) {
        return TRUE;
    }
    *reinterpret_cast<HWND*>(found) = child;
    return FALSE;
}

// Picks `path` in the file dialog and presses its Open button. The name
// field is the dialog's one edit control (inside its name combo box).
void chooseInFileDialog(HWND dialog, const std::string& path) {
    HWND name = nullptr;
    EnumChildWindows(dialog, findEdit, reinterpret_cast<LPARAM>(&name));
    check(name != nullptr, "the file dialog has a file name field");
    const std::wstring wide = widen(path);
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    check(waitUntil([&] { return !IsWindow(dialog); }), "the file dialog closes on Open");
}

// Convert converts the chosen file as a drop would; the dialog starts in the
// folder of the latest one, and Cancel does nothing. The current folder,
// where the settings are saved, stays the one the program started in.
void listConvert() {
    const std::vector<SettingsEntry> entries = {{"key", "FF0000", "0", "1"}};
    App app;
    std::string dir = prepare("convert", settingsText(false, entries));
    makeDir(dir + "\\docs");
    writeFile(dir + "\\docs\\chosen.txt", "a key\n");
    writeFile(dir + "\\docs\\next.txt", "key b\n");
    writeFile(dir + "\\docs\\noext", "key\n");
    if (!start(app, dir)) {
        return;
    }
    const std::string key = "<B><font color=#FF0000>key</font></B>";
    struct Case {
        std::string typed; // in the dialog's name field; empty: Cancel
        std::string output;
        std::string expected;
        std::string status;
    };
    const Case cases[] = {
        {dir + "\\docs\\chosen.txt", "chosen.html", "a " + key + "\r\n", convertedLine(1)},
        // A bare name: the dialog starts in docs, the folder of the last Convert.
        {"next.txt", "next.html", key + " b\r\n", convertedLine(1)},
        {"\"next.txt\" \"noext\"", "next.html", key + " b\r\n",
         convertedLine(1) + "\r\nnoext\x81\x46\x8F\x6F\x97\xCD\x96\xBC\x82\xC8\x82\xB5"},
        {"", "next.html", key + " b\r\n",
         convertedLine(1) + "\r\nnoext\x81\x46\x8F\x6F\x97\xCD\x96\xBC\x82\xC8\x82\xB5"},
    };
    for (const Case& c : cases) {
        DeleteFileW(widen(dir + "\\docs\\" + c.output).c_str());
        HWND dialog = pressForDialog(app, app.main, IDC_CONVERT);
        check(dialog != nullptr, "Convert opens the file dialog");
        if (dialog == nullptr) {
            break;
        }
        if (c.typed.empty()) {
            PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
            check(waitUntil([&] { return !IsWindow(dialog); }), "Cancel closes the file dialog");
            settle(app.main);
            check(!fileExists(dir + "\\docs\\" + c.output), "Cancel converts nothing");
        } else {
            chooseInFileDialog(dialog, c.typed);
            waitUntil([&] { return readFile(dir + "\\docs\\" + c.output) == c.expected; });
            checkBytes(readFile(dir + "\\docs\\" + c.output), c.expected,
                       ("Convert of " + c.typed).c_str());
        }
        checkStatus(app, c.status, ("status after Convert of " + c.typed).c_str());
    }
    close(app);
    checkBytes(settingsOf(app), settingsText(false, entries),
               "settings saved in the folder the program started in");
}

void listNoSettingsFile() {
    App app;
    std::string dir = prepare("no-settings-file", "");
    if (!start(app, dir)) {
        return;
    }
    checkRows(app, {}, -1, "first start without a settings file");
    close(app);
    checkBytes(settingsOf(app),
               settingsText(false, {{DEFAULT_ENTRY_KEYWORD, "16711680", "6", "0"}}),
               "first close writes the default entry");
}
} // namespace

void runListGroup() {
    listStartOrder();
    listCheckBox();
    listKeyboard();
    listDeleteMiddle();
    listDeleteLastAndGuards();
    listDeleteAll();
    listNoSettingsFile();
    listConvert();
}

} // namespace gui
