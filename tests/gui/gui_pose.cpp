// Not a test group: poses the dialogs for screenshots (screenshots.sh).
#include "gui_support.h"

namespace gui {
namespace {

// Writes NAME.ready and waits for screenshots.sh to write NAME.shot.
void shoot(const std::string& dir, const char* name) {
    writeFile(dir + "\\" + name + ".ready", "");
    check(waitUntil([&] { return fileExists(dir + "\\" + name + ".shot"); }, 60000),
          "%s shot taken", name);
}

void closeDialog(HWND dialog, int button) {
    if (dialog != nullptr) {
        PostMessageW(item(dialog, button), BM_CLICK, 0, 0);
        waitUntil([&] { return !IsWindow(dialog); });
    }
}

// Not a test: shows in turn the main window, the editor on the newest
// entry, the colour dialog over it, and the status after a drop with files
// skipped (dropped by xdnd_drop.py, which reads plan.txt).
void pose() {
    App app;
    std::vector<SettingsEntry> entries = abc();
    entries.push_back({"\x90\xD4\x82\xA2", "FF0000", "5", "5"}); // 赤い
    std::string dir = prepare("pose", settingsText(true, entries));
    std::string plan;
    for (const char* name : {"memo.txt", "page.html", "README"}) {
        writeFile(dir + "\\" + name, "a b c\n");
        plan += workUnix + "/pose/" + name + "\n";
    }
    writeFile(dir + "\\plan.txt", plan);
    if (!start(app, dir)) {
        return;
    }
    shoot(dir, "main");
    HWND editor = pressForEditor(app, IDC_RENEW);
    check(editor != nullptr, "editor opens");
    shoot(dir, "editor");
    if (editor != nullptr) {
        HWND colours = pressForDialog(app, editor, IDC_CHOOSE_COLOUR);
        check(colours != nullptr, "colour dialog opens");
        shoot(dir, "colour");
        closeDialog(colours, IDCANCEL);
        closeDialog(editor, IDCANCEL);
    }
    RECT rect;
    GetWindowRect(app.main, &rect);
    writeFile(dir + "\\ready.txt", std::to_string(rect.left) + " " + std::to_string(rect.top) +
                                       " " + std::to_string(rect.right) + " " +
                                       std::to_string(rect.bottom) + "\n");
    waitUntil([&] { return status(app).rfind(convertedLine(1), 0) == 0; }, 60000);
    shoot(dir, "status");
    close(app);
}
} // namespace

void runPoseGroup() {
    pose();
}

} // namespace gui
