#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/decoration_table.h"
#include "platform/platform.h"
#include "settings/settings_file.h"
#include "test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

const std::string START = "[TntMark set file]\r\n";
const std::string END = "[TntMark set file end]\r\n";
const std::string DEFAULT_KEYWORD = "\x82\xe0\x82\xa9\x82\xd8\x82\xbf.Q"; // もかぺち.Q
const std::string NO_COLOUR_BYTES = "\x96\xB3\x95\xCF\x8A\xB7";

struct SettingsFileTest : ::testing::Test {
    void SetUp() override {
        resetTable();
        dir.enter();
    }
    void TearDown() override {
        resetTable();
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
    // The names in the current folder, sorted.
    static std::vector<std::string> folderNames() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(".")) {
            names.push_back(fromPath(entry.path().filename().c_str()));
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // A failed save names the full path of the settings file in this test's
    // folder (the "\\?\" form on Windows, which reaches long paths).
    void expectPathNamed() const {
        const std::string path = fromPath(saveFailure.path);
        const std::string folder = std::filesystem::path(dir.root).filename().string();
#ifdef _WIN32
        EXPECT_EQ(path.substr(0, 4), "\\\\?\\") << path;
        EXPECT_NE(path.find("\\" + folder + "\\TintMark.dat"), std::string::npos) << path;
#else
        EXPECT_EQ(path, std::filesystem::canonical(dir.root).string() + "/TintMark.dat");
#endif
        (void)folder;
    }
    // After a failed save: the table still holds `keyword` as its only entry.
    static void expectTableKept(const char* keyword) {
        ASSERT_EQ(decorationTable.count, 1);
        EXPECT_EQ(keywordAt(0), keyword);
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
    EXPECT_EQ(folderNames(), std::vector<std::string>{"TintMark.dat"});
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

const std::string OLD = START + "0\r\nold\r\nC\r\n0\r\n0\r\n" + END;
const std::string NEW = START + "0\r\nnew\r\n" + NO_COLOUR_BYTES + "\r\n0\r\n0\r\n" + END;

void makeReadOnly(const std::string& path) {
    std::filesystem::permissions(toPath(path), std::filesystem::perms::owner_read |
                                                   std::filesystem::perms::group_read |
                                                   std::filesystem::perms::others_read);
}

TEST_F(SettingsFileTest, ReadOnlyFileIsLeftAsItWasAndSaidToBe) {
    writeFile(SETTINGS_FILE_NAME, OLD);
    makeReadOnly(SETTINGS_FILE_NAME);
    addEntry("new", "", 0, 0);
    EXPECT_FALSE(saveSettings());
    EXPECT_EQ(saveFailure.problem, SAVE_READ_ONLY);
    expectPathNamed();
    expectTableKept("new");
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME), OLD);
    EXPECT_EQ(folderNames(), std::vector<std::string>{"TintMark.dat"});
    // Once the mark is gone, the same table is saved.
    std::filesystem::permissions(toPath(SETTINGS_FILE_NAME), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    EXPECT_TRUE(saveSettings());
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME), NEW);
}

TEST_F(SettingsFileTest, FolderNamedLikeTheFileIsNoFileToSave) {
    std::filesystem::create_directory(SETTINGS_FILE_NAME);
    writeFile("TintMark.dat/inside", "kept");
    addEntry("new", "", 0, 0);
    EXPECT_FALSE(saveSettings());
    EXPECT_EQ(saveFailure.problem, SAVE_NOT_A_FILE);
    expectPathNamed();
    expectTableKept("new");
    EXPECT_EQ(readFile("TintMark.dat/inside"), "kept");
    EXPECT_EQ(folderNames(), std::vector<std::string>{"TintMark.dat"});
}

// Files that look like temporary files, a user's or a killed save's, are
// never taken, changed or removed, whatever they are.
TEST_F(SettingsFileTest, FilesNamedLikeTemporaryFilesAreLeftAlone) {
    writeFile("TintMark.dat.tmp", "user's");
    makeReadOnly("TintMark.dat.tmp");
    // Names of this process's own pattern, for the next counters it may use:
    // writable files, read-only files and folders.
    const std::string pid = std::to_string(platformProcessId());
    std::vector<std::string> names = {"TintMark.dat", "TintMark.dat.tmp"};
    for (int counter = 1; counter <= 90; ++counter) {
        const std::string name = "TintMark.dat." + pid + "-" + std::to_string(counter) + ".tmp";
        if (counter % 3 == 0) {
            std::filesystem::create_directory(toPath(name));
        } else {
            writeFile(name, "user's");
        }
        if (counter % 3 == 1) {
            makeReadOnly(name);
        }
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    addEntry("new", "", 0, 0);
    for (int save = 0; save < 3; ++save) {
        ASSERT_TRUE(saveSettings()) << save;
        EXPECT_EQ(readFile(SETTINGS_FILE_NAME), NEW);
        // The new file took none of a stale file's marks: it can be saved over.
        EXPECT_FALSE(platformFileReadOnly(toPath(SETTINGS_FILE_NAME).c_str()));
    }
    EXPECT_EQ(folderNames(), names);
    EXPECT_EQ(readFile("TintMark.dat.tmp"), "user's");
    EXPECT_EQ(readFile("TintMark.dat." + pid + "-1.tmp"), "user's");
}

// The file is written through links: a symbolic link stays a link to a file
// that now holds the new bytes. A hard link's other name keeps the old file,
// whole, since the new file takes the settings file's name in one step.
TEST_F(SettingsFileTest, LinksAreFollowed) {
    std::error_code error;
    // Under Wine the link is made outside (windows_link_test.sh) in a folder
    // that holds "real" and the link TintMark.dat to real/target.dat.
    if (const char* linked = std::getenv("TINTMARK_LINKED_FOLDER")) {
        std::filesystem::current_path(toPath(linked));
    } else {
        std::filesystem::create_directory("real");
        std::filesystem::create_symlink(toPath("real/target.dat"), toPath(SETTINGS_FILE_NAME),
                                        error);
    }
    if (error) {
        GTEST_SKIP() << "no symbolic links here: " << error.message();
    }
    writeFile("real/target.dat", OLD);
    addEntry("new", "", 0, 0);
    ASSERT_TRUE(saveSettings());
#ifndef _WIN32 // Wine shows a Unix link as the file itself; the script checks it.
    EXPECT_TRUE(std::filesystem::is_symlink(toPath(SETTINGS_FILE_NAME)));
#endif
    EXPECT_EQ(readFile("real/target.dat"), NEW);
    EXPECT_EQ(folderNames(), (std::vector<std::string>{"TintMark.dat", "real"}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("real"),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(SettingsFileTest, HardLinkKeepsTheOldFileWhole) {
    writeFile(SETTINGS_FILE_NAME, OLD);
    std::filesystem::create_hard_link(toPath(SETTINGS_FILE_NAME), toPath("other.dat"));
    addEntry("new", "", 0, 0);
    ASSERT_TRUE(saveSettings());
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME), NEW);
    EXPECT_EQ(readFile("other.dat"), OLD);
}

#ifdef _WIN32
TEST_F(SettingsFileTest, AttributesAsWindowsSeesThem) {
    const std::wstring path = toPath(SETTINGS_FILE_NAME);
    writeFile(SETTINGS_FILE_NAME, OLD);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    addEntry("new", "", 0, 0);
    ASSERT_TRUE(saveSettings());
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME), NEW);
    EXPECT_NE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);

    // The read-only attribute is a refusal, and stays.
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    resetTable();
    addEntry("newer", "", 0, 0);
    EXPECT_FALSE(saveSettings());
    EXPECT_EQ(saveFailure.problem, SAVE_READ_ONLY);
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME), NEW);
    EXPECT_NE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}
#else
// Runs a save in a child process with the given set-up. The child exits 0
// when the save succeeded; otherwise 1 + the problem, or 100 + errno (below
// 100) for a system error.
template <typename Prepare> int saveInChild(Prepare prepare) {
    pid_t child = fork();
    if (child == 0) {
        prepare();
        if (saveSettings()) {
            _exit(0);
        }
        if (saveFailure.problem == SAVE_SYSTEM_ERROR && saveFailure.systemError < 100) {
            _exit(100 + saveFailure.systemError);
        }
        _exit(1 + saveFailure.problem);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Root may write anywhere: the child saves as an ordinary user instead.
void becomeOrdinaryUser() {
    if (geteuid() == 0 && setuid(65534) != 0) {
        _exit(99);
    }
}

// A table far larger than the 100 bytes a child may write before the disk is
// "full"; returns the result of that child's save.
static int saveLargeTableOnFullDisk(bool asOrdinaryUser) {
    for (int i = 0; i < 200; ++i) {
        addEntry(("keyword number " + std::to_string(i)).c_str(), "ABCDEF", i, 0);
    }
    return saveInChild([asOrdinaryUser] {
        if (asOrdinaryUser) {
            becomeOrdinaryUser();
        }
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
    });
}

TEST_F(SettingsFileTest, FullDiskKeepsTheOldFile) {
    writeFile(SETTINGS_FILE_NAME, OLD);
    EXPECT_EQ(saveLargeTableOnFullDisk(false), 100 + EFBIG);
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME), OLD);
    EXPECT_EQ(folderNames(), std::vector<std::string>{"TintMark.dat"});
}

// A folder the user may not write: the file the user may write is written in
// place; its old bytes come back when that fails.
TEST_F(SettingsFileTest, UnwritableFolderWithAWritableFileIsWrittenInPlace) {
    writeFile(SETTINGS_FILE_NAME, OLD);
    chmod(SETTINGS_FILE_NAME, 0666);
    chmod(dir.root.c_str(), 0555);
    addEntry("new", "", 0, 0);
    EXPECT_EQ(saveInChild(becomeOrdinaryUser), 0);
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME), NEW);

    writeFile(SETTINGS_FILE_NAME, OLD);
    EXPECT_EQ(saveLargeTableOnFullDisk(true), 100 + EFBIG);
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME), OLD);
    EXPECT_EQ(folderNames(), std::vector<std::string>{"TintMark.dat"});
}

TEST_F(SettingsFileTest, UnwritableFolderWithoutAFileSaysWhy) {
    chmod(dir.root.c_str(), 0555);
    addEntry("new", "", 0, 0);
    EXPECT_EQ(saveInChild(becomeOrdinaryUser), 100 + EACCES);
    EXPECT_EQ(folderNames(), std::vector<std::string>{});
}

TEST_F(SettingsFileTest, UnwritableFolderAndFileKeepTheOldFile) {
    writeFile(SETTINGS_FILE_NAME, OLD);
    chmod(dir.root.c_str(), 0555);
    addEntry("new", "", 0, 0);
    EXPECT_EQ(saveInChild(becomeOrdinaryUser), 1 + SAVE_READ_ONLY);
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME), OLD);
}

TEST_F(SettingsFileTest, ModeAndOwnerAreKept) {
    writeFile(SETTINGS_FILE_NAME, OLD);
    ASSERT_EQ(chmod(SETTINGS_FILE_NAME, 0640), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(SETTINGS_FILE_NAME, 65534, 65534), 0);
    }
    const mode_t mask = umask(077);
    addEntry("new", "", 0, 0);
    const bool saved = saveSettings();
    umask(mask);
    ASSERT_TRUE(saved);
    struct stat info;
    ASSERT_EQ(stat(SETTINGS_FILE_NAME, &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(info.st_uid, 65534u);
        EXPECT_EQ(info.st_gid, 65534u);
    }
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME), NEW);
}

TEST_F(SettingsFileTest, PipesInTheWayAreNeverOpened) {
    // A pipe as the settings file: nothing is saved, and nothing waits.
    ASSERT_EQ(mkfifo(SETTINGS_FILE_NAME, 0600), 0);
    addEntry("k", "", 0, 0);
    EXPECT_EQ(saveInChild([] { alarm(10); }), 1 + SAVE_NOT_A_FILE);
}

// A folder deep enough that the settings file's path fits but no temporary
// name beside it does: the file is written in place.
TEST_F(SettingsFileTest, PathTooLongForATemporaryNameIsWrittenInPlace) {
    const std::string step(200, 'd');
    std::string depth = std::filesystem::canonical(".").string();
    while (depth.size() + 1 + step.size() + 1 + 20 + 13 < 4096 - 30) {
        ASSERT_EQ(mkdir(step.c_str(), 0700), 0);
        ASSERT_EQ(chdir(step.c_str()), 0);
        depth += "/" + step;
    }
    const std::string last(4096 - 30 - depth.size() - 1 - 13, 'e');
    ASSERT_EQ(mkdir(last.c_str(), 0700), 0);
    ASSERT_EQ(chdir(last.c_str()), 0);
    writeFile(SETTINGS_FILE_NAME, OLD);
    addEntry("new", "", 0, 0);
    EXPECT_TRUE(saveSettings());
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME), NEW);
    EXPECT_EQ(folderNames(), std::vector<std::string>{"TintMark.dat"});
}
#endif

} // namespace
