#include "settings/settings_file.h"
#include "settings/settings_format.h"

#include <cstdint>
#include <cstring>

#include "core/characters.h"
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

static const char UTF8_MARK[] = "\xEF\xBB\xBF";

// Each line, newline included, must fit in 1023 bytes; in a UTF-8 file, a
// keyword of the table's longest takes up to three bytes for each of its
// bytes (half-width katakana).
constexpr int SETTINGS_LINE_BUFFER = 1024;
constexpr int UTF8_LINE_BUFFER = 3 * MAX_KEYWORD_LENGTH + 2;

int32_t settingsKeywordLine(int32_t index) {
    return 3 + 4 * index;
}

// Reads one line of at most capacity - 1 bytes; the part of an over-long
// line that does not fit is read and dropped, so the lines after it stay in
// step. Returns 0 at the end.
static int readSettingsLine(TextReader* in, char* line, int capacity) {
    int length = readTextLine(in, line, capacity);
    if (length == capacity - 1 && line[length - 1] != '\n') {
        char rest[SETTINGS_LINE_BUFFER];
        int more;
        do {
            more = readTextLine(in, rest, SETTINGS_LINE_BUFFER);
        } while (more > 0 && rest[more - 1] != '\n');
    }
    return length;
}

// Goes back to the file's start; a file that cannot is one that could not
// be read.
static void startAgain(TextReader* in) {
    if (!rewindTextReader(in)) {
        in->failed = true;
        in->atEnd = true;
    }
}

// How the file is written: UTF-8 when it begins with the byte-order mark,
// or when it has bytes of 0x80 or more and all of them are well-formed
// UTF-8, the rule a text is read by, over the whole file (up to a 0x1A);
// else code page 932. Reads the file, then goes back to its start.
static SettingsForm formOf(TextReader* in) {
    // A line and the start of a character cut by its end.
    unsigned char chunk[SETTINGS_LINE_BUFFER + 4];
    size_t carried = 0;
    bool high = false;
    bool wellFormed = true;
    for (bool first = true; wellFormed; first = false) {
        const int got =
            readTextLine(in, reinterpret_cast<char*>(chunk) + carried, SETTINGS_LINE_BUFFER);
        if (first && got >= 3 && std::memcmp(chunk, UTF8_MARK, 3) == 0) {
            startAgain(in);
            return SETTINGS_UTF8_MARK;
        }
        if (got == 0) {
            break;
        }
        const size_t length = carried + static_cast<size_t>(got);
        size_t i = 0;
        while (i < length && wellFormed) {
            if (chunk[i] < 0x80) {
                ++i;
                continue;
            }
            high = true;
            const int sequence = utf8SequenceLength(chunk + i, length - i, true);
            wellFormed = sequence != 0;
            if (i + static_cast<size_t>(sequence) > length) {
                break; // completed by the next line's bytes, or never
            }
            i += static_cast<size_t>(sequence);
        }
        carried = length - i;
        std::memmove(chunk, chunk + i, carried);
    }
    startAgain(in);
    return high && wellFormed && carried == 0 ? SETTINGS_UTF8 : SETTINGS_CP932;
}

// The code page 932 form of one character of UTF-8 (`length` bytes) at
// `code`; false when it has none.
static bool characterToCp932(const unsigned char* utf8, int length, char* code,
                             size_t* codeLength) {
    return length > 0 && utf8ToCp932(utf8, static_cast<size_t>(length), code, 2, codeLength);
}

// A keyword or colour line of a UTF-8 file (`length` bytes, LF excluded) as
// the table keeps it in `limit` bytes, at `out`, cut where a character ends.
// When the characters of the line's first `limit` bytes have code page 932
// forms, they are converted exactly, and as many characters after them as
// fit in `limit` bytes of code page 932, up to one that has none; else
// those bytes are kept as they are, and true is returned. Either way the
// same line saved and read again gives the same bytes.
static bool fromUtf8(const char* line, int length, int limit, char* out, int* outLength) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(line);
    int kept = 0;
    bool convertible = true;
    while (kept < length) {
        // A byte that begins no character is one of its own, with no form.
        const int sequence = utf8SequenceLength(bytes + kept, static_cast<size_t>(length - kept));
        const int next = kept + (sequence > 0 ? sequence : 1);
        if (next > limit) {
            break;
        }
        char code[2];
        size_t codeLength = 0;
        convertible = convertible && characterToCp932(bytes + kept, sequence, code, &codeLength);
        kept = next;
    }
    if (!convertible) {
        std::memcpy(out, line, static_cast<size_t>(kept));
        *outLength = kept;
        return true;
    }
    int at = 0;
    int written = 0;
    while (at < length) {
        const int sequence = utf8SequenceLength(bytes + at, static_cast<size_t>(length - at));
        size_t codeLength = 0;
        if (!characterToCp932(bytes + at, sequence, out + written, &codeLength) ||
            written + static_cast<int>(codeLength) > limit) {
            break;
        }
        written += static_cast<int>(codeLength);
        at += sequence;
    }
    *outLength = written;
    return false;
}

bool loadSettings() {
    clear();
    decorationTable.lineBreakTags = 0;

    TextReader in;
    if (!openTextReader(&in, settingsPath())) {
        return false;
    }
    const SettingsForm form = formOf(&in);
    const bool utf8 = form != SETTINGS_CP932;
    decorationTable.settingsForm = form;
    // A UTF-8 file's lines may be longer than those of code page 932.
    const int capacity = utf8 ? UTF8_LINE_BUFFER : SETTINGS_LINE_BUFFER;
    static char line[UTF8_LINE_BUFFER];
    if (readSettingsLine(&in, line, capacity) == 0 || std::strstr(line, START_MARKER) == nullptr ||
        readSettingsLine(&in, line, capacity) == 0) {
        const bool readOk = !in.failed;
        closeTextReader(&in);
        return readOk;
    }
    decorationTable.lineBreakTags = static_cast<uint8_t>(parseDecimal(line));

    // A file that ends early keeps the entries read completely.
    static char colour[UTF8_LINE_BUFFER];
    static char size[UTF8_LINE_BUFFER];
    static char style[UTF8_LINE_BUFFER];
    static char keywordBytes[UTF8_LINE_BUFFER];
    static char colourBytes[UTF8_LINE_BUFFER];
    while (readSettingsLine(&in, line, capacity) > 0 && std::strstr(line, END_MARKER) == nullptr) {
        if (readSettingsLine(&in, colour, capacity) == 0 ||
            readSettingsLine(&in, size, capacity) == 0 ||
            readSettingsLine(&in, style, capacity) == 0) {
            break;
        }
        int keywordLength = static_cast<int>(std::strcspn(line, "\n"));
        int colourLength = static_cast<int>(std::strcspn(colour, "\n"));
        uint8_t kept = 0;
        const char* keyword = line;
        const char* colourField = colour;
        if (utf8) {
            kept |= fromUtf8(line, keywordLength, MAX_KEYWORD_LENGTH, keywordBytes, &keywordLength)
                        ? KEPT_KEYWORD
                        : 0;
            kept |= fromUtf8(colour, colourLength, COLOUR_LENGTH, colourBytes, &colourLength)
                        ? KEPT_COLOUR
                        : 0;
            keyword = keywordBytes;
            colourField = colourBytes;
        }
        // Entries past the table's capacity are read and ignored.
        if (appendLoaded(keyword, keywordLength, colourField, colourLength, parseDecimal(size),
                         parseDecimal(style))) {
            decorationTable.entries[decorationTable.count - 1].keptUtf8 = kept;
        }
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

// A keyword or colour line in the file's form: in a UTF-8 file, the UTF-8
// of code page 932 bytes (a byte that begins no character, which only the
// table's cut of a longer text leaves, has none and is left out) and kept
// bytes as they are.
static void writeEntryLine(TextWriter* out, const char* bytes, bool kept) {
    if (decorationTable.settingsForm == SETTINGS_CP932 || kept) {
        writeLine(out, bytes);
        return;
    }
    static char utf8[3 * MAX_KEYWORD_LENGTH + 1];
    size_t length = 0;
    cp932ToUtf8(reinterpret_cast<const unsigned char*>(bytes),
                static_cast<int>(strnlen(bytes, MAX_KEYWORD_LENGTH)), utf8, sizeof utf8, &length,
                "");
    writeText(out, utf8, length);
    writeText(out, "\n", 1);
}

void writeSettings(TextWriter* out) {
    if (decorationTable.settingsForm == SETTINGS_UTF8_MARK) {
        writeText(out, UTF8_MARK, 3);
    }
    writeLine(out, START_MARKER);
    writeLine(out, decorationTable.lineBreakTags ? "1" : "0");
    if (decorationTable.count == 0) {
        writeEntryLine(out, DEFAULT_KEYWORD, false);
        writeLine(out, DEFAULT_COLOUR_LINE);
        writeNumberLine(out, DEFAULT_SIZE);
        writeNumberLine(out, DEFAULT_STYLE);
    }
    for (int32_t i = 0; i < decorationTable.count; ++i) {
        const DecorationEntry& entry = decorationTable.entries[i];
        writeEntryLine(out, entryText(entry), (entry.keptUtf8 & KEPT_KEYWORD) != 0);
        writeEntryLine(out, entry.colour, (entry.keptUtf8 & KEPT_COLOUR) != 0);
        writeNumberLine(out, entry.size);
        writeNumberLine(out, entry.style);
    }
    writeLine(out, END_MARKER);
}
