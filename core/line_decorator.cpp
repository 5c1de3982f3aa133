#include "core/line_decorator.h"

#include <cstring>

#include "core/decoration_table.h"
#include "core/diagnostics.h"
#include "core/text_file.h"

// A read takes at most LINE_BUFFER - 1 bytes: longer lines arrive in pieces,
// each decorated as a line of its own.
constexpr int LINE_BUFFER = 2048;

static const char BREAK_TAG[] = "<BR>";

// Byte-wise substring test over the first `length` bytes of the line.
static bool occursIn(const char* line, int length, const char* keyword, int keywordLength,
                     const bool* present) {
    if (keywordLength == 0) {
        return true;
    }
    if (keywordLength > length || !present[static_cast<unsigned char>(keyword[0])]) {
        return false;
    }
    const char* at = line;
    const char* last = line + (length - keywordLength);
    while (at <= last) {
        at = static_cast<const char*>(
            std::memchr(at, keyword[0], static_cast<size_t>(last - at) + 1));
        if (at == nullptr) {
            return false;
        }
        if (std::memcmp(at + 1, keyword + 1, static_cast<size_t>(keywordLength) - 1) == 0) {
            return true;
        }
        ++at;
    }
    return false;
}

static void writeDecoratedKeyword(TextWriter* out, const DecorationEntry& entry) {
    const char* keyword = entryText(entry);
    if (entry.style & STYLE_BOLD) {
        writeTextString(out, "<B>");
    }
    if (entry.style & STYLE_ITALIC) {
        writeTextString(out, "<I>");
    }
    if (entry.style & STYLE_UNDERLINE) {
        writeTextString(out, "<U>");
    }
    if (entry.style & STYLE_STRIKE) {
        writeTextString(out, "<STRIKE>");
    }
    bool colour = hasColour(entry);
    if (colour || entry.size != 0) {
        writeTextString(out, "<font");
        if (colour) {
            writeTextString(out, " color=#");
            writeTextString(out, entry.colour);
        }
        if (entry.size != 0) {
            writeTextString(out, " size=");
            writeTextNumber(out, entry.size);
        }
        writeTextString(out, ">");
        writeTextString(out, keyword);
        writeTextString(out, "</font>");
    } else {
        writeTextString(out, keyword);
    }
    if (entry.style & STYLE_STRIKE) {
        writeTextString(out, "</STRIKE>");
    }
    if (entry.style & STYLE_UNDERLINE) {
        writeTextString(out, "</U>");
    }
    if (entry.style & STYLE_ITALIC) {
        writeTextString(out, "</I>");
    }
    if (entry.style & STYLE_BOLD) {
        writeTextString(out, "</B>");
    }
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

    bool present[256] = {};
    for (int i = 0; i < lineLength; ++i) {
        present[static_cast<unsigned char>(line[i])] = true;
    }

    // Entries whose keyword occurs in the line, in table order: only these
    // are tried during the scan.
    int hits[MAX_ENTRIES];
    int hitCount = 0;
    bool firstBytes[256] = {};
    for (int i = 0; i < table.count; ++i) {
        DecorationEntry& entry = table.entries[i];
        const char* keyword = entryText(entry);
        entry.hit = occursIn(line, lineLength, keyword, entry.textSize - 1, present) ? 1 : 0;
        if (entry.hit) {
            hits[hitCount++] = i;
            if (entry.textSize > 1) {
                firstBytes[static_cast<unsigned char>(keyword[0])] = true;
            }
        }
    }
    debugOut("StringLen = %d\n", lineLength);

    if (hitCount == 0) {
        writeText(out, line, static_cast<size_t>(lineLength));
        if (table.lineBreakTags) {
            writeTextString(out, BREAK_TAG);
        }
        return;
    }

    int runStart = 0;
    int p = 0;
    while (p < lineLength) {
        if (!firstBytes[static_cast<unsigned char>(line[p])]) {
            ++p;
            continue;
        }
        const DecorationEntry* match = nullptr;
        int matchLength = 0;
        for (int k = 0; k < hitCount; ++k) {
            const DecorationEntry& entry = table.entries[hits[k]];
            const int n = entry.textSize - 1;
            const char* keyword = entryText(entry);
            if (n > 0 && n <= lineLength - p && line[p] == keyword[0] &&
                std::memcmp(line + p + 1, keyword + 1, static_cast<size_t>(n) - 1) == 0) {
                match = &entry;
                matchLength = n;
                break;
            }
        }
        if (match == nullptr) {
            ++p;
            continue;
        }
        debugOut("Hit[%s][%d]\n", entryText(*match), p);
        if (p > runStart) {
            reportRun(line, runStart, p, *match);
            writeText(out, line + runStart, static_cast<size_t>(p - runStart));
        }
        writeDecoratedKeyword(out, *match);
        runStart = p + matchLength;
        p = runStart;
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
