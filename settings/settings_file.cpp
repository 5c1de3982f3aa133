#include "settings/settings_file.h"
#include "settings/settings_format.h"

#include <cstdint>
#include <cstring>

#include "core/decimal.h"
#include "core/decoration_table.h"
#include "core/diagnostics.h"
#include "core/text_reader.h"
#include "core/text_writer.h"
#include "platform/platform.h"

const char SETTINGS_FILE_NAME[] = TINTMARK_SETTINGS_NAME;
const PathChar SETTINGS_FILE_PATH[] = PATH_TEXT(TINTMARK_SETTINGS_NAME);

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

void writeSettings(TextWriter* out) {
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
