#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <filesystem>

#include "core/decoration_table.h"
#include "core/file_batch.h"
#include "test_support.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

// Derives the output name of one path through the batch; "" when skipped.
std::string outputFor(const std::string& input) {
    if (!setInputPath(0, toPath(input).c_str())) {
        return "";
    }
    makeOutputPaths(1);
    return fileBatch.outcomes[0] == FILE_PENDING ? fromPath(fileBatch.outputPaths[0]) : "";
}

TEST(OutputNames, LastDotAnywhereInThePath) {
    EXPECT_EQ(outputFor("notes.txt"), "notes.html");
    EXPECT_EQ(outputFor("C:\\x\\report.final.txt"), "C:\\x\\report.final.html");
    EXPECT_EQ(outputFor("a.b.txt"), "a.b.html");
    EXPECT_EQ(outputFor("a."), "a.html");
    // Directory names are not skipped, whichever separator ends them.
    EXPECT_EQ(outputFor("C:\\my.dir\\readme"), "C:\\my.html");
    EXPECT_EQ(outputFor("my.dir/readme"), "my.html");
    EXPECT_EQ(outputFor("/home/u/x.y"), "/home/u/x.html");
    // Shift-JIS bytes, trail byte 0x5C included, are copied as they are.
    EXPECT_EQ(outputFor("\x83\x5C\x83\x74\x83\x67.txt"), "\x83\x5C\x83\x74\x83\x67.html");
}

TEST(OutputNames, NoDotAfterTheFirstByteGivesNoName) {
    EXPECT_EQ(outputFor("readme"), "");
    EXPECT_EQ(fileBatch.outcomes[0], FILE_SKIPPED_NO_EXTENSION);
    EXPECT_EQ(outputFor(".profile"), ""); // index 0 is never examined
    EXPECT_EQ(outputFor(""), "");
}

TEST(OutputNames, PathLimitsAreEnforcedNotCut) {
    const std::string stem250(250, 'p');
    EXPECT_EQ(outputFor(stem250 + ".text"), stem250 + ".html"); // 255 bytes exactly

    const std::string input255 = std::string(251, 'p') + ".txt";
    ASSERT_EQ(input255.size(), 255u);
    EXPECT_EQ(outputFor(input255), ""); // its output would take 256 bytes
    EXPECT_EQ(fileBatch.outcomes[0], FILE_SKIPPED_OUTPUT_TOO_LONG);

    const std::string input256 = std::string(252, 'p') + ".txt";
    EXPECT_FALSE(setInputPath(0, toPath(input256).c_str()));
    EXPECT_EQ(fileBatch.outcomes[0], FILE_SKIPPED_PATH_TOO_LONG);
    makeOutputPaths(1);
    EXPECT_EQ(fileBatch.outcomes[0], FILE_SKIPPED_PATH_TOO_LONG);
}

struct FileBatchTest : ::testing::Test {
    void SetUp() override {
        resetTable();
    }
    ScratchDir dir;
};

std::vector<FileOutcome> reported;
std::vector<int> started;
size_t stopAfter;

// Converts `paths`, stopping once `stop` files are done.
bool convert(const std::vector<std::string>& paths, size_t stop = SIZE_MAX) {
    std::vector<PathString> converted;
    for (const std::string& path : paths) {
        converted.push_back(toPath(path));
    }
    std::vector<const PathChar*> arguments;
    for (const PathString& path : converted) {
        arguments.push_back(path.c_str());
    }
    reported.clear();
    started.clear();
    stopAfter = stop;
    const BatchListener listener = {
        nullptr, [](void*, int index, const PathChar*) { started.push_back(index); },
        [](void*, int, const PathChar*, FileOutcome outcome) { reported.push_back(outcome); },
        [](void*) { return reported.size() >= stopAfter; }};
    return convertFiles(static_cast<int>(arguments.size()), arguments.data(), &listener);
}

TEST_F(FileBatchTest, ConvertsEveryFileInOrderAcrossBatches) {
    addEntry("K", "", 0, STYLE_BOLD);
    std::vector<std::string> paths;
    for (int i = 0; i < 1100; ++i) {
        paths.push_back(dir.path("f" + std::to_string(i) + ".txt"));
        writeFile(paths.back(), "K" + std::to_string(i) + "\n");
    }
    // Files 0 and 1099 share one output name: the later one must win, which
    // only holds when the batches run in order.
    writeFile(dir.path("f0.log"), "last\n");
    paths.push_back(dir.path("f0.log"));

    EXPECT_TRUE(convert(paths));
    ASSERT_EQ(reported.size(), 1101u);
    for (FileOutcome outcome : reported) {
        EXPECT_EQ(outcome, FILE_CONVERTED);
    }
    EXPECT_EQ(readFile(dir.path("f0.html")), "last\r\n");
    EXPECT_EQ(readFile(dir.path("f513.html")), "<B>K</B>513\r\n");
    EXPECT_EQ(readFile(dir.path("f1099.html")), "<B>K</B>1099\r\n");
}

TEST_F(FileBatchTest, InputIsNeverItsOwnOutput) {
    writeFile(dir.path("page.html"), "keep me\n");
    EXPECT_FALSE(convert({dir.path("page.html")}));
    EXPECT_EQ(reported[0], FILE_SKIPPED_SAME_FILE);
    EXPECT_EQ(readFile(dir.path("page.html")), "keep me\n");

#ifdef _WIN32
    writeFile(dir.path("upper.HTML"), "keep me too\n");
    EXPECT_FALSE(convert({dir.path("upper.HTML")}));
    EXPECT_EQ(reported[0], FILE_SKIPPED_SAME_FILE);
    EXPECT_EQ(readFile(dir.path("upper.HTML")), "keep me too\n");
#else
    // A hard link: two names, one file.
    writeFile(dir.path("linked.txt"), "shared\n");
    ASSERT_EQ(link(dir.path("linked.txt").c_str(), dir.path("linked.html").c_str()), 0);
    EXPECT_FALSE(convert({dir.path("linked.txt")}));
    EXPECT_EQ(reported[0], FILE_SKIPPED_SAME_FILE);
    EXPECT_EQ(readFile(dir.path("linked.txt")), "shared\n");
#endif
}

TEST_F(FileBatchTest, SlotWithoutOutputNameIsNotWrittenToAStaleName) {
    writeFile(dir.path("a.txt"), "first\n");
    EXPECT_TRUE(convert({dir.path("a.txt")}));
    ASSERT_EQ(fromPath(fileBatch.outputPaths[0]), dir.path("a.html"));
    writeFile(dir.path("a.html"), "untouched");

    // The same slot, next batch, with no '.' after the first byte.
    const std::string bare = "readme-without-dot";
    dir.enter();
    writeFile(bare, "text\n");
    EXPECT_FALSE(convert({bare}));
    EXPECT_EQ(reported[0], FILE_SKIPPED_NO_EXTENSION);
    EXPECT_EQ(readFile(dir.path("a.html")), "untouched");
    EXPECT_EQ(readFile(bare), "text\n");
}

TEST_F(FileBatchTest, FailuresAreReportedAndTheBatchGoesOn) {
    std::filesystem::create_directory(dir.path("blocked.html"));
    writeFile(dir.path("blocked.txt"), "in\n");
    writeFile(dir.path("empty.txt"), "");
    writeFile(dir.path("fine.txt"), "ok\n");

    EXPECT_FALSE(convert({dir.path("blocked.txt"), dir.path("missing.txt"), dir.path("empty.txt"),
                          dir.path("fine.txt")}));
    ASSERT_EQ(reported.size(), 4u);
    EXPECT_EQ(reported[0], FILE_OUTPUT_UNWRITABLE);
    EXPECT_EQ(readFile(dir.path("blocked.txt")), "in\n");
    // A missing input still leaves an empty output behind.
    EXPECT_EQ(reported[1], FILE_INPUT_UNREADABLE);
    EXPECT_EQ(readFile(dir.path("missing.html")), "");
    EXPECT_EQ(reported[2], FILE_EMPTY_INPUT);
    EXPECT_EQ(readFile(dir.path("empty.html")), "");
    EXPECT_FALSE(outcomeIsFailure(FILE_EMPTY_INPUT));
    EXPECT_EQ(reported[3], FILE_CONVERTED);
    EXPECT_EQ(readFile(dir.path("fine.html")), "ok\r\n");
}

// An output is replaced whole or left as it was: a read-only one is left,
// and one reached through a link replaces the file the link leads to,
// keeping the link. Nothing is left beside them.
TEST_F(FileBatchTest, OutputsAreReplacedWholeOrLeftAsTheyWere) {
    writeFile(dir.path("locked.txt"), "new\n");
    writeFile(dir.path("locked.html"), "old locked\n");
    std::filesystem::permissions(toPath(dir.path("locked.html")),
                                 std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    std::vector<std::string> names = {"locked.html", "locked.txt"};
#ifndef _WIN32 // a Windows program cannot make the link Wine would show it
    makeDir(dir.path("real"));
    writeFile(dir.path("real/page.html"), "old page\n");
    std::filesystem::create_symlink("real/page.html", dir.path("linked.html"));
    writeFile(dir.path("linked.txt"), "new\n");
    names = {"linked.html", "linked.txt", "locked.html", "locked.txt", "real"};
    EXPECT_TRUE(convert({dir.path("linked.txt")}));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path("linked.html")));
    EXPECT_EQ(readFile(dir.path("real/page.html")), "new\r\n");
    EXPECT_EQ(namesIn(dir.path("real")), std::vector<std::string>{"page.html"});
#endif
    EXPECT_FALSE(convert({dir.path("locked.txt")}));
    EXPECT_EQ(reported[0], FILE_OUTPUT_UNWRITABLE);
    EXPECT_EQ(readFile(dir.path("locked.html")), "old locked\n");
    // A name too long for the temporary's suffix in one component.
    dir.enter();
    const std::string stem(246, 'n');
    writeFile(stem + ".txt", "long\n");
    EXPECT_TRUE(convert({stem + ".txt"}));
    EXPECT_EQ(readFile(stem + ".html"), "long\r\n");
    names.insert(names.end(), {stem + ".html", stem + ".txt"});
    std::sort(names.begin(), names.end());
    EXPECT_EQ(namesIn(dir.root), names);
}

TEST_F(FileBatchTest, OverlongPathIsSkippedNotCut) {
    dir.enter();
    // Cut to 255 bytes this path would name "xxx...x.txt" in this directory.
    const std::string cutName = std::string(251, 'x') + ".txt";
    const std::string longPath = cutName + "extra.txt";
    EXPECT_FALSE(convert({longPath}));
    EXPECT_EQ(reported[0], FILE_SKIPPED_PATH_TOO_LONG);
    EXPECT_FALSE(fileExists(std::string(251, 'x') + ".html"));
}

// The window follows a batch through `starting` and ends it through
// `stopping`: a stop asked for while a file converts takes effect before the
// next file, which is left alone.
TEST_F(FileBatchTest, ListenerHearsEachFileAndStopsBetweenTwo) {
    std::vector<std::string> paths;
    for (int i = 0; i < 4; ++i) {
        paths.push_back(dir.path("s" + std::to_string(i) + ".txt"));
        writeFile(paths.back(), "x\n");
    }
    EXPECT_FALSE(convert(paths, 2));
    EXPECT_EQ(started, (std::vector<int>{0, 1}));
    EXPECT_EQ(reported.size(), 2u);
    EXPECT_TRUE(fileExists(dir.path("s1.html")));
    EXPECT_FALSE(fileExists(dir.path("s2.html")));
}

} // namespace
