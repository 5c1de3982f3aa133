#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/decoration_table.h"
#include "core/line_decorator.h"
#include "platform/platform.h"
#include "settings/settings_file.h"
#include "settings/settings_save.h"
#include "test_support.h"

namespace {

const std::string START = "[TntMark set file]\r\n";
const std::string END = "[TntMark set file end]\r\n";
const std::string DEFAULT_KEYWORD = "\x82\xe0\x82\xa9\x82\xd8\x82\xbf.Q"; // もかぺち.Q
const std::string NO_COLOUR_BYTES = "\x96\xB3\x95\xCF\x8A\xB7";

struct SettingsFileTest : ::testing::Test {
    void SetUp() override {
        resetTable();
        setSettingsPath(PATH_TEXT(""));
        dir.enter();
    }
    void TearDown() override {
        resetTable();
        setSettingsPath(PATH_TEXT(""));
    }
    static std::string keywordAt(int index) {
        return entryText(decorationTable.entries[index]);
    }
    // Writes the file, loads it and reports the number of entries.
    static int load(const std::string& bytes) {
        writeFile(SETTINGS_FILE_NAME, bytes);
        loadSettings();
        return decorationTable.count;
    }
    // The settings file's path in a folder of the scratch directory.
    std::string inFolder(const std::string& folder) const {
#ifdef _WIN32
        return dir.path(folder) + "\\" + SETTINGS_FILE_NAME;
#else
        return dir.path(folder) + "/" + SETTINGS_FILE_NAME;
#endif
    }
    ScratchDir dir;
};

TEST_F(SettingsFileTest, EveryFieldSurvivesARoundTrip) {
    decorationTable.lineBreakTags = 1;
    addEntry("abc", "FF0000", 5, STYLE_BOLD | STYLE_UNDERLINE);
    addEntry("\x83\x5C\x83\x74\x83\x67", "", -2, 0x30 | STYLE_STRIKE); // ソフト
    addEntry("", "F00", 0, 0);
    ASSERT_TRUE(saveSettings());

    EXPECT_EQ(readFile(SETTINGS_FILE_NAME), START +
                                                "1\r\n"
                                                "abc\r\nFF0000\r\n5\r\n5\r\n"
                                                "\x83\x5C\x83\x74\x83\x67\r\n" +
                                                NO_COLOUR_BYTES +
                                                "\r\n-2\r\n56\r\n"
                                                "\r\nF00\r\n0\r\n0\r\n" +
                                                END);
    // The table is left whole (a failed save may be tried again), and no
    // temporary file is left behind.
    EXPECT_EQ(keywordAt(1), "\x83\x5C\x83\x74\x83\x67");
    EXPECT_EQ(namesIn("."), std::vector<std::string>{"TintMark.dat"});
    EXPECT_EQ(saveFailure.problem, SAVE_DONE);

    loadSettings();
    ASSERT_EQ(decorationTable.count, 3);
    EXPECT_EQ(decorationTable.lineBreakTags, 1);
    EXPECT_EQ(keywordAt(0), "abc");
    EXPECT_STREQ(decorationTable.entries[0].colour, "FF0000");
    EXPECT_EQ(decorationTable.entries[0].size, 5);
    EXPECT_EQ(decorationTable.entries[0].style, 5);
    EXPECT_EQ(keywordAt(1), "\x83\x5C\x83\x74\x83\x67");
    EXPECT_FALSE(hasColour(decorationTable.entries[1]));
    EXPECT_EQ(decorationTable.entries[1].size, -2);
    EXPECT_EQ(decorationTable.entries[1].style, 0x38);
    EXPECT_EQ(keywordAt(2), "");
    EXPECT_EQ(decorationTable.entries[2].textSize, 1);
    EXPECT_STREQ(decorationTable.entries[2].colour, "F00");
}

TEST_F(SettingsFileTest, EmptyTableIsSavedAsTheDefaultEntry) {
    ASSERT_TRUE(saveSettings());
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME),
              START + "0\r\n" + DEFAULT_KEYWORD + "\r\n16711680\r\n6\r\n0\r\n" + END);
    loadSettings();
    ASSERT_EQ(decorationTable.count, 1);
    EXPECT_EQ(keywordAt(0), DEFAULT_KEYWORD);
    EXPECT_STREQ(decorationTable.entries[0].colour, "167116");
    EXPECT_EQ(decorationTable.entries[0].size, 6);
}

TEST_F(SettingsFileTest, MarkersAreFoundInsideOtherText) {
    EXPECT_EQ(load("junk [TntMark set file] junk\n1\nk1\nC1\n1\n1\n"
                   "x[TntMark set file end]x\nafter\nA\n2\n2\n"),
              1);
    EXPECT_EQ(keywordAt(0), "k1");
    // A keyword line holding the end marker ends the loading.
    EXPECT_EQ(load(START +
                   "0\r\nk1\r\nC1\r\n1\r\n1\r\n[TntMark set file end]\r\nk2\r\nC2\r\n2\r\n"
                   "2\r\n" +
                   END),
              1);
}

TEST_F(SettingsFileTest, OptionLineTakesTheLowByteOfItsNumber) {
    const struct {
        const char* line;
        int expected;
    } cases[] = {{"1", 1}, {"0", 0}, {"256", 0}, {"-1", 255}, {"on", 0}, {"  7x", 7}, {"", 0}};
    for (const auto& c : cases) {
        load(START + c.line + "\r\n" + END);
        EXPECT_EQ(decorationTable.lineBreakTags, c.expected) << '"' << c.line << '"';
    }
    // Any non-zero value is saved back as "1".
    load(START + "-1\r\n" + END);
    ASSERT_TRUE(saveSettings());
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME).substr(START.size(), 3), "1\r\n");
}

TEST_F(SettingsFileTest, MissingForeignOrShortFilesGiveWhatCouldBeRead) {
    decorationTable.lineBreakTags = 1;
    loadSettings(); // no file at all
    EXPECT_EQ(decorationTable.count, 0);
    EXPECT_EQ(decorationTable.lineBreakTags, 0);

    EXPECT_EQ(load("some other file\n1\nk\nFF0000\n1\n1\n" + END), 0);
    EXPECT_EQ(decorationTable.lineBreakTags, 0);
    EXPECT_EQ(load(""), 0);
    EXPECT_EQ(load(START), 0);

    // Cut inside the second entry: the first, complete one is kept.
    EXPECT_EQ(load(START + "1\r\nk1\r\nAAAAAA\r\n3\r\n4\r\nk2\r\nBBBBBB\r\n"), 1);
    EXPECT_EQ(keywordAt(0), "k1");
    EXPECT_EQ(decorationTable.entries[0].style, 4);
    // Bare LF line ends, sizes with trailing text, colour lines longer than six bytes.
    EXPECT_EQ(load("[TntMark set file]\n0\nk\n#123456789\n12pt\nx\n[TntMark set file end]\n"), 1);
    EXPECT_STREQ(decorationTable.entries[0].colour, "#12345");
    EXPECT_EQ(decorationTable.entries[0].size, 12);
    EXPECT_EQ(decorationTable.entries[0].style, 0);
    // Numbers beyond 32 bits are held to the range, not wrapped.
    EXPECT_EQ(load(START + "0\r\nk\r\nC\r\n99999999999\r\n-99999999999\r\n" + END), 1);
    EXPECT_EQ(decorationTable.entries[0].size, INT32_MAX);
    EXPECT_EQ(decorationTable.entries[0].style, INT32_MIN);
}

TEST_F(SettingsFileTest, LongLinesAndExtraEntriesDoNotShiftTheRest) {
    const std::string longKeyword(1500, 'w');
    EXPECT_EQ(load(START + "0\r\n" + longKeyword +
                   "\r\nAAAAAA\r\n1\r\n1\r\nnext\r\nBBBBBB\r\n2\r\n2\r\n" + END),
              2);
    EXPECT_EQ(keywordAt(0), std::string(511, 'w'));
    EXPECT_EQ(keywordAt(1), "next");
    EXPECT_STREQ(decorationTable.entries[1].colour, "BBBBBB");
    EXPECT_EQ(decorationTable.entries[1].size, 2);

    std::string many = START + "0\r\n";
    for (int i = 0; i < 600; ++i) {
        many += "k" + std::to_string(i) + "\r\nC\r\n0\r\n0\r\n";
    }
    EXPECT_EQ(load(many + END), MAX_ENTRIES);
    EXPECT_EQ(keywordAt(MAX_ENTRIES - 1), "k511");
}

// Settings files in UTF-8, as editors on Linux and Notepad write them: read
// into the table's code page 932, written back by the window's save as they
// came. A keyword or colour code page 932 cannot hold keeps its bytes, and
// such a keyword matches in no text, nor do its bytes as code page 932
// (café's C3 A9 would be ﾃｩ). Half-width katakana alone make a code page 932
// file read as UTF-8.
TEST_F(SettingsFileTest, Utf8FilesReadIntoCodePage932AndSaveAsTheyCame) {
    const std::string entries = "\xE9\x87\x8D\xE8\xA6\x81\r\n" // 重要, no colour (無変換)
                                "\xE7\x84\xA1\xE5\xA4\x89\xE6\x8F\x9B\r\n0\r\n1\r\n"
                                "caf\xC3\xA9\r\n\xE8\xB5\xA4\r\n2\r\n0\r\n" // café, 赤
                                "x\r\n\xC3\xA9\r\n3\r\n0\r\n";              // x, é
    std::string kana; // ｱ at the table's longest, 1533 bytes in UTF-8
    for (int i = 0; i < MAX_KEYWORD_LENGTH; ++i) {
        kana += "\xEF\xBD\xB1";
    }
    const struct {
        std::string file;
        SettingsForm form;
        std::vector<std::string> keywords; // as the table holds them
        std::vector<uint8_t> kept;
    } cases[] = {
        {START + "1\r\n" + entries + END,
         SETTINGS_UTF8,
         {"\x8F\x64\x97\x76", "caf\xC3\xA9", "x"},
         {0, KEPT_KEYWORD, KEPT_COLOUR}},
        {"\xEF\xBB\xBF" + START + "1\r\n" + entries + END,
         SETTINGS_UTF8_MARK,
         {"\x8F\x64\x97\x76", "caf\xC3\xA9", "x"},
         {0, KEPT_KEYWORD, KEPT_COLOUR}},
        {START + "0\r\n\xC3\xB1\r\n\xC3\xB1\r\n0\r\n0\r\n" + END, // ﾃｱ reads as ñ
         SETTINGS_UTF8,
         {"\xC3\xB1"},
         {KEPT_KEYWORD | KEPT_COLOUR}},
        {START + "0\r\n" + kana + "\r\nF\r\n0\r\n0\r\n" + END,
         SETTINGS_UTF8,
         {std::string(MAX_KEYWORD_LENGTH, '\xB1')},
         {0}},
    };
    for (const auto& c : cases) {
        const int count = load(c.file);
        ASSERT_EQ(count, static_cast<int>(c.keywords.size())) << c.file;
        EXPECT_EQ(decorationTable.settingsForm, c.form);
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(keywordAt(i), c.keywords[static_cast<size_t>(i)]) << i;
            EXPECT_EQ(decorationTable.entries[i].keptUtf8, c.kept[static_cast<size_t>(i)]) << i;
        }
        ASSERT_TRUE(saveSettings());
        EXPECT_EQ(readFile(SETTINGS_FILE_NAME), c.file) << "written back as it was read";
    }
    load(START + "1\r\n" + entries + END);
    EXPECT_FALSE(hasColour(decorationTable.entries[0]));
    EXPECT_STREQ(decorationTable.entries[1].colour, "\x90\xD4");
    writeFile("a.txt", "\xE9\x87\x8D\xE8\xA6\x81 caf\xC3\xA9\n");
    writeFile("b.txt", "\x8F\x64\x97\x76 caf\xC3\xA9\n");
    for (const char* name : {"a", "b"}) {
        const std::string in = std::string(name) + ".txt";
        const std::string out = std::string(name) + ".html";
        ASSERT_TRUE(decorateFile(toPath(in).c_str(), toPath(out).c_str()));
        const std::string html = readFile(out);
        EXPECT_NE(html.find("<B>"), std::string::npos) << "重要 found in " << in;
        EXPECT_EQ(html.find("<font"), std::string::npos) << "café found in " << in;
    }
    // An entry added in the window is saved in UTF-8 too.
    addEntry("\x83\x5C", "", 0, 0); // ソ
    ASSERT_TRUE(saveSettings());
    EXPECT_NE(readFile(SETTINGS_FILE_NAME).find("\r\n\xE3\x82\xBD\r\n"), std::string::npos);
}

// A file chosen in another folder, by its full path, as the program does
// with the one beside it: read there, written back there, nothing made in
// the current folder, and the save's report names it.
TEST_F(SettingsFileTest, AChosenFileIsReadAndWrittenWhereItIs) {
    std::filesystem::create_directory(toPath(dir.path("prog")));
    const std::string file = inFolder("prog");
    writeFile(file, START + "1\r\nabc\r\nFF0000\r\n5\r\n5\r\n" + END);
    ASSERT_TRUE(setSettingsPath(toPath(file).c_str()));
    ASSERT_TRUE(loadSettings());
    ASSERT_EQ(decorationTable.count, 1);
    EXPECT_EQ(keywordAt(0), "abc");
    EXPECT_EQ(decorationTable.lineBreakTags, 1);

    addEntry("new", "", 0, 0);
    ASSERT_TRUE(saveSettings());
    EXPECT_EQ(readFile(file), START + "1\r\nabc\r\nFF0000\r\n5\r\n5\r\nnew\r\n" + NO_COLOUR_BYTES +
                                  "\r\n0\r\n0\r\n" + END);
    EXPECT_EQ(namesIn("."), std::vector<std::string>{"prog"});
    EXPECT_EQ(namesIn(dir.path("prog")), std::vector<std::string>{"TintMark.dat"});
    EXPECT_TRUE(platformSameFile(saveFailure.path, toPath(file).c_str()))
        << fromPath(saveFailure.path);
}

// A chosen file that does not exist yet is made in its own folder, not in
// the current one; in a folder that does not exist, nothing is made and the
// report names the chosen file.
TEST_F(SettingsFileTest, AChosenFileNotYetMadeIsCreatedInItsFolder) {
    std::filesystem::create_directory(toPath(dir.path("prog")));
    const std::string file = inFolder("prog");
    ASSERT_TRUE(setSettingsPath(toPath(file).c_str()));
    EXPECT_FALSE(loadSettings());
    addEntry("k", "F00", 2, 1);
    ASSERT_TRUE(saveSettings());
    EXPECT_EQ(readFile(file), START + "0\r\nk\r\nF00\r\n2\r\n1\r\n" + END);
    EXPECT_EQ(namesIn("."), std::vector<std::string>{"prog"});

    const std::string lost = inFolder("gone");
    ASSERT_TRUE(setSettingsPath(toPath(lost).c_str()));
    EXPECT_FALSE(saveSettings());
    EXPECT_EQ(saveFailure.problem, SAVE_SYSTEM_ERROR);
    EXPECT_EQ(fromPath(saveFailure.path), lost);
    EXPECT_EQ(namesIn("."), std::vector<std::string>{"prog"});
}

TEST_F(SettingsFileTest, LoadingTellsWhetherTheFileCouldBeRead) {
    EXPECT_FALSE(loadSettings()); // none
    std::filesystem::create_directory(toPath(SETTINGS_FILE_NAME));
    EXPECT_FALSE(loadSettings());
    std::filesystem::remove(toPath(SETTINGS_FILE_NAME));
    // Read, though it holds no settings.
    writeFile(SETTINGS_FILE_NAME, "some other file\n");
    EXPECT_TRUE(loadSettings());
    EXPECT_EQ(decorationTable.count, 0);
    EXPECT_EQ(load(START + "0\r\nk\r\nC\r\n0\r\n0\r\n" + END), 1);
    EXPECT_TRUE(loadSettings());
}

TEST_F(SettingsFileTest, APathThatDoesNotFitIsRefusedAndTheChoiceKept) {
    const PathString chosen = toPath(inFolder("prog"));
    ASSERT_TRUE(setSettingsPath(chosen.c_str()));
    const PathString tooLong(SETTINGS_PATH_CAPACITY, 'x');
    EXPECT_FALSE(setSettingsPath(tooLong.c_str()));
    EXPECT_EQ(PathString(settingsPath()), chosen);
    const PathString longest(SETTINGS_PATH_CAPACITY - 1, 'x');
    EXPECT_TRUE(setSettingsPath(longest.c_str()));
    EXPECT_EQ(PathString(settingsPath()), longest);
    ASSERT_TRUE(setSettingsPath(PATH_TEXT("")));
    EXPECT_EQ(PathString(settingsPath()), PathString(SETTINGS_FILE_PATH));
}

#if defined(_WIN32) || defined(__linux__)
// The file beside the running program: here the test program's folder.
TEST_F(SettingsFileTest, TheProgramFolderIsThatOfTheRunningProgram) {
    static PathChar path[SETTINGS_PATH_CAPACITY];
    ASSERT_TRUE(platformProgramFolderFile(SETTINGS_FILE_PATH, path, SETTINGS_PATH_CAPACITY));
    const std::filesystem::path beside(path);
    EXPECT_EQ(beside.filename(), std::filesystem::path(SETTINGS_FILE_PATH));
#ifdef _WIN32
    EXPECT_TRUE(std::filesystem::exists(beside.parent_path() / "tintmark_tests.exe"));
#else
    EXPECT_TRUE(std::filesystem::exists(beside.parent_path() / "tintmark_tests"));
#endif
    // What does not fit is refused, never cut.
    const size_t length = pathLength(path, SETTINGS_PATH_CAPACITY);
    EXPECT_FALSE(platformProgramFolderFile(SETTINGS_FILE_PATH, path, length));
    EXPECT_TRUE(platformProgramFolderFile(SETTINGS_FILE_PATH, path, length + 1));
}
#endif

} // namespace
