// Window tests, list group: the main window's list, check box and buttons.
#include "gui_support.h"

namespace gui {
namespace {

void listStartOrder() {
    App app;
    std::string dir = prepare("start-order", settingsText(false, abc()));
    if (!start(app, dir)) {
        return;
    }
    checkRows(app, {"c", "b", "a"}, 0, "after start");
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
}

} // namespace gui
