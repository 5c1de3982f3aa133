// Not a test group: poses the dialogs for screenshots (screenshots.sh).
#include "gui_support.h"

namespace gui {
namespace {

// Not a test: shows both dialogs in turn for screenshots. Writes
// main.ready, waits for main.shot, opens the editor on the newest entry,
// writes editor.ready, waits for editor.shot, then closes everything.
void pose() {
    App app;
    std::vector<SettingsEntry> entries = abc();
    entries.push_back({"\x90\xD4\x82\xA2", "FF0000", "5", "5"}); // 赤い
    std::string dir = prepare("pose", settingsText(true, entries));
    if (!start(app, dir)) {
        return;
    }
    writeFile(dir + "\\main.ready", "");
    check(waitUntil([&] { return fileExists(dir + "\\main.shot"); }, 60000), "main shot taken");
    HWND editor = pressForEditor(app, IDC_RENEW);
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

void runPoseGroup() {
    pose();
}

} // namespace gui
