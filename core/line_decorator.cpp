// The conversion of one file: each piece's keywords found by the matcher and
// written out dressed in their entries' tags, the pieces taken from the
// region pipeline.
#include "core/line_decorator.h"

#include <cstdio>
#include <cstring>

#include "core/decoration_table.h"
#include "core/diagnostics.h"
#include "core/entry_tags.h"
#include "core/file_replacement.h"
#include "core/keyword_matcher.h"
#include "core/region_pipeline.h"
#include "core/text_reader.h"
#include "core/text_writer.h"

static_assert(SHORT_COPY_LIMIT + 8 >= MATCHER_READ_PAST, "a region holds the matcher's reads");
static_assert(PIECE_LENGTH + PIECE_DECISION_BYTES <= TEXT_REGION_CARRY,
              "a region reader keeps the bytes that decide a piece");

namespace {

// A large trie (many long keywords crowding together) takes memory that
// smaller output slots give back.
constexpr size_t LARGE_MATCHER = 1024 * 1024;

struct Decorator {
    bool debugging; // diagnostics are sent only while somebody reads them
    EncodingChoice encodingChoice;
    KeywordHit starts[PIPELINE_LANES][PIECE_LENGTH]; // each lane's search scratch
    TextReader input;
    TextWriter output;
    TextRegionReader regions;
    PipelineResult result;
    FileReplacement replacement; // the output, written beside its name
    bool replacingOldFile;       // the output will take the place of an old file
};

// Too large for the stack; one conversion runs at a time.
Decorator decorator;

// What ends a line: CR LF for its LF, then "<BR>" when asked for. Padded
// for writeShortBytes.
const char LINE_END[8 + SHORT_COPY_LIMIT] = "\r\n<BR>";

void reportRun(const char* line, int runStart, int p, const DecorationEntry& entry) {
    char run[PIECE_LENGTH + 1];
    std::memset(run, 0, sizeof run);
    std::memcpy(run, line + runStart, static_cast<size_t>(p - runStart));
    debugOut("\t[%s]\n", run);
    debugOut("\t[<font size=%d color=#%s>%s</font>]\n", entry.size, entry.colour, entryText(entry));
}

// Whether each entry's keyword, in the form searched for in the line's
// encoding, occurs in the line: the entries' `hit` fields tell it for the
// last line of a conversion. A keyword with no such form occurs nowhere.
void markHits(const char* line, TextEncoding encoding) {
    const EntryTags& tags = entryTags[encoding];
    for (int i = 0; i < decorationTable.count; ++i) {
        const PreparedEntry& form = tags.entries[i];
        decorationTable.entries[i].hit =
            form.usable && std::strstr(line, form.keyword) != nullptr ? 1 : 0;
    }
}

// Builds the keyword forms, their decorated texts and the matcher of one
// encoding, for the pieces read in it.
void prepareEncoding(TextEncoding encoding) {
    prepareEntryTags(encoding);
    buildKeywordMatcher(encoding, entryTags[encoding].entries, entryTags[encoding].count);
}

// The pipeline's readying step: code page 932 is ready before it starts.
void readyEncoding(TextEncoding encoding) {
    if (encoding != TEXT_CP932) {
        prepareEncoding(encoding);
    }
}

// Writes bytes start .. end - 1 of a piece, which end the line: only the
// last of them can be an LF.
inline void writeLineEnd(TextWriter* out, const char* piece, int start, int end) {
    const bool newline = end > start && piece[end - 1] == '\n';
    const int plainEnd = newline ? end - 1 : end;
    const size_t tail = (newline ? 2 : 0) + (decorationTable.lineBreakTags ? 4 : 0);
    writeShortPair(out, piece + start, static_cast<size_t>(plainEnd - start),
                   newline ? LINE_END : LINE_END + 2, tail);
}

// Decorates one piece read in ENCODING, with its matcher M and prepared
// entries: the text between keywords as it is, each keyword as its entry's
// decorated text.
template <const KeywordMatcher& M, TextEncoding ENCODING>
void decorateIn(TextWriter* out, const char* piece, int pieceLength, int lane,
                const PreparedEntry* forms) {
    const bool debugging = decorator.debugging;
    if (debugging) {
        debugOut("DataNum = %d\n", decorationTable.count);
        debugOut("StringLen = %d\n", static_cast<int>(std::strlen(piece)));
    }
    int runStart = 0;
    bool matched = false;
    const int lineLength = searchKeywords<M, ENCODING>(
        piece, pieceLength, decorator.starts[lane], [&](int at, unsigned entry) {
            const PreparedEntry& prepared = forms[entry];
            if (debugging) {
                const DecorationEntry& table = decorationTable.entries[entry];
                debugOut("Hit[%s][%d]\n", entryText(table), at);
                if (at > runStart) {
                    reportRun(piece, runStart, at, table);
                }
            }
            if (prepared.newlineInside) {
                writeShortBytes(out, piece + runStart, static_cast<size_t>(at - runStart));
                writeText(out, prepared.decorated, static_cast<size_t>(prepared.decoratedLength));
            } else {
                writeShortPair(out, piece + runStart, static_cast<size_t>(at - runStart),
                               prepared.decorated, static_cast<size_t>(prepared.decoratedLength));
            }
            matched = true;
            runStart = at + prepared.keywordLength;
        });
    if (!matched) {
        // No keyword in the line: copied whole. An empty keyword still sends
        // the line down the scanning path, which writes nothing at all for a
        // line that is empty.
        if (lineLength > 0 || !M.emptyKeyword) {
            writeLineEnd(out, piece, 0, lineLength);
        }
    } else if (runStart < lineLength) {
        // A line that ends exactly with a keyword gets nothing more, not even "<BR>".
        writeLineEnd(out, piece, runStart, lineLength);
    }
}

void decoratePiece(TextWriter* out, const char* piece, int pieceLength, int lane,
                   TextEncoding encoding) {
    if (encoding == TEXT_CP932) {
        decorateIn<cp932Matcher, TEXT_CP932>(out, piece, pieceLength, lane,
                                             entryTags[TEXT_CP932].entries);
    } else {
        // A UTF-16 text's UTF-8 form is searched as UTF-8; its entries differ
        // only in how their colours are written.
        decorateIn<utf8Matcher, TEXT_UTF8>(out, piece, pieceLength, lane,
                                           entryTags[encoding].entries);
    }
}

} // namespace

void setDecoratorRegionLength(size_t length) {
    setPipelineRegionLength(length);
}

void setDecoratorEncoding(EncodingChoice choice) {
    decorator.encodingChoice = choice;
}

// The conversion from an open input to an open output, both unbuffered
// binary streams, reading inputSize bytes (-1: to the end). Sets whether
// the input was read and the output written without an error.
static void convertStreams(int64_t inputSize, bool* readOk, bool* writeOk) {
    Decorator& d = decorator;
    // Code page 932 comes first: a text is read so until its encoding is
    // decided, and most texts are. The UTF-8 forms are made when a text
    // turns out to need them.
    prepareEncoding(TEXT_CP932);

    // The input is read up to the size it had when the conversion began (to
    // its end when that cannot be measured), or up to a 0x1A byte. Debugger
    // output must come in the file's order: one lane then.
    openTextRegions(&d.regions, d.input.file, inputSize, d.encodingChoice);
    // A UTF-16 text goes out in UTF-16 again, in its own byte order.
    const TextOutput form = !d.regions.utf16            ? OUTPUT_BYTES
                            : d.regions.units.bigEndian ? OUTPUT_UTF16BE
                                                        : OUTPUT_UTF16LE;
    const size_t slotCapacity =
        keywordMatcherExtraBytes(TEXT_CP932) > LARGE_MATCHER ? SLOT_OUTPUT / 4 : SLOT_OUTPUT;
    const PipelineOutput output = {d.output.file, form, d.replacingOldFile};
    runRegionPipeline(&d.regions, output, inputSize, decoratePiece, readyEncoding, !d.debugging,
                      slotCapacity, &d.result);
    if (d.result.anyPiece) {
        markHits(d.result.lastPiece, d.result.lastEncoding);
    }
    *writeOk = d.result.writeOk;
    // An odd last byte is no character of a UTF-16 text; it is kept, last.
    unsigned char odd = 0;
    if (textRegionsOddByte(&d.regions, &odd)) {
        *writeOk = writeToFile(d.output.file, reinterpret_cast<const char*>(&odd), 1) && *writeOk;
    }
    *readOk = !d.regions.failed;
}

// Puts an empty output in place of `outputPath`, for an input with nothing
// to convert. Its outcome, or FILE_OUTPUT_UNWRITABLE when that fails.
static FileOutcome emptyOutput(const PathChar* outputPath, FileOutcome outcome) {
    FileReplacement& r = decorator.replacement;
    return beginReplacement(&r, outputPath) && finishReplacement(&r, true, false)
               ? outcome
               : FILE_OUTPUT_UNWRITABLE;
}

// The output is written under a temporary name and takes its own only when
// it is whole, so that its name never holds a page cut short: a conversion
// that fails, or is killed, leaves what the name held before. Nothing is
// forced to the disk: what the system holds once written survives the
// process, and an output, unlike the settings file, can be made again from
// its input, so forcing, which for many small outputs costs more than all
// the rest of their conversion, buys too little.
FileOutcome decorateFileResult(const PathChar* inputPath, const PathChar* outputPath) {
    Decorator& d = decorator;
    watchDebugListeners();
    d.debugging = debugOutActive();
    // An input that cannot be opened, or is empty, still leaves an empty
    // output file behind.
    if (!openTextReader(&d.input, inputPath)) {
        return emptyOutput(outputPath, FILE_INPUT_UNREADABLE);
    }
    const int64_t inputSize = textReaderFileSize(&d.input);
    if (inputSize == 0) {
        closeTextReader(&d.input);
        return emptyOutput(outputPath, FILE_EMPTY_INPUT);
    }
    if (!beginReplacement(&d.replacement, outputPath)) {
        closeTextReader(&d.input);
        return FILE_OUTPUT_UNWRITABLE;
    }
    attachTextWriter(&d.output, d.replacement.file);
    d.replacingOldFile = d.replacement.model.exists;
    bool readOk = false;
    bool writeOk = false;
    convertStreams(inputSize, &readOk, &writeOk);
    closeTextReader(&d.input);
    writeOk = flushTextWriter(&d.output) && writeOk;
    d.output.file = nullptr; // closed by the replacement
    if (!readOk) {
        // What was converted before the read failed is no output: the input
        // counts as unreadable, and leaves an empty output as such.
        finishReplacement(&d.replacement, false, false);
        return emptyOutput(outputPath, FILE_INPUT_UNREADABLE);
    }
    return finishReplacement(&d.replacement, writeOk, false) ? FILE_CONVERTED
                                                             : FILE_OUTPUT_UNWRITABLE;
}

bool decorateFile(const PathChar* inputPath, const PathChar* outputPath) {
    return decorateFileResult(inputPath, outputPath) == FILE_CONVERTED;
}

FileOutcome decorateStreams(FILE* input, FILE* output) {
    Decorator& d = decorator;
    watchDebugListeners();
    d.debugging = debugOutActive();
    // Read to the end: a pipe's size cannot be known, and a file's is not
    // asked for, so that both give the same.
    std::setvbuf(input, nullptr, _IONBF, 0);
    d.input.file = input;
    attachTextWriter(&d.output, output);
    d.replacingOldFile = false;
    bool readOk = false;
    bool writeOk = false;
    convertStreams(-1, &readOk, &writeOk);
    writeOk = flushTextWriter(&d.output) && std::fflush(output) == 0 && writeOk;
    // The streams stay the caller's.
    d.input.file = nullptr;
    d.output.file = nullptr;
    if (!readOk) {
        return FILE_INPUT_UNREADABLE;
    }
    return writeOk ? FILE_CONVERTED : FILE_OUTPUT_UNWRITABLE;
}
