#include "tests/reference/line_reference.h"

#include <cstring>

#include "core/decoration_table.h"
#include "core/text_file.h"

namespace {

constexpr int LINE_BUFFER = 2048;

TextReader in;
TextWriter out;

void writeDecorated(const DecorationEntry& entry) {
    const char* keyword = entryText(entry);
    static const char* const OPEN[] = {"<B>", "<I>", "<U>", "<STRIKE>"};
    static const char* const CLOSE[] = {"</B>", "</I>", "</U>", "</STRIKE>"};
    for (int k = 0; k < 4; ++k) {
        if (entry.style & (1 << k)) {
            writeTextString(&out, OPEN[k]);
        }
    }
    const bool colour = hasColour(entry);
    if (colour || entry.size != 0) {
        writeTextString(&out, "<font");
        if (colour) {
            writeTextString(&out, " color=#");
            writeTextString(&out, entry.colour);
        }
        if (entry.size != 0) {
            writeTextString(&out, " size=");
            writeTextNumber(&out, entry.size);
        }
        writeTextString(&out, ">");
        writeTextString(&out, keyword);
        writeTextString(&out, "</font>");
    } else {
        writeTextString(&out, keyword);
    }
    for (int k = 3; k >= 0; --k) {
        if (entry.style & (1 << k)) {
            writeTextString(&out, CLOSE[k]);
        }
    }
}

void decorateLine(char* line) {
    DecorationTable& table = decorationTable;
    bool anyHit = false;
    for (int i = 0; i < table.count; ++i) {
        DecorationEntry& entry = table.entries[i];
        entry.hit = std::strstr(line, entryText(entry)) != nullptr ? 1 : 0;
        anyHit = anyHit || entry.hit;
    }
    const int lineLength = static_cast<int>(std::strlen(line));
    if (!anyHit) {
        writeTextString(&out, line);
        if (table.lineBreakTags) {
            writeTextString(&out, "<BR>");
        }
        return;
    }
    int runStart = 0;
    int p = 0;
    while (p < lineLength) {
        int matched = -1;
        for (int i = 0; i < table.count && matched < 0; ++i) {
            const DecorationEntry& entry = table.entries[i];
            const int n = entry.textSize - 1;
            const char* keyword = entryText(entry);
            // A keyword running past the line's end cannot match there; the
            // bound also keeps the comparison inside the line buffer.
            if (entry.hit && n > 0 && p + n <= lineLength && line[p] == keyword[0] &&
                std::memcmp(line + p + 1, keyword + 1, static_cast<size_t>(n - 1)) == 0) {
                matched = i;
            }
        }
        if (matched < 0) {
            ++p;
            continue;
        }
        if (p > runStart) {
            char run[LINE_BUFFER];
            std::memset(run, 0, sizeof run);
            std::memcpy(run, line + runStart, static_cast<size_t>(p - runStart));
            writeTextString(&out, run);
        }
        writeDecorated(table.entries[matched]);
        runStart = p + table.entries[matched].textSize - 1;
        p = runStart;
    }
    if (runStart < lineLength) {
        writeTextString(&out, line + runStart);
        if (table.lineBreakTags) {
            writeTextString(&out, "<BR>");
        }
    }
}

} // namespace

bool referenceDecorateFile(const PathChar* inputPath, const PathChar* outputPath) {
    const bool inputOpen = openTextReader(&in, inputPath);
    if (!openTextWriter(&out, outputPath)) {
        closeTextReader(&in);
        return false;
    }
    if (!inputOpen) {
        closeTextWriter(&out);
        return false;
    }
    const int64_t inputSize = textReaderFileSize(&in);
    if (inputSize == 0) {
        closeTextReader(&in);
        closeTextWriter(&out);
        return false;
    }
    char line[LINE_BUFFER];
    do {
        if (readTextLine(&in, line, LINE_BUFFER) == 0) {
            break;
        }
        decorateLine(line);
    } while (inputSize < 0 || textReaderPosition(&in) < inputSize);
    closeTextReader(&in);
    closeTextWriter(&out);
    return true;
}
