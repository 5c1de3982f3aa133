// Window tests, editor group, continued: texts crossing the window as UTF-16.
// The table holds code page 932 bytes whatever the system's ANSI code page;
// the controls hold UTF-16. These run in both locales, where a program
// relying on the ANSI calls would store "??" or show mojibake.
#include "gui_support.h"

#include <set>

namespace gui {
namespace {

const char* const IMPORTANT = "\x8F\x64\x97\x76"; // 重要
const char* const CAUTION = "\x92\x8D\x88\xD3";   // 注意

void setTextW(HWND dialog, int id, const std::wstring& text) {
    SendMessageW(item(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring textW(HWND window) {
    wchar_t buffer[512] = {};
    SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

std::vector<std::wstring> rowsW(const App& app) {
    HWND list = item(app.main, IDC_KEYWORD_LIST);
    std::vector<std::wstring> out;
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT r = 0; r < count; ++r) {
        wchar_t row[1024] = {};
        if (SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(r), 0) < 1024) {
            SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(r), reinterpret_cast<LPARAM>(row));
        }
        out.push_back(row);
    }
    return out;
}

// Clicks OK and waits for the click to be handled (a refusal leaves the
// editor open, so its modal loop never returns).
void clickOk(HWND editor) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(item(editor, IDOK), BM_CLICK, 0, 0, SMTO_NORMAL, WAIT_MS, &result);
}

HWND focusOf(const App& app) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(app.process.dwThreadId, &info);
    return info.hwndFocus;
}

// OK refused: the editor stays open, the field has the focus and its whole
// text is selected.
void checkRefused(const App& app, HWND editor, int field, const char* what) {
    // An accepted OK ends the editor's modal loop, which then destroys it.
    check(!waitUntil([&] { return !IsWindow(editor); }, 500),
          "%s: OK refused, the editor stays open", what);
    check(focusOf(app) == item(editor, field), "%s: the field has the focus", what);
    const LRESULT selection = SendMessageW(item(editor, field), EM_GETSEL, 0, 0);
    const int length = static_cast<int>(textW(item(editor, field)).size());
    check(LOWORD(selection) == 0 && HIWORD(selection) == length,
          "%s: the field's text is selected (%u..%u of %d)", what, LOWORD(selection),
          HIWORD(selection), length);
}

void cancel(const App& app, HWND editor) {
    PostMessageW(item(editor, IDCANCEL), BM_CLICK, 0, 0);
    check(waitUntil([&] { return !IsWindow(editor); }), "Cancel closes the editor");
    settle(app.main);
}

void editorTypedJapanese() {
    App app;
    std::string dir = prepare("typed-japanese", settingsText(false, abc()));
    if (!start(app, dir)) {
        return;
    }
    for (const wchar_t* keyword : {L"\u91CD\u8981", L"\u6CE8\u610F"}) { // 重要, 注意
        HWND editor = pressForEditor(app, IDC_NEW);
        if (editor == nullptr) {
            check(false, "New opens the editor");
            return;
        }
        setTextW(editor, IDC_KEYWORD, keyword);
        setTextW(editor, IDC_FONT_COLOUR, L"FF0000");
        clickOk(editor);
        check(waitUntil([&] { return !IsWindow(editor); }), "editor closes on OK");
        settle(app.main);
    }
    waitUntil([&] { return rowsW(app).size() == 5; }, 3000);
    const std::vector<std::wstring> expected = {L"\u6CE8\u610F", L"\u91CD\u8981", L"c", L"b", L"a"};
    check(rowsW(app) == expected, "the list shows 注意 and 重要 as typed");
    close(app);
    std::vector<SettingsEntry> entries = abc();
    entries.push_back({IMPORTANT, "FF0000", "0", "0"});
    entries.push_back({CAUTION, "FF0000", "0", "0"});
    checkBytes(settingsOf(app), settingsText(false, entries),
               "重要 and 注意 stored as code page 932 bytes");
}

// A character code page 932 cannot hold, or holds only as another character
// (U+301C WAVE DASH best-fits to the full-width tilde), must never be stored.
void editorRefusesOutsideCodePage() {
    App app;
    std::vector<SettingsEntry> entries = abc();
    entries.push_back({IMPORTANT, "FF0000", "0", "0"});
    const std::string before = settingsText(false, entries);
    std::string dir = prepare("outside-code-page", before);
    if (!start(app, dir)) {
        return;
    }
    const std::vector<std::wstring> rowsBefore = rowsW(app);
    struct Case {
        int button;
        int field;
        const wchar_t* keyword;
        const wchar_t* colour;
        const char* what;
    };
    const Case cases[] = {
        {IDC_NEW, IDC_KEYWORD, L"caf\u00E9", L"", "New, keyword caf\xC3\xA9"},
        {IDC_NEW, IDC_KEYWORD, L"\uD55C", L"FF0000", "New, keyword \xED\x95\x9C"},
        {IDC_NEW, IDC_KEYWORD, L"\U0001F600", L"", "New, keyword emoji"},
        {IDC_NEW, IDC_KEYWORD, L"a\u301Cb", L"", "New, keyword a U+301C b"},
        {IDC_NEW, IDC_FONT_COLOUR, L"ok", L"FF00\u00E9", "New, colour with \xC3\xA9"},
        {IDC_RENEW, IDC_KEYWORD, L"\u91CD\u00E9", nullptr, "Renew, keyword with \xC3\xA9"},
        {IDC_RENEW, IDC_FONT_COLOUR, nullptr, L"\u301C", "Renew, colour U+301C"},
    };
    for (const Case& c : cases) {
        scenario = std::string("outside-code-page: ") + c.what;
        select(app, 0);
        HWND editor = pressForEditor(app, c.button);
        if (editor == nullptr) {
            check(false, "the editor opens");
            continue;
        }
        if (c.keyword != nullptr) {
            setTextW(editor, IDC_KEYWORD, c.keyword);
        }
        if (c.colour != nullptr) {
            setTextW(editor, IDC_FONT_COLOUR, c.colour);
        }
        clickOk(editor);
        checkRefused(app, editor, c.field, c.what);
        cancel(app, editor);
        check(rowsW(app) == rowsBefore, "%s: the list is unchanged", c.what);
    }
    scenario = "outside-code-page";
    close(app);
    checkBytes(settingsOf(app), before, "the table is unchanged");
}

// Bytes as the settings file holds them come back byte for byte, also
// through a Renew left untouched: ED 40 (an NEC-selected IBM extension)
// reads as a character whose code page 932 form is FA 5C.
void editorRoundTrip() {
    App app;
    std::vector<SettingsEntry> entries = {{IMPORTANT, "FF0000", "3", "1"},
                                          {"\xED\x40", "00FF00", "0", "2"},
                                          {CAUTION, NO_COLOUR, "-1", "0"}};
    const std::string before = settingsText(true, entries);
    std::string dir = prepare("round-trip", before);
    if (!start(app, dir)) {
        return;
    }
    const std::vector<std::wstring> expected = {L"\u6CE8\u610F", L"\u7E8A", L"\u91CD\u8981"};
    check(rowsW(app) == expected, "the list shows the keywords as code page 932 text");
    for (int row = 0; row < 3; ++row) {
        select(app, row);
        HWND editor = pressForEditor(app, IDC_RENEW);
        if (editor != nullptr) {
            check(textW(item(editor, IDC_KEYWORD)) == expected[static_cast<size_t>(row)],
                  "Renew shows row %d's keyword", row);
            clickOk(editor);
            check(waitUntil([&] { return !IsWindow(editor); }), "editor closes on OK");
            settle(app.main);
        }
    }
    close(app);
    checkBytes(settingsOf(app), before, "TintMark.dat round-trips byte for byte");
}

void addTexts(HWND parent, std::set<std::wstring>& texts) {
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        texts.insert(textW(child));
    }
}

// The templates' own texts read back as written under any code page.
void editorWindowTexts() {
    App app;
    std::string dir = prepare("window-texts", settingsText(false, abc()));
    if (!start(app, dir)) {
        return;
    }
    check(textW(item(app.main, IDC_LINE_BREAK_TAGS)) ==
              L"\u6539\u884C\u306B<BR>\u3092\u3064\u3051\u308B",
          "the check box reads 改行に<BR>をつける");
    HWND editor = pressForEditor(app, IDC_NEW);
    if (editor == nullptr) {
        check(false, "New opens the editor");
        return;
    }
    std::set<std::wstring> texts;
    addTexts(editor, texts);
    for (const wchar_t* label :
         {L"\uFF77\uFF6C\uFF9D\uFF7E\uFF99", L"\u6587\u5B57\uFF1A",
          L"\u30D5\u30A9\u30F3\u30C8\u30AB\u30E9\u30FC\uFF1A",
          L"\u30D5\u30A9\u30F3\u30C8\u30B5\u30A4\u30BA\uFF1A", L"Bold(\u592A\u5B57)"}) {
        check(texts.count(label) == 1, "the editor shows the label %s",
              narrow(label, CP_UTF8).c_str());
    }
    cancel(app, editor);
    close(app);
}

} // namespace

void runEditorTextScenarios() {
    editorTypedJapanese();
    editorRefusesOutsideCodePage();
    editorRoundTrip();
    editorWindowTexts();
}

} // namespace gui
