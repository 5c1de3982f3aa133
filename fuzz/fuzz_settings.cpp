// Random settings files: whatever loads must keep to the table's limits, and
// saving it and loading it back must give the same table and option (the
// same bytes, kept in UTF-8 or not); a second save must then write the same
// file. The one exception is the one the file's format has: a table read
// from code page 932 whose saved bytes of 0x80 or more all happen to form
// UTF-8 (half-width katakana alone) is read back as UTF-8.
#include <climits>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "core/decoration_table.h"
#include "fuzz/fuzz_support.h"
#include "settings/settings_file.h"
#include "settings/settings_save.h"

namespace {

struct SavedEntry {
    char text[MAX_KEYWORD_LENGTH + 1];
    int32_t textSize;
    char colour[8];
    int32_t size;
    int32_t style;
    uint8_t keptUtf8;
};

struct Snapshot {
    int32_t count;
    bool lineBreakTags;
    SettingsForm form;
    SavedEntry entries[MAX_ENTRIES];
};

Snapshot loaded;
Snapshot reloaded;
char startDirectory[PATH_MAX];

[[noreturn]] void fail(const char* what) {
    // The fuzzer writes the input relative to the directory it started in.
    if (chdir(startDirectory) != 0) {
        std::perror("chdir");
    }
    fuzzFail(what);
}

// Checks the limits every loaded table keeps and copies it out.
void takeSnapshot(Snapshot& snapshot) {
    const DecorationTable& table = decorationTable;
    if (table.count < 0 || table.count > MAX_ENTRIES) {
        fail("the table's count is out of range");
    }
    snapshot.count = table.count;
    snapshot.lineBreakTags = table.lineBreakTags != 0;
    snapshot.form = table.settingsForm;
    for (int32_t i = 0; i < table.count; ++i) {
        const DecorationEntry& entry = table.entries[i];
        if (entry.text == nullptr) {
            fail("a live entry has no keyword copy");
        }
        const int length = entry.textSize - 1;
        if (length < 0 || length > MAX_KEYWORD_LENGTH ||
            strnlen(entry.text, MAX_KEYWORD_LENGTH + 1) != static_cast<size_t>(length)) {
            fail("a keyword's textSize is out of range or disagrees with its bytes");
        }
        if (std::memchr(entry.text, '\n', static_cast<size_t>(length)) != nullptr) {
            fail("a keyword holds a newline");
        }
        if (strnlen(entry.colour, COLOUR_LENGTH + 1) > static_cast<size_t>(COLOUR_LENGTH) ||
            std::memchr(entry.colour, '\n', COLOUR_LENGTH) != nullptr) {
            fail("a colour holds more than six bytes or a newline");
        }
        SavedEntry& saved = snapshot.entries[i];
        std::memset(&saved, 0, sizeof saved);
        std::memcpy(saved.text, entry.text, static_cast<size_t>(length));
        saved.textSize = entry.textSize;
        std::memcpy(saved.colour, entry.colour, sizeof saved.colour);
        saved.size = entry.size;
        saved.style = entry.style;
        saved.keptUtf8 = entry.keptUtf8;
    }
}

// An empty table is saved as one default entry, which loads back with the
// first six bytes of its colour line.
void expectDefaultEntry(Snapshot& snapshot) {
    static const char keyword[] = "\x82\xe0\x82\xa9\x82\xd8\x82\xbf.Q";
    snapshot.count = 1;
    SavedEntry& entry = snapshot.entries[0];
    std::memset(&entry, 0, sizeof entry);
    std::memcpy(entry.text, keyword, sizeof keyword);
    entry.textSize = sizeof keyword;
    std::memcpy(entry.colour, "167116", 6);
    entry.size = 6;
    entry.style = 0;
}

void compareSnapshots(const Snapshot& expected, const Snapshot& actual) {
    if (expected.lineBreakTags != actual.lineBreakTags) {
        fail("lineBreakTags changed on the way through the file");
    }
    if (expected.count != actual.count) {
        std::fprintf(stderr, "%d entries loaded, %d after saving and loading\n", expected.count,
                     actual.count);
        fail("the entry count changed on the way through the file");
    }
    for (int32_t i = 0; i < expected.count; ++i) {
        if (std::memcmp(&expected.entries[i], &actual.entries[i], sizeof(SavedEntry)) != 0) {
            std::fprintf(stderr, "entry %d: keyword %d/%d bytes, size %d/%d, style %d/%d\n", i,
                         expected.entries[i].textSize - 1, actual.entries[i].textSize - 1,
                         expected.entries[i].size, actual.entries[i].size,
                         expected.entries[i].style, actual.entries[i].style);
            fail("an entry changed on the way through the file");
        }
    }
}

void saveAndCheckReleased() {
    static Snapshot before;
    static Snapshot after;
    takeSnapshot(before);
    if (!saveSettings()) {
        fail("saveSettings failed in a writable directory");
    }
    // The save leaves the table whole, for a retry; its owner releases it.
    takeSnapshot(after);
    compareSnapshots(before, after);
    releaseKeywords();
    for (int32_t i = 0; i < MAX_ENTRIES; ++i) {
        if (decorationTable.entries[i].text != nullptr) {
            fail("releaseKeywords kept a keyword copy");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (startDirectory[0] == '\0' && getcwd(startDirectory, sizeof startDirectory) == nullptr) {
        fuzzFail("getcwd failed");
    }
    // The settings file is opened by its bare name: work in the scratch
    // directory, and give the fuzzer its own directory back afterwards.
    if (chdir(scratchDir()) != 0) {
        fail("cannot enter the scratch directory");
    }
    if (!writeFileRepeated(SETTINGS_FILE_NAME, data, size, 1)) {
        fail("cannot write the settings file");
    }

    loadSettings();
    takeSnapshot(loaded);
    saveAndCheckReleased();
    static const char firstSave[] = "first-save.dat";
    unlink(firstSave);
    if (link(SETTINGS_FILE_NAME, firstSave) != 0) {
        fail("cannot keep the first saved file");
    }

    loadSettings();
    takeSnapshot(reloaded);
    const bool loadedEmpty = loaded.count == 0;
    if (loadedEmpty) {
        expectDefaultEntry(loaded);
    }
    const bool readAsUtf8Now = loaded.form == SETTINGS_CP932 && reloaded.form != SETTINGS_CP932;
    if (!readAsUtf8Now) {
        compareSnapshots(loaded, reloaded);
    }

    saveAndCheckReleased();
    long offset = 0;
    if (!loadedEmpty && !readAsUtf8Now &&
        compareFiles(firstSave, SETTINGS_FILE_NAME, &offset) != 0) {
        std::fprintf(stderr, "saved files differ at byte %ld\n", offset);
        fail("saving a loaded table again wrote a different file");
    }
    unlink(firstSave);

    if (chdir(startDirectory) != 0) {
        fuzzFail("cannot return to the start directory");
    }
    return 0;
}
