#include "settings/settings_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/decimal.h"
#include "core/decoration_table.h"
#include "core/diagnostics.h"
#include "core/text_file.h"
#include "platform/platform.h"

const char SETTINGS_FILE_NAME[] = TINTMARK_SETTINGS_NAME;
const PathChar SETTINGS_FILE_PATH[] = PATH_TEXT(TINTMARK_SETTINGS_NAME);
// Written first and renamed over the settings file, so a failed save never
// leaves a half-written file behind.
static const PathChar SETTINGS_TEMP_PATH[] = PATH_TEXT(TINTMARK_SETTINGS_NAME ".tmp");

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

void loadSettings() {
    clear();
    decorationTable.lineBreakTags = 0;

    TextReader in;
    if (!openTextReader(&in, SETTINGS_FILE_PATH)) {
        return;
    }
    char line[SETTINGS_LINE_BUFFER];
    if (readSettingsLine(&in, line) == 0 || std::strstr(line, START_MARKER) == nullptr) {
        closeTextReader(&in);
        return;
    }
    if (readSettingsLine(&in, line) == 0) {
        closeTextReader(&in);
        return;
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
    closeTextReader(&in);

    for (int32_t i = 0; i < decorationTable.count; ++i) {
        const DecorationEntry& entry = decorationTable.entries[i];
        trace("[%s(%d)][0x%s][%d][%X]\n", entryText(entry), entry.textSize, entry.colour,
              entry.size, static_cast<unsigned>(entry.style));
    }
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

static void writeBack(const char* bytes, size_t length) {
    FILE* file = platformOpenFile(SETTINGS_FILE_PATH, "wb");
    if (file != nullptr) {
        std::fwrite(bytes, 1, length, file);
        std::fclose(file);
    }
}

bool saveSettings() {
    // A file the user marked read-only is left as it is.
    if (platformFileReadOnly(SETTINGS_FILE_PATH)) {
        return false;
    }
    bool direct = false;
    char* oldBytes = nullptr;
    size_t oldLength = 0;
    // Only ordinary files are opened: opening a pipe would wait for a
    // reader or writer forever.
    FILE* file = platformOrdinaryFileOrMissing(SETTINGS_TEMP_PATH)
                     ? platformOpenFile(SETTINGS_TEMP_PATH, "wb")
                     : nullptr;
    if (file == nullptr) {
        // No new file can be made here, but the old one may still be
        // writable in place. Its bytes are kept first, to be put back if the
        // new ones cannot all be written; an old file that cannot be kept is
        // not overwritten.
        if (!platformOrdinaryFileOrMissing(SETTINGS_FILE_PATH) ||
            !keepOldBytes(SETTINGS_FILE_PATH, &oldBytes, &oldLength)) {
            return false;
        }
        file = platformOpenFile(SETTINGS_FILE_PATH, "wb");
        direct = true;
        if (file == nullptr) {
            std::free(oldBytes);
            return false;
        }
    }
    TextWriter out;
    attachTextWriter(&out, file);
    writeSettings(&out);
    releaseKeywords();

    bool ok = flushTextWriter(&out) && (direct || platformSyncFile(file));
    ok = std::fclose(file) == 0 && ok;
    if (direct) {
        if (!ok && oldBytes != nullptr) {
            writeBack(oldBytes, oldLength);
        }
        std::free(oldBytes);
        return ok;
    }
    if (!ok || !platformReplaceFile(SETTINGS_TEMP_PATH, SETTINGS_FILE_PATH)) {
        platformRemoveFile(SETTINGS_TEMP_PATH);
        return false;
    }
    return true;
}
