// Window tests, editor group: New and Renew through the editor dialog.
#include "gui_support.h"

namespace gui {
namespace {

void editorNew() {
    App app;
    std::string dir = prepare("new", settingsText(false, abc()));
    if (!start(app, dir)) {
        return;
    }
    HWND editor = pressForEditor(app, IDC_NEW);
    check(editor != nullptr, "New opens the editor");
    if (editor == nullptr) {
        return;
    }
    check(text(editor, IDC_KEYWORD).empty() && text(editor, IDC_FONT_COLOUR).empty() &&
              text(editor, IDC_FONT_SIZE).empty() && styleBoxes(editor) == 0,
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
    editor = pressForEditor(app, IDC_NEW);
    if (editor != nullptr) {
        fillAndOk(app, editor, "", "", "", 0);
    }
    checkRows(app, {"", "\x90\xD4\x82\xA2", "c", "b", "a"}, 2, "New with empty fields");
    close(app);
    std::vector<SettingsEntry> expected = abc();
    expected.push_back({"\x90\xD4\x82\xA2", "FF0000", "12", "9"});
    expected.push_back({"", NO_COLOUR, "0", "0"});
    checkBytes(settingsOf(app), settingsText(false, expected), "new entries appended in order");
}

void editorSizesAndColours() {
    App app;
    std::string dir = prepare("sizes-colours", settingsText(false, {}));
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
    std::vector<SettingsEntry> expected;
    for (const Case& c : cases) {
        HWND editor = pressForEditor(app, IDC_NEW);
        if (editor == nullptr) {
            check(false, "New opens the editor");
            break;
        }
        fillAndOk(app, editor, c.keyword, c.colour, c.size, 2);
        expected.push_back({c.keyword, c.savedColour, c.savedSize, "2"});
    }
    close(app);
    checkBytes(settingsOf(app), settingsText(false, expected),
               "sizes parsed as decimal prefixes and clamped, colours cut to six bytes");
}

void editorCancel() {
    App app;
    std::string dir = prepare("cancel", settingsText(false, abc()));
    if (!start(app, dir)) {
        return;
    }
    // Cancel button, Escape in a field, and the close request all end the
    // editor without a change.
    HWND editor = pressForEditor(app, IDC_NEW);
    if (editor != nullptr) {
        setText(editor, IDC_KEYWORD, "typed");
        press(editor, IDC_BOLD);
        PostMessageW(item(editor, IDCANCEL), BM_CLICK, 0, 0);
        check(waitUntil([&] { return !IsWindow(editor); }), "Cancel closes the editor");
        settle(app.main);
    }
    checkRows(app, {"c", "b", "a"}, 0, "after New, Cancel");
    editor = pressForEditor(app, IDC_NEW);
    if (editor != nullptr) {
        setText(editor, IDC_KEYWORD, "typed");
        keyDown(item(editor, IDC_KEYWORD), VK_ESCAPE);
        check(waitUntil([&] { return !IsWindow(editor); }), "Escape closes the editor");
        settle(app.main);
    }
    checkRows(app, {"c", "b", "a"}, 0, "after New, Escape");
    select(app, 2);
    editor = pressForEditor(app, IDC_RENEW);
    if (editor != nullptr) {
        setText(editor, IDC_KEYWORD, "typed");
        PostMessageW(editor, WM_CLOSE, 0, 0);
        check(waitUntil([&] { return !IsWindow(editor); }), "close request closes the editor");
        settle(app.main);
    }
    checkRows(app, {"c", "b", "a"}, 2, "after Renew, close request");
    close(app);
    checkBytes(settingsOf(app), settingsText(false, abc()), "table unchanged after cancelling");
}

void editorEnterStores() {
    App app;
    std::string dir = prepare("enter-stores", settingsText(false, abc()));
    if (!start(app, dir)) {
        return;
    }
    HWND editor = pressForEditor(app, IDC_NEW);
    if (editor == nullptr) {
        check(false, "New opens the editor");
        return;
    }
    setText(editor, IDC_KEYWORD, "entered");
    setText(editor, IDC_FONT_SIZE, "4");
    // The focus starts on the keyword field; Enter goes to OK.
    keyDown(item(editor, IDC_KEYWORD), VK_RETURN);
    check(waitUntil([&] { return !IsWindow(editor); }), "Enter closes the editor");
    settle(app.main);
    check(waitUntil([&] { return rowCount(app) == 4; }), "Enter stored the entry");
    checkRows(app, {"entered", "c", "b", "a"}, 1, "after Enter in the editor");
    close(app);
    std::vector<SettingsEntry> expected = abc();
    expected.push_back({"entered", NO_COLOUR, "4", "0"});
    checkBytes(settingsOf(app), settingsText(false, expected), "Enter stored the typed entry");
}

void editorRenew() {
    App app;
    std::vector<SettingsEntry> entries = abc();
    entries.push_back({"\x82\xE0\x82\xA9\x83\x5C", "FFFFFF", "-2", "15"}); // もかソ
    std::string dir = prepare("renew", settingsText(false, entries));
    if (!start(app, dir)) {
        return;
    }
    // Row 0, the newest entry, with a Shift-JIS keyword: unchanged OK keeps
    // every byte.
    HWND editor = pressForEditor(app, IDC_RENEW);
    if (editor != nullptr) {
        checkBytes(text(editor, IDC_KEYWORD), "\x82\xE0\x82\xA9\x83\x5C",
                   "Renew shows the keyword");
        checkBytes(text(editor, IDC_FONT_COLOUR), "FFFFFF", "Renew shows the colour");
        checkBytes(text(editor, IDC_FONT_SIZE), "-2", "Renew shows a negative size");
        check(styleBoxes(editor) == 15, "Renew ticks all four boxes");
        PostMessageW(item(editor, IDOK), BM_CLICK, 0, 0);
        check(waitUntil([&] { return !IsWindow(editor); }), "editor closes on OK");
        settle(app.main);
    }
    checkRows(app, {"\x82\xE0\x82\xA9\x83\x5C", "c", "b", "a"}, -1,
              "Renew of row 0 keeps it at row 0, unselected");

    // Row 2, "b": no colour and size 0 show as empty fields.
    select(app, 2);
    editor = pressForEditor(app, IDC_RENEW);
    if (editor != nullptr) {
        checkBytes(text(editor, IDC_KEYWORD), "b", "Renew shows keyword b");
        checkBytes(text(editor, IDC_FONT_COLOUR), "", "no colour shows an empty field");
        checkBytes(text(editor, IDC_FONT_SIZE), "", "size 0 shows an empty field");
        check(styleBoxes(editor) == 0, "no style shows clear boxes");
        PostMessageW(item(editor, IDOK), BM_CLICK, 0, 0);
        check(waitUntil([&] { return !IsWindow(editor); }), "editor closes on OK");
        settle(app.main);
    }
    checkRows(app, {"\x82\xE0\x82\xA9\x83\x5C", "c", "b", "a"}, -1, "after Renew of b");

    // Row 3, "a" (bold and underline): clearing Bold and renaming.
    select(app, 3);
    editor = pressForEditor(app, IDC_RENEW);
    if (editor != nullptr) {
        check(styleBoxes(editor) == 5, "bold and underline boxes ticked");
        checkBytes(text(editor, IDC_FONT_SIZE), "5", "size shown");
        setText(editor, IDC_KEYWORD, "a2");
        press(editor, IDC_BOLD);
        PostMessageW(item(editor, IDOK), BM_CLICK, 0, 0);
        check(waitUntil([&] { return !IsWindow(editor); }), "editor closes on OK");
        settle(app.main);
    }
    checkRows(app, {"\x82\xE0\x82\xA9\x83\x5C", "c", "b", "a2"}, -1, "renamed row stays in place");
    close(app);
    entries[0] = {"a2", "FF0000", "5", "4"};
    checkBytes(settingsOf(app), settingsText(false, entries),
               "Renew replaced only the edited entry; bold cleared from it alone");
}

// The colour dialog's red, green and blue fields.
const int COLOUR_FIELDS[] = {706, 707, 708};

// "..." opens the colour dialog at the field's colour; OK writes the choice
// as RRGGBB, Cancel leaves the field. The sample follows the keyword.
void editorColourButton() {
    App app;
    std::string dir = prepare("colour-button", settingsText(false, {}));
    if (!start(app, dir)) {
        return;
    }
    HWND editor = pressForEditor(app, IDC_NEW);
    if (editor == nullptr) {
        check(false, "New opens the editor");
        return;
    }
    // サンプル while the keyword is empty, then the keyword as typed.
    checkBytes(text(editor, IDC_SAMPLE), "\x83\x54\x83\x93\x83\x76\x83\x8B",
               "the sample shows a fixed word for an empty keyword");
    setText(editor, IDC_KEYWORD, "\x90\xD4");
    checkBytes(text(editor, IDC_SAMPLE), "\x90\xD4", "the sample follows the keyword");
    struct Case {
        const char* field;     // before the dialog
        const char* shown[3];  // what the dialog starts at; null: not checked
        const char* picked[3]; // typed into the dialog; null: Cancel
        const char* after;     // the field afterwards
    };
    const Case cases[] = {
        {"12ab34", {"18", "171", "52"}, {"255", "128", "0"}, "FF8000"},
        {"FF8000", {"255", "128", "0"}, {nullptr, nullptr, nullptr}, "FF8000"},
        {"#FF0000", {nullptr, nullptr, nullptr}, {"0", "0", "10"}, "00000A"},
    };
    for (const Case& c : cases) {
        setText(editor, IDC_FONT_COLOUR, c.field);
        HWND dialog = pressForDialog(app, editor, IDC_CHOOSE_COLOUR);
        check(dialog != nullptr, "... opens the colour dialog for %s", c.field);
        if (dialog == nullptr) {
            continue;
        }
        for (int k = 0; k < 3; ++k) {
            if (c.shown[k] != nullptr) {
                checkBytes(text(dialog, COLOUR_FIELDS[k]), c.shown[k],
                           "the dialog starts at the field's colour");
            }
            if (c.picked[k] != nullptr) {
                setText(dialog, COLOUR_FIELDS[k], c.picked[k]);
            }
        }
        PostMessageW(item(dialog, c.picked[0] != nullptr ? IDOK : IDCANCEL), BM_CLICK, 0, 0);
        check(waitUntil([&] { return !IsWindow(dialog); }), "the colour dialog closes");
        settle(editor);
        checkBytes(text(editor, IDC_FONT_COLOUR), c.after, "the colour field after the dialog");
    }
    fillAndOk(app, editor, "\x90\xD4", "FF8000", "", 0);
    close(app);
    checkBytes(settingsOf(app), settingsText(false, {{"\x90\xD4", "FF8000", "0", "0"}}),
               "the picked colour is stored");
}

void editorLongKeyword() {
    App app;
    std::string dir = prepare("long-keyword", settingsText(false, {{"x", "000000", "1", "0"}}));
    if (!start(app, dir)) {
        return;
    }
    std::string keyword;
    for (int i = 0; i < 600; ++i) {
        keyword += static_cast<char>('0' + i % 10);
    }
    HWND editor = pressForEditor(app, IDC_NEW);
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
               settingsText(false, {{"x", "000000", "1", "0"}, {kept, NO_COLOUR, "0", "0"}}),
               "the cut keyword is saved");
}
} // namespace

void runEditorGroup() {
    editorNew();
    editorSizesAndColours();
    editorCancel();
    editorEnterStores();
    editorRenew();
    editorLongKeyword();
    editorColourButton();
    runEditorTextScenarios();
}

} // namespace gui
