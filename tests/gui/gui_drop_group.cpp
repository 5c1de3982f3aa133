// Window tests, drop group: files dropped on the window by an XDND drag
// source (xdnd_drop.py), converted in drop order and guarded.
#include "gui_support.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace gui {
namespace {

// A directory name that makes dir\many\NAME\s.texts exactly 255 bytes long.
std::string longPathPad(const std::string& dir) {
    size_t fixed = (dir + "\\many\\" + "\\s.texts").size();
    return std::string(255 - fixed, 'p');
}

// Makes a file whose path, 269 bytes long, begins with the 255 bytes of the
// path of another file, s.texts: a program that cut the path to fit its
// 256-byte slot would convert s.texts into s.html. Returns the path
// relative to dir, with '/'.
std::string makeLongPath(const std::string& dir) {
    std::string pad = longPathPad(dir);
    makeDir(dir + "\\many\\" + pad);
    writeFile(dir + "\\many\\" + pad + "\\s.texts", "short\n");
    makeDir(dir + "\\many\\" + pad + "\\s.textsmore");
    writeFile(dir + "\\many\\" + pad + "\\s.textsmore\\long.txt", "long\n");
    return "many/" + pad + "/s.textsmore/long.txt";
}

// ---- drop 3: names the ANSI code page may not hold

const char* const KEY = "<B><font color=#FF0000>key</font></B>";
// In UTF-8; each must reach its own file whatever the code page.
const char* const NAMES[] = {u8"한국어", u8"emoji_😀", u8"a〜b", u8"x−y", u8"メモ", u8"café"};
const char* const YEN_NAME = u8"x¥..¥..¥secret";

std::wstring repeated(const wchar_t* unit, int count) {
    std::wstring out;
    for (int i = 0; i < count; ++i) {
        out += unit;
    }
    return out;
}

struct NamesDrop {
    std::wstring dir;
    Tree namesBefore;
    Tree yenBefore;
    std::wstring fits; // relative paths of the 255- and 256-unit files
    std::wstring over;
};

// Six names outside one code page or another, café.txt beside cafe.txt,
// the yen sign that best fit turns into a backslash under code page 932, and
// Japanese paths of 255 and 256 UTF-16 units (cut to 255, the longer one
// would name long\...\....tex, whose output is the same .html).
void planNames(const std::string& dir, const std::string& unixDir, std::string& plan,
               NamesDrop& drop) {
    drop.dir = widen(dir);
    makeDir(drop.dir + L"\\names");
    int n = 0;
    for (const char* name : NAMES) {
        ++n;
        writeFile(drop.dir + L"\\names\\" + fromUtf8(name) + L".txt",
                  "key " + std::to_string(n) + "\n");
        plan += unixDir + "/names/" + name + ".txt\n";
    }
    writeFile(drop.dir + L"\\names\\cafe.txt", "plain cafe\n");
    writeFile(drop.dir + L"\\names\\cafe.html", "old cafe output\n");
    drop.namesBefore = treeOf(drop.dir + L"\\names");

    makeDir(drop.dir + L"\\yen");
    makeDir(drop.dir + L"\\yen\\top");
    makeDir(drop.dir + L"\\yen\\top\\sub");
    writeFile(drop.dir + L"\\yen\\secret.txt", "key outer\n");
    writeFile(drop.dir + L"\\yen\\top\\secret.txt", "key secret\n");
    writeFile(drop.dir + L"\\yen\\top\\secret.html", "old secret output\n");
    writeFile(drop.dir + L"\\yen\\top\\sub\\" + fromUtf8(YEN_NAME) + L".txt", "key yen\n");
    drop.yenBefore = treeOf(drop.dir + L"\\yen");
    plan += unixDir + "/yen/top/sub/" + YEN_NAME + ".txt\n";

    const std::wstring part = repeated(L"\u3042", 80); // あ
    makeDir(drop.dir + L"\\long");
    makeDir(drop.dir + L"\\long\\" + part);
    makeDir(drop.dir + L"\\long\\" + part + L"\\" + part);
    const std::wstring folder = L"long\\" + part + L"\\" + part + L"\\";
    const int k = 255 - static_cast<int>((drop.dir + L"\\" + folder).size()) - 5;
    drop.fits = folder + repeated(L"\u3044", k) + L".text";     // い
    drop.over = folder + repeated(L"\u3046", k + 1) + L".text"; // う
    writeFile(drop.dir + L"\\" + drop.fits, "key fits\n");
    writeFile(drop.dir + L"\\" + drop.over, "key over\n");
    writeFile(drop.dir + L"\\" + drop.over.substr(0, drop.over.size() - 1), "key decoy\n");
    for (const std::wstring* path : {&drop.fits, &drop.over}) {
        std::string utf8 = narrow(*path, CP_UTF8);
        for (char& c : utf8) {
            if (c == '\\') {
                c = '/';
            }
        }
        plan += unixDir + "/" + utf8 + "\n";
    }
}

void checkNames(const NamesDrop& drop) {
    int n = 0;
    Tree names = treeOf(drop.dir + L"\\names");
    for (const char* name : NAMES) {
        ++n;
        const std::wstring output = fromUtf8(name) + L".html";
        const std::string what = std::string(name) + ".txt converted into its own .html";
        checkBytes(names[output], std::string(KEY) + " " + std::to_string(n) + "\r\n<BR>",
                   what.c_str());
        names.erase(output);
    }
    check(names == drop.namesBefore, "no other file made or changed beside the named ones");
    checkBytes(readFile(drop.dir + L"\\names\\cafe.html"), "old cafe output\n",
               "cafe.html untouched by café.txt");

    Tree yen = treeOf(drop.dir + L"\\yen");
    const std::wstring yenOutput = L"top\\sub\\" + fromUtf8(YEN_NAME) + L".html";
    checkBytes(yen[yenOutput], std::string(KEY) + " yen\r\n<BR>",
               "x\xC2\xA5..\xC2\xA5..\xC2\xA5secret.txt converted as the file of that name");
    yen.erase(yenOutput);
    check(yen == drop.yenBefore, "nothing else in the yen tree made or changed");

    check((drop.dir + L"\\" + drop.fits).size() == 255 &&
              (drop.dir + L"\\" + drop.over).size() == 256,
          "the dropped paths are 255 and 256 units long");
    const std::wstring fitsOut = drop.fits.substr(0, drop.fits.size() - 4) + L"html";
    checkBytes(readFile(drop.dir + L"\\" + fitsOut), std::string(KEY) + " fits\r\n<BR>",
               "a 255-unit Japanese path is converted");
    const std::wstring overOut = drop.over.substr(0, drop.over.size() - 4) + L"html";
    check(!fileExists(drop.dir + L"\\" + overOut),
          "a 256-unit path is skipped, not cut into another name");
}

// ---- drop 4: whole characters, and UTF-8 texts

// A text in UTF-8, one with a byte-order mark, second bytes that look like
// the keywords, lines over 2047 bytes whose limit falls inside a character
// (0x83 0x5C in code page 932, E3 82 BD in UTF-8: ソ), and texts in UTF-16 of
// either byte order, converted in UTF-16.
struct CharacterFile {
    const char* name;
    std::string text;
    std::string expected;
};

// The mark FF FE or FE FF, then UTF-8 text in UTF-16 of that byte order.
std::string utf16File(const std::string& utf8, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const wchar_t unit : fromUtf8(utf8)) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

std::vector<CharacterFile> characterFiles() {
    const std::string key = KEY;
    const std::string cp932So = "<font size=3>\x83\x5C</font>";
    const std::string utf8So = "<font size=3>\xE3\x82\xBD</font>";
    const std::string a2046(2046, 'a');
    return {
        {"utf8.txt", "key \xE3\x82\xBD\n", key + " " + utf8So + "\r\n<BR>"},
        {"bom.txt",
         "\xEF\xBB\xBF"
         "key \xE3\x82\xBD\n",
         "\xEF\xBB\xBF" + key + " " + utf8So + "\r\n<BR>"},
        {"traps.txt", "\x81key key\n\x81\x83\x5C \x83\x5C\n",
         "\x81key " + key + "\r\n<BR>\x81\x83\x5C " + cp932So + "\r\n<BR>"},
        {"long.txt", a2046 + "\x83\x5C\n", a2046 + "<BR>" + cp932So + "\r\n<BR>"},
        {"long8.txt", a2046 + "\xE3\x82\xBD\n", a2046 + "<BR>" + utf8So + "\r\n<BR>"},
        {"le16.txt", utf16File("key \xE3\x82\xBD\nk\xF0\x9F\x98\x80 key", false),
         utf16File(key + " " + utf8So + "\r\n<BR>k\xF0\x9F\x98\x80 " + key, false)},
        {"be16.txt", utf16File("key \xE3\x82\xBD\nk\xF0\x9F\x98\x80 key", true),
         utf16File(key + " " + utf8So + "\r\n<BR>k\xF0\x9F\x98\x80 " + key, true)},
    };
}

void planCharacters(const std::string& dir, const std::string& unixDir, std::string& plan) {
    makeDir(dir + "\\characters");
    for (const CharacterFile& file : characterFiles()) {
        writeFile(dir + "\\characters\\" + file.name, file.text);
        plan += unixDir + "/characters/" + file.name + "\n";
    }
}

void checkCharacters(const std::string& dir) {
    for (const CharacterFile& file : characterFiles()) {
        std::string output = file.name;
        output.replace(output.size() - 3, 3, "html");
        const std::string what = std::string(file.name) + " converted on whole characters";
        checkBytes(readFile(dir + "\\characters\\" + output), file.expected, what.c_str());
    }
}

// ---- drop 4: a status longer than the control

constexpr int NAMELESS = 40;

std::string namelessName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "n%02d", i);
    return name;
}

// The status lists the first nameless files in drop order as far as they
// fit, then counts the rest.
void checkNameless(const App& app) {
    waitUntil([&] { return !batchRunning(app) && status(app).rfind(convertedLine(0), 0) == 0; },
              120000);
    std::vector<std::string> lines;
    const std::string text = status(app) + "\r\n";
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
        lines.push_back(text.substr(at, end - at));
    }
    const int listed = static_cast<int>(lines.size()) - 2;
    bool inOrder = listed >= 3 && lines[0] == convertedLine(0);
    for (int i = 0; inOrder && i < listed; ++i) {
        inOrder =
            lines[static_cast<size_t>(i) + 1] ==
            namelessName(i) + "\x81\x46\x8F\x6F\x97\xCD\x96\xBC\x82\xC8\x82\xB5"; // ：出力名なし
    }
    check(inOrder, "status lists nameless files in drop order: \"%s\"", shown(text).c_str());
    // ほか N 件
    checkBytes(lines.back(), "\x82\xD9\x82\xA9 " + std::to_string(NAMELESS - listed) + " \x8C\x8F",
               "the status's last line counts the files it had no room for");
}

// ---- drop 6: a batch long enough to watch, closed while it runs

constexpr int LONG_FILES = 2000;

std::string longName(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "long\\l%04d.", i);
    return name;
}

std::string longText(int i) {
    return std::string(40, 'x') + " key " + std::to_string(i) + "\n";
}

template <typename AddToPlan> void planLong(const std::string& dir, AddToPlan addToPlan) {
    makeDir(dir + "\\long");
    for (int i = 0; i < LONG_FILES; ++i) {
        writeFile(dir + "\\" + longName(i) + "txt", longText(i));
        std::string name = longName(i) + "txt";
        name[4] = '/';
        addToPlan(name);
    }
}

// Through more than a second of the batch the window answers within 200 ms
// and its status shows the progress. True when the batch was seen running.
bool watchLongBatch(const App& app) {
    if (!waitUntil([&] { return batchRunning(app); }, 60000)) {
        check(false, "the long batch starts");
        return false;
    }
    const DWORD start = GetTickCount();
    DWORD slowest = 0;
    bool progress = false;
    while (GetTickCount() - start < 1200 || !progress) {
        const DWORD asked = GetTickCount();
        DWORD_PTR result = 0;
        if (SendMessageTimeoutW(app.main, WM_NULL, 0, 0, SMTO_NORMAL, 200, &result) == 0) {
            slowest = 200;
        }
        slowest = std::max(slowest, GetTickCount() - asked);
        const std::string now = status(app);
        progress = progress || (now.rfind(PROGRESS_START, 0) == 0 &&
                                now.find(" / 2000\r\nl") != std::string::npos);
        if (GetTickCount() - start > 10000) {
            break;
        }
        Sleep(30);
    }
    check(slowest < 200, "the window answers within 200 ms during the batch (slowest %lu ms)",
          slowest);
    check(progress, "the status shows the batch's progress: \"%s\"", shown(status(app)).c_str());
    check(batchRunning(app) && !IsWindowEnabled(item(app.main, IDC_CONVERT)),
          "after more than a second the batch runs on, New and Convert disabled");
    return true;
}

// Files before the close request are converted whole, the last ones are
// not converted at all.
void checkLong(const std::string& dir, bool dropped) {
    int converted = 0;
    int wrong = 0;
    for (int i = 0; i < LONG_FILES && dropped; ++i) {
        const std::string output = readFile(dir + "\\" + longName(i) + "html");
        if (output == "<missing>") {
            continue;
        }
        ++converted;
        std::string expected = longText(i);
        expected.replace(41, 3, "<B><font color=#FF0000>key</font></B>");
        expected.replace(expected.size() - 1, 1, "\r\n<BR>");
        wrong += output == expected ? 0 : 1;
    }
    check(dropped && converted > 0 && converted < LONG_FILES,
          "the close request stopped the batch after %d of %d files", converted, LONG_FILES);
    check(wrong == 0, "every file converted before the close is whole (%d wrong)", wrong);
}

// The files are dropped by the drag source, which reads the plan written
// here: one Unix path a line, a blank line between drops, and signals by
// creating drops.done. The settings give "key" bold red and "ソ" (0x83 0x5C)
// size 3, with "<BR>" after every line.
void dropFiles() {
    scenario = "drop";
    std::string unixDir = workUnix + "/drop";
    if (workUnix.find('.') != std::string::npos) {
        check(false, "work directory %s must hold no '.'", workUnix.c_str());
        return;
    }
    std::string dir = prepare("drop", settingsText(true, {{"key", "FF0000", "0", "1"},
                                                          {"\x83\x5C", NO_COLOUR, "3", "0"}}));
    std::string plan;
    auto addToPlan = [&](const std::string& name) {
        plan += narrow(widen(unixDir + "/" + name), CP_UTF8) + "\n";
    };
    // Drop 1: 600 files, more than one batch holds. order.txt comes first and
    // order.log last, in the second batch. A path over 255 bytes sits in the
    // first batch; cut to 255 bytes it would name short.txt.
    makeDir(dir + "\\many");
    writeFile(dir + "\\many\\order.txt", "early\n");
    addToPlan("many/order.txt");
    for (int i = 1; i < 599; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%03d.txt", i);
        writeFile(dir + "\\many\\" + name, std::to_string(i) + " key\n");
        addToPlan(std::string("many/") + name);
        if (i == 300) {
            addToPlan(makeLongPath(dir));
        }
    }
    writeFile(dir + "\\many\\order.log", "late\n");
    addToPlan("many/order.log");
    plan += "\n";
    NamesDrop names;
    planNames(dir, unixDir, plan, names);
    plan += "\n";
    planCharacters(dir, unixDir, plan);
    plan += "\n";
    // Drop 4: more files without an output name than the status has lines.
    makeDir(dir + "\\nameless");
    for (int i = 0; i < NAMELESS; ++i) {
        writeFile(dir + "\\nameless\\" + namelessName(i), "key\n");
        addToPlan("nameless/" + namelessName(i));
    }
    plan += "wait go1\n";
    // Drop 5: three files, a guarded page.html, a file with no dot, two
    // files sharing an output name (the later one in drop order wins), one
    // whose output name is taken by a folder, and one large enough for the
    // converter's own second thread, inside the window's batch thread.
    std::string big, bigOutput;
    for (int i = 0; i < 40000; ++i) {
        big += "key " + std::to_string(i) + "\n";
        bigOutput += "<B><font color=#FF0000>key</font></B> " + std::to_string(i) + "\r\n<BR>";
    }
    writeFile(dir + "\\big.txt", big);
    writeFile(dir + "\\one.txt", "a key b\n");
    writeFile(dir + "\\\x83\x5C.txt", "x\x83\x5Cy\r\nkey\n");
    writeFile(dir + "\\page.html", "keep key\n");
    writeFile(dir + "\\noext", "key\n");
    writeFile(dir + "\\dup.txt", "first\n");
    writeFile(dir + "\\dup.log", "second\n");
    writeFile(dir + "\\blocked.txt", "key\n");
    makeDir(dir + "\\blocked.html");
    for (const char* name : {"one.txt", "\x83\x5C.txt", "page.html", "noext", "dup.txt", "dup.log",
                             "blocked.txt", "big.txt"}) {
        addToPlan(name);
    }
    plan += "wait go2\n";
    planLong(dir, addToPlan);
    writeFile(dir + "\\plan.txt", plan);

    App app;
    if (!start(app, dir)) {
        return;
    }
    RECT rect;
    GetWindowRect(app.main, &rect);
    char ready[64];
    std::snprintf(ready, sizeof ready, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right,
                  rect.bottom);
    writeFile(dir + "\\ready.txt", ready);
    checkNameless(app);
    writeFile(dir + "\\go1", "");
    // 出力先が入力と同じ, 出力名なし, 出力を書き込めない
    checkStatus(
        app,
        convertedLine(5) +
            "\r\npage.html\x81\x46\x8F\x6F\x97\xCD\x90\xE6\x82\xAA\x93\xFC\x97\xCD\x82\xC6"
            "\x93\xAF\x82\xB6\r\nnoext\x81\x46\x8F\x6F\x97\xCD\x96\xBC\x82\xC8\x82\xB5\r\n"
            "blocked.txt\x81\x46\x8F\x6F\x97\xCD\x82\xF0\x8F\x91\x82\xAB\x8D\x9E\x82\xDF\x82"
            "\xC8\x82\xA2",
        "status after a drop: the count converted, then each file skipped and why");
    writeFile(dir + "\\go2", "");
    // The close request comes during the long batch, which stops after the
    // file it is converting; the window then saves and closes.
    const bool dropped = watchLongBatch(app);
    close(app);
    checkLong(dir, dropped);
    checkBytes(readFile(dir + "\\one.html"), "a <B><font color=#FF0000>key</font></B> b\r\n<BR>",
               "one.txt converted");
    checkBytes(readFile(dir + "\\\x83\x5C.html"),
               "x<font size=3>\x83\x5C</font>y\r\n<BR><B><font color=#FF0000>key</font></B>\r\n"
               "<BR>",
               "Shift-JIS path converted");
    checkBytes(readFile(dir + "\\page.html"), "keep key\n",
               "page.html is its own output: untouched");
    check(!fileExists(dir + "\\noexthtml") && !fileExists(dir + "\\html") &&
              !fileExists(dir + "\\noext.html"),
          "a file with no dot gets no output");
    checkBytes(readFile(dir + "\\dup.html"), "second\r\n<BR>", "files converted in drop order");
    check(readFile(dir + "\\big.html") == bigOutput, "a large file converted whole");
    checkBytes(readFile(dir + "\\many\\order.html"), "late\r\n<BR>",
               "second batch converted after the first");
    int wrong = 0;
    for (int i = 1; i < 599; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "\\many\\f%03d.html", i);
        std::string expected = std::to_string(i) + " <B><font color=#FF0000>key</font></B>\r\n<BR>";
        if (readFile(dir + name) != expected) {
            if (++wrong <= 3) {
                checkBytes(readFile(dir + name), expected, name);
            }
        }
    }
    check(wrong == 0, "all 598 numbered files of a 600-file drop converted (%d wrong)", wrong);
    std::string cutTo = dir + "\\many\\" + longPathPad(dir) + "\\s.texts";
    check(!fileExists(cutTo.substr(0, cutTo.size() - 5) + "html"),
          "an over-long path is not cut into the name of another file");
    checkBytes(readFile(cutTo), "short\n", "the file it would be cut to is untouched");
    check(!fileExists(cutTo + "more\\long.html"), "an over-long path is skipped");
    checkNames(names);
    checkCharacters(dir);
    checkBytes(settingsOf(app),
               settingsText(true, {{"key", "FF0000", "0", "1"}, {"\x83\x5C", NO_COLOUR, "3", "0"}}),
               "settings saved after the drops");
}
} // namespace

void runDropGroup() {
    dropFiles();
}

} // namespace gui
