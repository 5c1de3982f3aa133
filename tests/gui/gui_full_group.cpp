// Window tests, full group: a table holding its 512 entries.
#include "gui_support.h"

namespace gui {
namespace {

void fullTable() {
    std::vector<SettingsEntry> entries;
    for (int i = 0; i < 512; ++i) {
        entries.push_back({"k" + std::to_string(i), "ABCDEF", std::to_string(i % 7), "1"});
    }
    App app;
    std::string dir = prepare("full", settingsText(false, entries));
    if (!start(app, dir)) {
        return;
    }
    check(rowCount(app) == 512, "512 rows shown (got %d)", rowCount(app));
    pressExpectingNoEditor(app, IDC_NEW, "New with 512 entries");
    check(rowCount(app) == 512, "still 512 rows after New");
    // With room again, New works.
    select(app, 511);
    press(app.main, IDC_DELETE);
    HWND editor = pressForEditor(app, IDC_NEW);
    check(editor != nullptr, "New opens the editor with 511 entries");
    if (editor != nullptr) {
        fillAndOk(app, editor, "last", "", "", 0);
    }
    check(rowCount(app) == 512, "512 rows again");
    pressExpectingNoEditor(app, IDC_NEW, "New with 512 entries again");
    close(app);
    entries.erase(entries.begin());
    entries.push_back({"last", NO_COLOUR, "0", "0"});
    checkBytes(settingsOf(app), settingsText(false, entries), "512 entries saved");
}
} // namespace

void runFullGroup() {
    fullTable();
}

} // namespace gui
