// Window tests, place group: where the settings file is read and saved when
// the program is started in some other folder than its own, as a shortcut
// with an empty "Start in" does. The program folder's file serves when the
// current folder has none and is saved back there; the current folder's
// wins when it has one; with neither, the current folder gets the file.
#include "gui_support.h"

namespace gui {
namespace {

// A scenario's two folders: prog, holding a copy of the program, and docs,
// the folder it is started in. Returns the copy's path.
std::string preparePlaces(const char* name, const std::string& progSettings,
                          const std::string& docsSettings, std::string* prog, std::string* docs) {
    const std::string dir = prepare(name, "");
    *prog = dir + "\\prog";
    *docs = dir + "\\docs";
    makeDir(*prog);
    makeDir(*docs);
    if (!progSettings.empty()) {
        writeFile(*prog + "\\TintMark.dat", progSettings);
    }
    if (!docsSettings.empty()) {
        writeFile(*docs + "\\TintMark.dat", docsSettings);
    }
    return copyProgram(*prog);
}

void besideTheProgram() {
    std::string prog;
    std::string docs;
    const std::string copy =
        preparePlaces("place-beside", settingsText(false, abc()), "", &prog, &docs);
    App app;
    if (!startProgram(app, copy, docs)) {
        return;
    }
    checkRows(app, {"c", "b", "a"}, 0, "the program folder's table is shown");
    press(app.main, IDC_LINE_BREAK_TAGS);
    select(app, 0);
    press(app.main, IDC_DELETE);
    close(app);
    checkBytes(readFile(prog + "\\TintMark.dat"), settingsText(true, {abc()[0], abc()[1]}),
               "closing saves the change beside the program");
    check(treeOf(widen(docs)).empty(), "nothing made in the folder it was started in");
    check(treeOf(widen(prog)).size() == 2, "nothing else made beside the program");
}

void currentFolderWins() {
    std::string prog;
    std::string docs;
    const std::vector<SettingsEntry> here = {{"here", "0000FF", "2", "1"}};
    const std::string copy = preparePlaces("place-current", settingsText(false, abc()),
                                           settingsText(false, here), &prog, &docs);
    App app;
    if (!startProgram(app, copy, docs)) {
        return;
    }
    checkRows(app, {"here"}, 0, "the current folder's table is shown");
    press(app.main, IDC_LINE_BREAK_TAGS);
    close(app);
    checkBytes(readFile(docs + "\\TintMark.dat"), settingsText(true, here),
               "closing saves the current folder's file");
    checkBytes(readFile(prog + "\\TintMark.dat"), settingsText(false, abc()),
               "the program folder's file untouched");
}

void neitherFolderHasOne() {
    std::string prog;
    std::string docs;
    const std::string copy = preparePlaces("place-neither", "", "", &prog, &docs);
    App app;
    if (!startProgram(app, copy, docs)) {
        return;
    }
    checkRows(app, {}, -1, "no file: the list starts empty");
    close(app);
    checkBytes(readFile(docs + "\\TintMark.dat"),
               settingsText(false, {{DEFAULT_ENTRY_KEYWORD, "16711680", "6", "0"}}),
               "closing makes the file in the current folder");
    check(!fileExists(prog + "\\TintMark.dat"), "none made beside the program");
}

} // namespace

void runPlaceGroup() {
    besideTheProgram();
    currentFolderWins();
    neitherFolderHasOne();
}

} // namespace gui
