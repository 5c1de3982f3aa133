#include "settings/settings_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/decimal.h"
#include "core/decoration_table.h"
#include "core/diagnostics.h"
#include "core/text_reader.h"
#include "core/text_writer.h"
#include "platform/platform.h"

const char SETTINGS_FILE_NAME[] = TINTMARK_SETTINGS_NAME;
const PathChar SETTINGS_FILE_PATH[] = PATH_TEXT(TINTMARK_SETTINGS_NAME);
SaveFailure saveFailure;

// The file chosen by setSettingsPath; empty for SETTINGS_FILE_PATH. Zero at
// start, so that its tens of kilobytes cost nothing in the program file.
static PathChar chosenPath[SETTINGS_PATH_CAPACITY];

bool setSettingsPath(const PathChar* path) {
    const size_t length = pathLength(path, SETTINGS_PATH_CAPACITY);
    if (length >= SETTINGS_PATH_CAPACITY) {
        return false;
    }
    std::memcpy(chosenPath, path, length * sizeof(PathChar));
    chosenPath[length] = 0;
    return true;
}

const PathChar* settingsPath() {
    return chosenPath[0] != 0 ? chosenPath : SETTINGS_FILE_PATH;
}

static const char START_MARKER[] = "[TntMark set file]";
static const char END_MARKER[] = "[TntMark set file end]";

// Stored when the table is empty, so the file always holds one entry.
static const char DEFAULT_KEYWORD[] = "\x82\xe0\x82\xa9\x82\xd8\x82\xbf.Q"; // もかぺち.Q
static const char DEFAULT_COLOUR_LINE[] = "16711680";
static const int32_t DEFAULT_SIZE = 6;
static const int32_t DEFAULT_STYLE = 0;

// Each line, newline included, must fit in 1023 bytes.
constexpr int SETTINGS_LINE_BUFFER = 1024;

// Reads one line; the part of an over-long line that does not fit is read
// and dropped, so the lines after it stay in step. Returns 0 at the end.
static int readSettingsLine(TextReader* in, char* line) {
    int length = readTextLine(in, line, SETTINGS_LINE_BUFFER);
    if (length == SETTINGS_LINE_BUFFER - 1 && line[length - 1] != '\n') {
        char rest[SETTINGS_LINE_BUFFER];
        int more;
        do {
            more = readTextLine(in, rest, SETTINGS_LINE_BUFFER);
        } while (more > 0 && rest[more - 1] != '\n');
    }
    return length;
}

bool loadSettings() {
    clear();
    decorationTable.lineBreakTags = 0;

    TextReader in;
    if (!openTextReader(&in, settingsPath())) {
        return false;
    }
    char line[SETTINGS_LINE_BUFFER];
    if (readSettingsLine(&in, line) == 0 || std::strstr(line, START_MARKER) == nullptr ||
        readSettingsLine(&in, line) == 0) {
        const bool readOk = !in.failed;
        closeTextReader(&in);
        return readOk;
    }
    decorationTable.lineBreakTags = static_cast<uint8_t>(parseDecimal(line));

    // A file that ends early keeps the entries read completely.
    char colour[SETTINGS_LINE_BUFFER];
    char size[SETTINGS_LINE_BUFFER];
    char style[SETTINGS_LINE_BUFFER];
    while (readSettingsLine(&in, line) > 0 && std::strstr(line, END_MARKER) == nullptr) {
        if (readSettingsLine(&in, colour) == 0 || readSettingsLine(&in, size) == 0 ||
            readSettingsLine(&in, style) == 0) {
            break;
        }
        // Entries past the table's capacity are read and ignored.
        appendLoaded(line, static_cast<int>(std::strcspn(line, "\n")), colour,
                     static_cast<int>(std::strcspn(colour, "\n")), parseDecimal(size),
                     parseDecimal(style));
    }
    const bool readOk = !in.failed;
    closeTextReader(&in);

    for (int32_t i = 0; i < decorationTable.count; ++i) {
        const DecorationEntry& entry = decorationTable.entries[i];
        trace("[%s(%d)][0x%s][%d][%X]\n", entryText(entry), entry.textSize, entry.colour,
              entry.size, static_cast<unsigned>(entry.style));
    }
    return readOk;
}

static void writeLine(TextWriter* out, const char* text) {
    writeTextString(out, text);
    writeText(out, "\n", 1);
}

static void writeNumberLine(TextWriter* out, int32_t value) {
    writeTextNumber(out, value);
    writeText(out, "\n", 1);
}

static void writeSettings(TextWriter* out) {
    writeLine(out, START_MARKER);
    writeLine(out, decorationTable.lineBreakTags ? "1" : "0");
    if (decorationTable.count == 0) {
        writeLine(out, DEFAULT_KEYWORD);
        writeLine(out, DEFAULT_COLOUR_LINE);
        writeNumberLine(out, DEFAULT_SIZE);
        writeNumberLine(out, DEFAULT_STYLE);
    }
    for (int32_t i = 0; i < decorationTable.count; ++i) {
        const DecorationEntry& entry = decorationTable.entries[i];
        writeLine(out, entryText(entry));
        writeLine(out, entry.colour);
        writeNumberLine(out, entry.size);
        writeNumberLine(out, entry.style);
    }
    writeLine(out, END_MARKER);
}

// The whole of the file at `path` in a heap block the caller frees, for
// writing back if an in-place save fails. A missing file gives true with no
// block; a file that cannot be read or held gives false.
static bool keepOldBytes(const PathChar* path, char** bytes, size_t* length) {
    *bytes = nullptr;
    *length = 0;
    FILE* file = platformOpenFile(path, "rb");
    if (file == nullptr) {
        return errno == ENOENT;
    }
    size_t capacity = 0;
    bool ok = true;
    for (;;) {
        if (*length == capacity) {
            capacity = capacity == 0 ? 4096 : capacity * 2;
            char* larger = static_cast<char*>(std::realloc(*bytes, capacity));
            if (larger == nullptr) {
                ok = false;
                break;
            }
            *bytes = larger;
        }
        const size_t got = std::fread(*bytes + *length, 1, capacity - *length, file);
        *length += got;
        if (got == 0) {
            ok = std::ferror(file) == 0;
            break;
        }
    }
    std::fclose(file);
    if (!ok) {
        std::free(*bytes);
        *bytes = nullptr;
    }
    return ok;
}

static void writeBack(const PathChar* path, const char* bytes, size_t length) {
    FILE* file = platformOpenFile(path, "wb");
    if (file != nullptr) {
        std::fwrite(bytes, 1, length, file);
        std::fclose(file);
    }
}

// The save's working paths: the file written (links resolved) and the
// temporary file beside it. Static, as they may be tens of kilobytes.
static PathChar targetPath[SETTINGS_PATH_CAPACITY];
static PathChar temporaryPath[SETTINGS_PATH_CAPACITY];
// Counts the temporary names this process has tried, so a name once used is
// never tried again, even by a later save.
static unsigned long temporaryCounter;

static void fail(SaveProblem problem, int systemError) {
    saveFailure.problem = problem;
    saveFailure.systemError = systemError;
}

// Appends the decimal digits of `value` at `text[*length]`.
static void appendNumber(PathChar* text, size_t* length, unsigned long value) {
    char digits[24];
    const int count = std::snprintf(digits, sizeof digits, "%lu", value);
    for (int i = 0; i < count; ++i) {
        text[(*length)++] = static_cast<PathChar>(digits[i]);
    }
}

// Makes "<target>.<process id>-<counter>.tmp" in temporaryPath. False when
// it does not fit.
static bool makeTemporaryName() {
    static const char SUFFIX[] = ".tmp";
    const size_t base = pathLength(targetPath, SETTINGS_PATH_CAPACITY);
    // Two numbers of at most 20 digits, '.', '-' and the suffix.
    if (base + 2 * 20 + 2 + sizeof SUFFIX > SETTINGS_PATH_CAPACITY) {
        return false;
    }
    size_t length = base;
    std::memcpy(temporaryPath, targetPath, base * sizeof(PathChar));
    temporaryPath[length++] = '.';
    appendNumber(temporaryPath, &length, platformProcessId());
    temporaryPath[length++] = '-';
    appendNumber(temporaryPath, &length, ++temporaryCounter);
    for (const char* c = SUFFIX; *c != '\0'; ++c) {
        temporaryPath[length++] = static_cast<PathChar>(*c);
    }
    temporaryPath[length] = 0;
    return true;
}

// Opens a temporary file of a name nothing else holds, beside the target.
// Null when none can be made; saveFailure then holds the reason.
static FILE* createTemporaryFile() {
    // A name is taken only by a file of this process's id left by an older
    // process; a few tries step past such leftovers.
    for (int attempt = 0; attempt < 16; ++attempt) {
        if (!makeTemporaryName()) {
            fail(SAVE_PATH_TOO_LONG, 0);
            return nullptr;
        }
        bool nameTaken = false;
        FILE* file = platformCreateNewFile(temporaryPath, targetPath, &nameTaken);
        if (file != nullptr) {
            return file;
        }
        fail(SAVE_SYSTEM_ERROR, platformLastError());
        if (!nameTaken) {
            break;
        }
    }
    return nullptr;
}

// Writes the table over the target itself, for a folder where no new file
// can be made. The old bytes are kept first and put back if the new ones
// cannot all be written; an old file that cannot be kept is not touched.
static bool saveInPlace() {
    char* oldBytes = nullptr;
    size_t oldLength = 0;
    if (!keepOldBytes(targetPath, &oldBytes, &oldLength)) {
        fail(SAVE_SYSTEM_ERROR, platformLastError());
        return false;
    }
    FILE* file = platformOpenFile(targetPath, "wb");
    if (file == nullptr) {
        fail(SAVE_SYSTEM_ERROR, platformLastError());
        std::free(oldBytes);
        return false;
    }
    TextWriter out;
    attachTextWriter(&out, file);
    writeSettings(&out);
    bool ok = flushTextWriter(&out);
    int reason = ok ? 0 : platformLastError();
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        reason = platformLastError();
    }
    if (!ok) {
        fail(SAVE_SYSTEM_ERROR, reason);
        if (oldBytes != nullptr) {
            writeBack(targetPath, oldBytes, oldLength);
        }
    }
    std::free(oldBytes);
    return ok;
}

// Overview: the table is written to a new temporary file beside the file it
// replaces (links followed), forced to the disk, then put in the old file's
// place in one step; until that step the old file is untouched, so a save
// that fails or is killed at any moment leaves the old file or the new one,
// whole. Where the folder takes no new file, the old file is written in
// place, its bytes put back on failure.
bool saveSettings() {
    fail(SAVE_DONE, 0);
    const PathChar* path = settingsPath();
    if (!platformResolveFile(path, targetPath, SETTINGS_PATH_CAPACITY)) {
        fail(SAVE_SYSTEM_ERROR, platformLastError());
        // setSettingsPath took only what fits.
        std::memcpy(saveFailure.path, path,
                    (pathLength(path, SETTINGS_PATH_CAPACITY - 1) + 1) * sizeof(PathChar));
        return false;
    }
    std::memcpy(saveFailure.path, targetPath, sizeof targetPath);
    // A file the user marked read-only is left as it is, even where the user
    // could override the mark.
    if (platformFileReadOnly(targetPath)) {
        fail(SAVE_READ_ONLY, 0);
        return false;
    }
    // A folder, a pipe or a device: a pipe would wait for a reader forever.
    if (!platformOrdinaryFileOrMissing(targetPath)) {
        fail(SAVE_NOT_A_FILE, 0);
        return false;
    }
    FILE* file = createTemporaryFile();
    if (file == nullptr) {
        return saveInPlace();
    }
    TextWriter out;
    attachTextWriter(&out, file);
    writeSettings(&out);
    bool ok = flushTextWriter(&out) && platformSyncFile(file);
    int reason = ok ? 0 : platformLastError();
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        reason = platformLastError();
    }
    if (ok && !platformReplaceFile(temporaryPath, targetPath)) {
        reason = platformLastError();
        ok = false;
    }
    if (!ok) {
        fail(SAVE_SYSTEM_ERROR, reason);
        platformRemoveFile(temporaryPath);
    }
    return ok;
}
