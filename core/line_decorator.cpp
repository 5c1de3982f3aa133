#include "core/line_decorator.h"

#include <cstdio>
#include <cstring>

#include "core/decoration_table.h"
#include "core/diagnostics.h"
#include "core/text_file.h"

// A read takes at most LINE_BUFFER - 1 bytes: longer lines arrive in pieces,
// each decorated as a line of its own.
constexpr int LINE_BUFFER = 2048;

static const char BREAK_TAG[] = "<BR>";

// From this many entries on, a line's bytes and byte pairs are collected
// first to rule keywords out without searching.
constexpr int PAIR_FILTER_ENTRIES = 16;

// Which bytes and which pairs of adjacent bytes occur in the current line:
// a keyword whose first byte, first pair or last pair is absent cannot occur,
// which settles most entries of a large table without a search.
struct LineBytes {
    bool bytes[256];
    unsigned char pairs[65536 / 8];
};

static unsigned pairOf(const char* at) {
    return static_cast<unsigned>(static_cast<unsigned char>(at[0])) << 8 |
           static_cast<unsigned char>(at[1]);
}

static void markPairs(LineBytes& seen, const char* line, int length, bool set) {
    for (int i = 0; i + 1 < length; ++i) {
        const unsigned pair = pairOf(line + i);
        if (set) {
            seen.pairs[pair >> 3] |= static_cast<unsigned char>(1u << (pair & 7));
        } else {
            seen.pairs[pair >> 3] = 0;
        }
    }
}

static bool pairSeen(const LineBytes& seen, unsigned pair) {
    return (seen.pairs[pair >> 3] >> (pair & 7)) & 1;
}

// Position of the first occurrence of the keyword in bytes from .. length - 1
// of the line, or `length` when there is none. Byte-wise, no regard to
// double-byte characters.
static int findFrom(const char* line, int length, int from, const char* keyword,
                    int keywordLength) {
    const char* at = line + from;
    const char* last = line + (length - keywordLength);
    while (at <= last) {
        at = static_cast<const char*>(
            std::memchr(at, keyword[0], static_cast<size_t>(last - at) + 1));
        if (at == nullptr) {
            break;
        }
        if (std::memcmp(at + 1, keyword + 1, static_cast<size_t>(keywordLength) - 1) == 0) {
            return static_cast<int>(at - line);
        }
        ++at;
    }
    return length;
}

// Each entry as the decorator uses it, built once per file (the table does
// not change while a file is converted): its keyword with length and first
// and last byte pairs, kept together so that the per-line test of a large
// table stays in a small, dense array, and its opening and closing tags.
struct PreparedEntry {
    const char* keyword;
    int keywordLength;
    unsigned firstPair;
    unsigned lastPair;
    int openLength;
    int closeLength;
    char open[64];  // "<B><I><U><STRIKE><font color=#RRGGBB size=-2147483648>"
    char close[32]; // "</font></STRIKE></U></I></B>"
};

static PreparedEntry preparedEntries[MAX_ENTRIES];

static int appendTag(char* to, int at, const char* tag) {
    const size_t length = std::strlen(tag);
    std::memcpy(to + at, tag, length);
    return at + static_cast<int>(length);
}

static void prepareEntry(const DecorationEntry& entry, PreparedEntry& tags) {
    tags.keyword = entryText(entry);
    tags.keywordLength = entry.textSize > 1 ? entry.textSize - 1 : 0;
    tags.firstPair = tags.keywordLength >= 2 ? pairOf(tags.keyword) : 0;
    tags.lastPair = tags.keywordLength >= 2 ? pairOf(tags.keyword + tags.keywordLength - 2) : 0;
    // Style bit k opens with OPEN_TAGS[k]; tags close in the reverse order.
    static const char* const OPEN_TAGS[] = {"<B>", "<I>", "<U>", "<STRIKE>"};
    static const char* const CLOSE_TAGS[] = {"</B>", "</I>", "</U>", "</STRIKE>"};
    int open = 0;
    for (int k = 0; k < 4; ++k) {
        if (entry.style & (1 << k)) {
            open = appendTag(tags.open, open, OPEN_TAGS[k]);
        }
    }
    int close = 0;
    const bool colour = hasColour(entry);
    if (colour || entry.size != 0) {
        // The colour attribute always comes before the size attribute.
        open = appendTag(tags.open, open, "<font");
        if (colour) {
            open = appendTag(tags.open, open, " color=#");
            open = appendTag(tags.open, open, entry.colour);
        }
        if (entry.size != 0) {
            char size[24];
            std::snprintf(size, sizeof size, " size=%d", static_cast<int>(entry.size));
            open = appendTag(tags.open, open, size);
        }
        open = appendTag(tags.open, open, ">");
        close = appendTag(tags.close, close, "</font>");
    }
    for (int k = 3; k >= 0; --k) {
        if (entry.style & (1 << k)) {
            close = appendTag(tags.close, close, CLOSE_TAGS[k]);
        }
    }
    tags.openLength = open;
    tags.closeLength = close;
}

static void writeDecoratedKeyword(TextWriter* out, const PreparedEntry& prepared) {
    writeText(out, prepared.open, static_cast<size_t>(prepared.openLength));
    writeText(out, prepared.keyword, static_cast<size_t>(prepared.keywordLength));
    writeText(out, prepared.close, static_cast<size_t>(prepared.closeLength));
}

// Diagnostics for a plain run about to be written before a keyword.
static void reportRun(const char* line, int runStart, int p, const DecorationEntry& entry) {
    if (!debugOutActive()) {
        return;
    }
    char run[LINE_BUFFER];
    std::memset(run, 0, sizeof run);
    std::memcpy(run, line + runStart, static_cast<size_t>(p - runStart));
    debugOut("\t[%s]\n", run);
    debugOut("\t[<font size=%d color=#%s>%s</font>]\n", entry.size, entry.colour, entryText(entry));
}

static void decorateLine(TextWriter* out, const char* line) {
    DecorationTable& table = decorationTable;
    debugOut("DataNum = %d\n", table.count);

    // Everything stops at the first zero byte, even when more was read.
    const int lineLength = static_cast<int>(std::strlen(line));

    // For a large table, which bytes and pairs the line holds rules most
    // keywords out before any search; a small table searches at once.
    static LineBytes seen; // all zero between lines
    const bool filter = table.count >= PAIR_FILTER_ENTRIES;
    if (filter) {
        for (int i = 0; i < lineLength; ++i) {
            seen.bytes[static_cast<unsigned char>(line[i])] = true;
        }
        markPairs(seen, line, lineLength, true);
    }

    // Entries whose keyword occurs in the line, in table order, each with
    // its first occurrence: only these take part in the scan.
    int hits[MAX_ENTRIES];
    int next[MAX_ENTRIES];
    int hitCount = 0;
    for (int i = 0; i < table.count; ++i) {
        const PreparedEntry& key = preparedEntries[i];
        const int n = key.keywordLength;
        int first = lineLength;
        bool hit;
        if (n == 0) {
            hit = true; // the empty string occurs in every line, but never matches
        } else if (n > lineLength ||
                   (filter && (!seen.bytes[static_cast<unsigned char>(key.keyword[0])] ||
                               (n >= 2 && (!pairSeen(seen, key.firstPair) ||
                                           !pairSeen(seen, key.lastPair)))))) {
            hit = false;
        } else {
            first = findFrom(line, lineLength, 0, key.keyword, n);
            hit = first < lineLength;
        }
        table.entries[i].hit = hit ? 1 : 0;
        if (hit) {
            hits[hitCount] = i;
            next[hitCount] = first;
            ++hitCount;
        }
    }
    if (filter) {
        markPairs(seen, line, lineLength, false);
        std::memset(seen.bytes, 0, sizeof seen.bytes);
    }
    debugOut("StringLen = %d\n", lineLength);

    if (hitCount == 0) {
        writeText(out, line, static_cast<size_t>(lineLength));
        if (table.lineBreakTags) {
            writeTextString(out, BREAK_TAG);
        }
        return;
    }

    // Scanning left to right, the entry that matches at a position is the
    // first in table order; occurrences never overlap. Each keyword's next
    // occurrence is kept and looked for again only once the scan has passed
    // it, so the scan jumps from match to match.
    int runStart = 0;
    for (;;) {
        int p = lineLength;
        int k = -1;
        for (int j = 0; j < hitCount; ++j) {
            if (next[j] < p) { // strictly less: the lower index wins a tie
                p = next[j];
                k = j;
            }
        }
        if (k < 0) {
            break;
        }
        const int match = hits[k];
        const int matchLength = preparedEntries[match].keywordLength;
        const DecorationEntry& entry = table.entries[match];
        debugOut("Hit[%s][%d]\n", entryText(entry), p);
        if (p > runStart) {
            reportRun(line, runStart, p, entry);
            writeText(out, line + runStart, static_cast<size_t>(p - runStart));
        }
        writeDecoratedKeyword(out, preparedEntries[match]);
        runStart = p + matchLength;
        for (int j = 0; j < hitCount; ++j) {
            if (next[j] < runStart) {
                const PreparedEntry& key = preparedEntries[hits[j]];
                next[j] = findFrom(line, lineLength, runStart, key.keyword, key.keywordLength);
            }
        }
    }
    // A line that ends exactly with a keyword gets nothing more, not even "<BR>".
    if (runStart < lineLength) {
        writeText(out, line + runStart, static_cast<size_t>(lineLength - runStart));
        if (table.lineBreakTags) {
            writeTextString(out, BREAK_TAG);
        }
    }
}

DecorateResult decorateFileResult(const char* inputPath, const char* outputPath) {
    watchDebugListeners();
    TextReader in;
    TextWriter out;
    // The output is opened even when the input cannot be: an unreadable input
    // still leaves an empty output file behind.
    const bool inputOpen = openTextReader(&in, inputPath);
    if (!openTextWriter(&out, outputPath)) {
        closeTextReader(&in);
        return DECORATE_OUTPUT_UNWRITABLE;
    }
    if (!inputOpen) {
        closeTextWriter(&out);
        return DECORATE_INPUT_UNREADABLE;
    }
    const int64_t inputSize = textReaderFileSize(&in);
    if (inputSize == 0) {
        closeTextReader(&in);
        closeTextWriter(&out);
        return DECORATE_EMPTY_INPUT;
    }

    for (int i = 0; i < decorationTable.count; ++i) {
        prepareEntry(decorationTable.entries[i], preparedEntries[i]);
    }

    // The position is counted in raw bytes, so it reaches inputSize exactly at
    // the end; a read that returns nothing (after a 0x1A byte) also ends the
    // loop. An input whose size cannot be measured is read to its end.
    char line[LINE_BUFFER];
    do {
        if (readTextLine(&in, line, LINE_BUFFER) == 0) {
            break;
        }
        decorateLine(&out, line);
    } while (inputSize < 0 || textReaderPosition(&in) < inputSize);

    const bool readOk = !in.failed;
    closeTextReader(&in);
    const bool writeOk = closeTextWriter(&out);
    if (!readOk) {
        return DECORATE_INPUT_UNREADABLE;
    }
    return writeOk ? DECORATE_DONE : DECORATE_OUTPUT_UNWRITABLE;
}

bool decorateFile(const char* inputPath, const char* outputPath) {
    return decorateFileResult(inputPath, outputPath) == DECORATE_DONE;
}
