// Saving the settings file where things go wrong: marks, folders, stale
// temporary files, links, modes and attributes, full disks, folders that
// cannot be written. The bytes written are checked in settings_file_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/decoration_table.h"
#include "platform/platform.h"
#include "settings/settings_file.h"
#include "settings/settings_save.h"
#include "test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

const std::string START = "[TntMark set file]\r\n";
const std::string END = "[TntMark set file end]\r\n";
const std::string NO_COLOUR_BYTES = "\x96\xB3\x95\xCF\x8A\xB7";

struct SettingsFileSaveTest : ::testing::Test {
    void SetUp() override {
        resetTable();
        dir.enter();
    }
    void TearDown() override {
        resetTable();
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
        EXPECT_STREQ(entryText(decorationTable.entries[0]), keyword);
    }
    ScratchDir dir;
};

const std::string OLD = START + "0\r\nold\r\nC\r\n0\r\n0\r\n" + END;
const std::string NEW = START + "0\r\nnew\r\n" + NO_COLOUR_BYTES + "\r\n0\r\n0\r\n" + END;

void makeReadOnly(const std::string& path) {
    std::filesystem::permissions(toPath(path), std::filesystem::perms::owner_read |
                                                   std::filesystem::perms::group_read |
                                                   std::filesystem::perms::others_read);
}

TEST_F(SettingsFileSaveTest, ReadOnlyFileIsLeftAsItWasAndSaidToBe) {
    writeFile(SETTINGS_FILE_NAME, OLD);
    makeReadOnly(SETTINGS_FILE_NAME);
    addEntry("new", "", 0, 0);
    EXPECT_FALSE(saveSettings());
    EXPECT_EQ(saveFailure.problem, SAVE_READ_ONLY);
    expectPathNamed();
    expectTableKept("new");
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME), OLD);
    EXPECT_EQ(namesIn("."), std::vector<std::string>{"TintMark.dat"});
    // Once the mark is gone, the same table is saved.
    std::filesystem::permissions(toPath(SETTINGS_FILE_NAME), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    EXPECT_TRUE(saveSettings());
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME), NEW);
}

TEST_F(SettingsFileSaveTest, FolderNamedLikeTheFileIsNoFileToSave) {
    std::filesystem::create_directory(SETTINGS_FILE_NAME);
    writeFile("TintMark.dat/inside", "kept");
    addEntry("new", "", 0, 0);
    EXPECT_FALSE(saveSettings());
    EXPECT_EQ(saveFailure.problem, SAVE_NOT_A_FILE);
    expectPathNamed();
    expectTableKept("new");
    EXPECT_EQ(readFile("TintMark.dat/inside"), "kept");
    EXPECT_EQ(namesIn("."), std::vector<std::string>{"TintMark.dat"});
}

// Files that look like temporary files, a user's or a killed save's, are
// never taken, changed or removed, whatever they are.
TEST_F(SettingsFileSaveTest, FilesNamedLikeTemporaryFilesAreLeftAlone) {
    writeFile("TintMark.dat.tmp", "user's");
    makeReadOnly("TintMark.dat.tmp");
    // Names of this process's own pattern, for the next counters it may use:
    // writable files, read-only files and folders.
    const std::string pid = std::to_string(platformProcessId());
    std::vector<std::string> names = {"TintMark.dat", "TintMark.dat.tmp"};
    for (int counter = 1; counter <= 90; ++counter) {
        const std::string name = "TintMark.dat.tmp-" + pid + "-" + std::to_string(counter);
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
        EXPECT_EQ(platformWritePlace(toPath(SETTINGS_FILE_NAME).c_str(), nullptr), PLACE_WRITABLE);
    }
    EXPECT_EQ(namesIn("."), names);
    EXPECT_EQ(readFile("TintMark.dat.tmp"), "user's");
    EXPECT_EQ(readFile("TintMark.dat.tmp-" + pid + "-1"), "user's");
}

// The file is written through links: a symbolic link stays a link to a file
// that now holds the new bytes. A hard link's other name keeps the old file,
// whole, since the new file takes the settings file's name in one step.
TEST_F(SettingsFileSaveTest, LinksAreFollowed) {
    std::error_code error;
    // Under Wine the link is made outside (windows_link_test.sh) in a folder
    // that holds "real" and the link TintMark.dat to real/target.dat.
    if (const char* linked = std::getenv("TINTMARK_LINKED_FOLDER")) {
        std::filesystem::current_path(toPath(linked));
    } else {
#ifdef _WIN32
        // A Windows program cannot make the link Wine would show it.
        GTEST_SKIP() << "the link is made by windows_link_test.sh";
#else
        std::filesystem::create_directory("real");
        std::filesystem::create_symlink(toPath("real/target.dat"), toPath(SETTINGS_FILE_NAME),
                                        error);
#endif
    }
    if (error) {
        GTEST_SKIP() << "no symbolic links here (error " << error.value() << ")";
    }
    writeFile("real/target.dat", OLD);
    addEntry("new", "", 0, 0);
    ASSERT_TRUE(saveSettings());
#ifndef _WIN32 // Wine shows a Unix link as the file itself; the script checks it.
    EXPECT_TRUE(std::filesystem::is_symlink(toPath(SETTINGS_FILE_NAME)));
#endif
    EXPECT_EQ(readFile("real/target.dat"), NEW);
    EXPECT_EQ(namesIn("."), (std::vector<std::string>{"TintMark.dat", "real"}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("real"),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(SettingsFileSaveTest, HardLinkKeepsTheOldFileWhole) {
    writeFile(SETTINGS_FILE_NAME, OLD);
    std::filesystem::create_hard_link(toPath(SETTINGS_FILE_NAME), toPath("other.dat"));
    addEntry("new", "", 0, 0);
    ASSERT_TRUE(saveSettings());
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME), NEW);
    EXPECT_EQ(readFile("other.dat"), OLD);
}

#ifdef _WIN32
TEST_F(SettingsFileSaveTest, AttributesAsWindowsSeesThem) {
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

TEST_F(SettingsFileSaveTest, FullDiskKeepsTheOldFile) {
    writeFile(SETTINGS_FILE_NAME, OLD);
    EXPECT_EQ(saveLargeTableOnFullDisk(false), 100 + EFBIG);
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME), OLD);
    EXPECT_EQ(namesIn("."), std::vector<std::string>{"TintMark.dat"});
}

// A folder the user may not write: the file the user may write is written in
// place; its old bytes come back when that fails.
TEST_F(SettingsFileSaveTest, UnwritableFolderWithAWritableFileIsWrittenInPlace) {
    writeFile(SETTINGS_FILE_NAME, OLD);
    chmod(SETTINGS_FILE_NAME, 0666);
    chmod(dir.root.c_str(), 0555);
    addEntry("new", "", 0, 0);
    EXPECT_EQ(saveInChild(becomeOrdinaryUser), 0);
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME), NEW);

    writeFile(SETTINGS_FILE_NAME, OLD);
    EXPECT_EQ(saveLargeTableOnFullDisk(true), 100 + EFBIG);
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME), OLD);
    EXPECT_EQ(namesIn("."), std::vector<std::string>{"TintMark.dat"});
}

TEST_F(SettingsFileSaveTest, UnwritableFolderWithoutAFileSaysWhy) {
    chmod(dir.root.c_str(), 0555);
    addEntry("new", "", 0, 0);
    EXPECT_EQ(saveInChild(becomeOrdinaryUser), 100 + EACCES);
    EXPECT_EQ(namesIn("."), std::vector<std::string>{});
}

TEST_F(SettingsFileSaveTest, UnwritableFolderAndFileKeepTheOldFile) {
    writeFile(SETTINGS_FILE_NAME, OLD);
    chmod(dir.root.c_str(), 0555);
    addEntry("new", "", 0, 0);
    EXPECT_EQ(saveInChild(becomeOrdinaryUser), 1 + SAVE_READ_ONLY);
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME), OLD);
}

TEST_F(SettingsFileSaveTest, ModeAndOwnerAreKept) {
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

TEST_F(SettingsFileSaveTest, PipesInTheWayAreNeverOpened) {
    // A pipe as the settings file: nothing is saved, and nothing waits.
    ASSERT_EQ(mkfifo(SETTINGS_FILE_NAME, 0600), 0);
    addEntry("k", "", 0, 0);
    EXPECT_EQ(saveInChild([] { alarm(10); }), 1 + SAVE_NOT_A_FILE);
}

// A folder deep enough that the settings file's path fits but the whole
// temporary name beside it does not: the temporary takes a shorter name,
// and the file is still replaced in one step, not written in place (which
// would show through the hard link).
TEST_F(SettingsFileSaveTest, PathTooLongForAWholeTemporaryNameTakesAShorterOne) {
    const std::string name = std::string("/") + SETTINGS_FILE_NAME;
    // Fewer units left than any suffix takes: ".tmp-<pid>-" and a counter.
    const size_t spare = std::string(".tmp-" + std::to_string(platformProcessId()) + "-").size();
    const size_t folderLength = SETTINGS_PATH_CAPACITY - 1 - spare - name.size();
    std::string depth = std::filesystem::canonical(".").string();
    ASSERT_LT(depth.size() + 2, folderLength);
    while (depth.size() < folderLength) {
        // Components of at most 200 bytes, the last one taking what is left.
        const size_t left = folderLength - depth.size() - 1;
        const std::string step(left > 250 ? 200 : left, 'd');
        ASSERT_EQ(mkdir(step.c_str(), 0700), 0);
        ASSERT_EQ(chdir(step.c_str()), 0);
        depth += "/" + step;
    }
    ASSERT_EQ(depth.size() + name.size() + spare + 1, SETTINGS_PATH_CAPACITY);
    writeFile(SETTINGS_FILE_NAME, OLD);
    ASSERT_EQ(link(SETTINGS_FILE_NAME, "other.dat"), 0);
    addEntry("new", "", 0, 0);
    EXPECT_TRUE(saveSettings());
    EXPECT_EQ(readFile(SETTINGS_FILE_NAME), NEW);
    EXPECT_EQ(readFile("other.dat"), OLD);
    EXPECT_EQ(namesIn("."), (std::vector<std::string>{"TintMark.dat", "other.dat"}));
}
#endif

} // namespace
