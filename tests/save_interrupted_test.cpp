// A save or a conversion killed at any moment leaves the file it writes
// either as it was or as it was meant to be written: never cut short, empty,
// or a mix of the two.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <csignal>
#include <filesystem>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "core/decoration_table.h"
#include "core/line_decorator.h"
#include "settings/settings_file.h"
#include "settings/settings_save.h"
#include "test_support.h"

namespace {

const std::string OLD_FILE = "[TntMark set file]\r\n1\r\nold\r\nC\r\n0\r\n0\r\n"
                             "[TntMark set file end]\r\n";

// Entries whose keywords are `length` bytes of `fill`, numbered.
void fillTable(int entries, int length, char fill) {
    resetTable();
    for (int i = 0; i < entries; ++i) {
        addEntry((std::to_string(i) + std::string(length, fill)).c_str(), "ABCDEF", i, i & 15);
    }
}

bool convertInput() {
    return decorateFile("in.txt", "in.html");
}

// Runs `task` (a save of the current table, unless told) in a child that may
// not make a file longer than `limit` bytes. SIGXFSZ keeps its default
// action, so the child dies at the first write that would cross the limit: a
// kill at an exact byte of the new file. Returns the wait status.
int saveCutAt(rlim_t limit, bool (*task)() = saveSettings) {
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        const rlimit size{limit, limit};
        setrlimit(RLIMIT_FSIZE, &size);
        _exit(task() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

bool savedCleanly(int status) {
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The files in the current folder other than the settings file.
size_t temporaryFiles() {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        count += entry.path().filename() != SETTINGS_FILE_NAME;
    }
    return count;
}

struct SaveInterrupted : ::testing::Test {
    void SetUp() override {
        resetTable();
        dir.enter();
    }
    void TearDown() override {
        resetTable();
    }
    // What the current table saves to, from a save that is let finish.
    static std::string newFile() {
        EXPECT_TRUE(savedCleanly(saveCutAt(RLIM_INFINITY)));
        return readFile(SETTINGS_FILE_NAME);
    }
    // Cuts a save of the current table at each limit, over the old file.
    static void cutAt(const std::vector<size_t>& limits) {
        const std::string fresh = newFile();
        ASSERT_GT(fresh.size(), OLD_FILE.size());
        for (size_t limit : limits) {
            writeFile(SETTINGS_FILE_NAME, OLD_FILE);
            const int status = saveCutAt(limit);
            if (limit < fresh.size()) {
                ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << limit;
                ASSERT_EQ(readFile(SETTINGS_FILE_NAME), OLD_FILE) << "cut at " << limit;
            } else {
                ASSERT_TRUE(savedCleanly(status)) << limit;
                ASSERT_EQ(readFile(SETTINGS_FILE_NAME), fresh) << "cut at " << limit;
            }
        }
        // The half-written temporary files of killed saves are no obstacle,
        // and a save that completes leaves none of its own.
        const size_t leftovers = temporaryFiles();
        saveCutAt(1);
        ASSERT_EQ(temporaryFiles(), leftovers + 1);
        EXPECT_EQ(newFile(), fresh);
        EXPECT_EQ(temporaryFiles(), leftovers + 1);
    }
    ScratchDir dir;
};

TEST_F(SaveInterrupted, AtEveryByteOfASmallFile) {
    fillTable(4, 8, 'k');
    std::vector<size_t> limits;
    for (size_t limit = 0, size = newFile().size(); limit <= size + 1; ++limit) {
        limits.push_back(limit);
    }
    cutAt(limits);
}

TEST_F(SaveInterrupted, AroundEveryWriteOfALargeFile) {
    // About 150 KiB: several writes of the writer's 32 KiB buffer.
    fillTable(MAX_ENTRIES, 280, 'w');
    const size_t chunk = 32 * 1024;
    std::vector<size_t> limits = {0, 1};
    for (size_t edge = chunk; edge < 6 * chunk; edge += chunk) {
        limits.insert(limits.end(), {edge - 1, edge, edge + 1});
    }
    std::mt19937 random(1234);
    for (int i = 0; i < 20; ++i) {
        limits.push_back(random() % (6 * chunk));
    }
    cutAt(limits);
}

TEST_F(SaveInterrupted, KilledAtRandomMomentsWhileSavingOverAndOver) {
    fillTable(300, 20, 'a');
    const std::string first = newFile();
    fillTable(200, 40, 'b');
    const std::string second = newFile();

    // Delays spread over a few rounds of saving, wherever the time goes.
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> delayMicroseconds(0, 4000);
    int changed = 0;
    for (int trial = 0; trial < 150; ++trial) {
        writeFile(SETTINGS_FILE_NAME, OLD_FILE);
        const pid_t child = fork();
        if (child == 0) {
            for (;;) {
                fillTable(300, 20, 'a');
                saveSettings();
                fillTable(200, 40, 'b');
                saveSettings();
            }
        }
        usleep(static_cast<useconds_t>(delayMicroseconds(random)));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const std::string now = readFile(SETTINGS_FILE_NAME);
        ASSERT_TRUE(now == OLD_FILE || now == first || now == second)
            << "trial " << trial << ": " << now.size() << " bytes";
        changed += now != OLD_FILE;
    }
    std::printf("%d of 150 kills came after a completed save\n", changed);
}

// A conversion killed part way, at exact bytes of its output and at random
// moments: the output's name holds the old page or the whole new one.
TEST_F(SaveInterrupted, ConversionKilledPartWayLeavesTheOldOutputOrTheNew) {
    addEntry("abc", "FF0000", 3, STYLE_BOLD);
    std::string input;
    for (int i = 0; i < 20000; ++i) {
        input += "line " + std::to_string(i) + " abc and plain text\n";
    }
    writeFile("in.txt", input);
    const std::string old = "old page\r\n";
    ASSERT_TRUE(savedCleanly(saveCutAt(RLIM_INFINITY, convertInput)));
    const std::string fresh = readFile("in.html");
    ASSERT_GT(fresh.size(), input.size());
    for (size_t limit : {size_t(0), size_t(1), size_t(65535), size_t(65536), fresh.size() / 2,
                         fresh.size() - 1, fresh.size()}) {
        writeFile("in.html", old);
        saveCutAt(limit, convertInput);
        ASSERT_EQ(readFile("in.html"), limit < fresh.size() ? old : fresh) << "cut at " << limit;
    }
    std::mt19937 random(77);
    std::uniform_int_distribution<int> delayMicroseconds(0, 20000);
    for (int trial = 0; trial < 60; ++trial) {
        writeFile("in.html", old);
        const pid_t child = fork();
        if (child == 0) {
            for (;;) {
                convertInput();
            }
        }
        usleep(static_cast<useconds_t>(delayMicroseconds(random)));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const std::string now = readFile("in.html");
        ASSERT_TRUE(now == old || now == fresh) << "trial " << trial << ": " << now.size();
    }
}

} // namespace
#endif
