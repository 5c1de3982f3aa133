// Random tables and texts through the fast decorator and through the plain
// reference algorithm: both must write the same bytes, give the same result
// and leave the same `hit` marks.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/decoration_table.h"
#include "core/diagnostics.h"
#include "core/line_decorator.h"
#include "fuzz/fuzz_support.h"
#include "tests/reference/line_reference.h"

namespace {

// Keywords with boundaries worth trying: one byte, shared prefixes, Shift-JIS
// pairs whose trail byte is 0x5C or itself a lead byte, line-end and
// end-of-text bytes, and format directives that must be written as text.
const char* const KEYWORDS[] = {
    "",
    "a",
    "ab",
    "abc",
    "abcd",
    "aa",
    "b",
    "\\",
    "\x81",
    "\x9F",
    "\x81\\",
    "\x83\\",
    "\\\x81",
    "\x9F\x40",
    "\x81\x81",
    "\x81\x9F\x81",
    "\r",
    "a\r",
    "\r\r",
    "\x1A",
    "<BR>",
    "%s",
    "%d%n",
    "\xFC\xFC",
    // Whole characters with UTF-8 forms (重要, ア, ｱ, and the single bytes
    // Windows alone maps), and codes that have none.
    "\x8F\x64\x97\x76",
    "\x83\x41",
    "\xB1",
    "\x80",
    "\xA0",
    "\xFD",
    "\x85\x40",
    "A\x81",
};
constexpr int KEYWORD_COUNT = sizeof KEYWORDS / sizeof KEYWORDS[0];

// Colours as typed or loaded; the last two compare equal to NO_COLOUR only
// after the cut to six bytes, or never.
const char* const COLOURS[] = {
    "",
    "FF0000",
    "F00",
    "%s%s%s",
    "\x96\xB3\x95\xCF\x8A\xB7",
    "\x96\xB3\x95\xCF\x8A\xB7X",
    "\x96\xB3\x95\xCF\x8A",
};
constexpr int COLOUR_COUNT = sizeof COLOURS / sizeof COLOURS[0];

constexpr int MAX_PLANS = 64;
constexpr size_t KEYWORD_BUFFER = 1024;

struct EntryPlan {
    uint8_t kind;
    uint8_t arg;
    uint16_t offset;
    const uint8_t* literal;
    size_t literalLength;
    char colour[16];
    int colourLength;
    int32_t size;
    int32_t style;
};

EntryPlan plans[MAX_PLANS];
char keyword[KEYWORD_BUFFER];
int keywordLength;
int32_t hitsAfterFast[MAX_ENTRIES];

void listen(const char* text) {
    if (strnlen(text, DEBUG_OUT_BUFFER) >= static_cast<size_t>(DEBUG_OUT_BUFFER)) {
        fuzzFail("a debugger-output line overran its 256-byte buffer");
    }
}

void readPlan(ByteReader& in, EntryPlan& plan) {
    plan.kind = in.byte();
    plan.arg = in.byte();
    plan.offset = in.word();
    plan.literalLength = in.take(plan.arg % 8, &plan.literal);

    const uint8_t c = in.byte();
    if (c % 8 < COLOUR_COUNT) {
        plan.colourLength = static_cast<int>(std::strlen(COLOURS[c % 8]));
        std::memcpy(plan.colour, COLOURS[c % 8], static_cast<size_t>(plan.colourLength));
    } else {
        const uint8_t* bytes;
        plan.colourLength = static_cast<int>(in.take((c >> 3) % 9, &bytes));
        std::memcpy(plan.colour, bytes, static_cast<size_t>(plan.colourLength));
    }
    plan.colour[plan.colourLength] = '\0';

    const uint8_t s = in.byte();
    plan.size = s & 0x80 ? in.int32() : static_cast<int32_t>(s) - 64;
    const uint8_t t = in.byte();
    plan.style = t == 0xFF ? in.int32() : static_cast<int8_t>(t);
}

// Appends up to `length` bytes to the keyword being built.
void appendBytes(const uint8_t* bytes, size_t length) {
    for (size_t i = 0; i < length && keywordLength < static_cast<int>(KEYWORD_BUFFER) - 1; ++i) {
        keyword[keywordLength++] = static_cast<char>(bytes[i]);
    }
}

void appendSlice(const uint8_t* text, size_t textSize, size_t offset, size_t length) {
    if (textSize == 0) {
        return;
    }
    offset %= textSize;
    appendBytes(text + offset, length < textSize - offset ? length : textSize - offset);
}

// Builds the plan's keyword from the dictionary, the text, the previous
// keyword or the literal bytes. Keywords are zero-terminated strings in the
// table, so a zero byte ends one.
void buildKeyword(const EntryPlan& plan, const uint8_t* text, size_t textSize) {
    const int previousLength = keywordLength;
    switch (plan.kind & 7) {
    case 0:
    case 1:
        keywordLength = 0;
        appendBytes(reinterpret_cast<const uint8_t*>(KEYWORDS[plan.arg % KEYWORD_COUNT]),
                    std::strlen(KEYWORDS[plan.arg % KEYWORD_COUNT]));
        break;
    case 2: // a short piece of the text: usually a hit
        keywordLength = 0;
        appendSlice(text, textSize, plan.offset, plan.arg % 16 + 1U);
        break;
    case 3: // a long piece of the text: around the 511-byte cut
        keywordLength = 0;
        appendSlice(text, textSize, plan.offset, 400U + plan.arg * 2U);
        break;
    case 4: // the previous keyword cut short or extended: shared prefixes
        keywordLength = previousLength - (plan.arg >> 3) % 4;
        if (keywordLength < 0) {
            keywordLength = 0;
        }
        appendBytes(plan.literal, plan.literalLength % 4);
        break;
    case 5:
        keywordLength = 0;
        appendBytes(plan.literal, plan.literalLength);
        break;
    case 6: // one byte repeated, up to beyond the 511-byte cut
        keywordLength = 0;
        for (int i = 0; i < plan.offset % 600 + 1; ++i) {
            appendBytes(&plan.arg, 1);
        }
        break;
    default: // the same keyword again
        break;
    }
    keyword[keywordLength] = '\0';
}

// Adds an entry through the editor's or the settings reader's door; past the
// table's capacity the addition must be refused and nothing change.
void addToTable(const char* colour, int colourLength, int32_t size, int32_t style, bool viaEditor) {
    const int32_t before = decorationTable.count;
    const bool added = viaEditor ? addEntry(keyword, colour, size, style)
                                 : appendLoaded(keyword, static_cast<int>(strlen(keyword)), colour,
                                                colourLength, size, style);
    if (added != (before < MAX_ENTRIES) || decorationTable.count != before + (added ? 1 : 0)) {
        fuzzFail("an addition to the table was refused below capacity or taken above it");
    }
}

// Many short keywords taken from the text, so that a large table is used.
void addFiller(int count, uint32_t seed, const uint8_t* text, size_t textSize) {
    for (int i = 0; i < count; ++i) {
        seed = seed * 1103515245U + 12345U;
        keywordLength = 0;
        appendSlice(text, textSize, seed >> 8, (seed >> 4) % 4 + 1);
        keyword[keywordLength] = '\0';
        const char* colour = COLOURS[(seed >> 2) % COLOUR_COUNT];
        addToTable(colour, static_cast<int>(std::strlen(colour)), static_cast<int32_t>(seed % 9),
                   static_cast<int32_t>(seed >> 28), (seed & 1) != 0);
    }
}

void describeTable() {
    std::fprintf(stderr, "table: %d entries, lineBreakTags %d\n", decorationTable.count,
                 decorationTable.lineBreakTags);
    for (int32_t i = 0; i < decorationTable.count && i < 40; ++i) {
        const DecorationEntry& entry = decorationTable.entries[i];
        std::fprintf(stderr, "  [%d] size %d style %d colour", i, entry.size, entry.style);
        for (int k = 0; entry.colour[k] != '\0'; ++k) {
            std::fprintf(stderr, " %02X", static_cast<unsigned char>(entry.colour[k]));
        }
        std::fprintf(stderr, " keyword(%d)", entry.textSize - 1);
        for (int k = 0; k < entry.textSize - 1 && k < 24; ++k) {
            std::fprintf(stderr, " %02X", static_cast<unsigned char>(entry.text[k]));
        }
        std::fprintf(stderr, "\n");
    }
}

} // namespace

// Input layout: a flags byte (bit 0 lineBreakTags, bit 1 a debugger-output
// listener, bits 2-3 how many times the text is repeated less one, bit 4
// filler entries), how the text's encoding is decided, the number of
// entries, each entry's fields, then the text: the rest of the input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static char inputPath[512];
    static char fastPath[512];
    static char referencePath[512];
    if (inputPath[0] == '\0') {
        scratchPath(inputPath, sizeof inputPath, "in.txt");
        scratchPath(fastPath, sizeof fastPath, "fast.html");
        scratchPath(referencePath, sizeof referencePath, "reference.html");
        // Regions as small as they go, so that a text repeated to a few pages
        // crosses region boundaries and both threads take part.
        setDecoratorRegionLength(0);
    }

    ByteReader in{data, size};
    const uint8_t flags = in.byte();
    // Mostly decided from the text, as a user's files are (a text that
    // begins with FF FE or FE FF is UTF-16).
    static const EncodingChoice READINGS[] = {
        ENCODING_AUTO, ENCODING_AUTO,           ENCODING_ALWAYS_CP932, ENCODING_ALWAYS_UTF8,
        ENCODING_AUTO, ENCODING_ALWAYS_UTF16LE, ENCODING_ALWAYS_CP932, ENCODING_ALWAYS_UTF16BE};
    const EncodingChoice reading = READINGS[in.byte() % 8];
    setDecoratorEncoding(reading);
    setReferenceEncoding(reading);
    const int planCount = in.byte() % (MAX_PLANS + 1);
    for (int i = 0; i < planCount; ++i) {
        readPlan(in, plans[i]);
    }
    const int fillerCount = flags & 0x10 ? in.byte() * 2 + 1 : 0;
    const uint32_t fillerSeed = in.word();
    const uint8_t* text = in.data;
    const size_t textSize = in.size;

    clear();
    decorationTable.lineBreakTags = flags & 1 ? static_cast<uint8_t>(1 + (flags >> 5)) : 0;
    keywordLength = 0;
    for (int i = 0; i < planCount; ++i) {
        buildKeyword(plans[i], text, textSize);
        addToTable(plans[i].colour, plans[i].colourLength, plans[i].size, plans[i].style,
                   (plans[i].kind & 0x80) != 0);
    }
    addFiller(fillerCount, fillerSeed, text, textSize);
    setDebugListener(flags & 2 ? listen : nullptr);
    // For looking at one input by hand: the table it makes.
    static const bool show = std::getenv("TINTMARK_FUZZ_SHOW") != nullptr;
    if (show) {
        describeTable();
    }

    if (!writeFileRepeated(inputPath, text, textSize, 1 + ((flags >> 2) & 3))) {
        fuzzFail("cannot write the input file");
    }
    const bool fast = decorateFile(inputPath, fastPath);
    for (int32_t i = 0; i < decorationTable.count; ++i) {
        hitsAfterFast[i] = decorationTable.entries[i].hit;
    }
    const bool reference = referenceDecorateFile(inputPath, referencePath);

    long offset = 0;
    const int compared = compareFiles(fastPath, referencePath, &offset);
    if (fast != reference || compared != 0) {
        describeTable();
        std::fprintf(stderr,
                     "result: decorator %d, reference %d; outputs %s at byte %ld\n"
                     "input %s, outputs %s and %s\n",
                     fast, reference, compared == 0 ? "equal" : "differ", offset, inputPath,
                     fastPath, referencePath);
        fuzzFail("the decorator and the reference algorithm disagree");
    }
    for (int32_t i = 0; i < decorationTable.count; ++i) {
        if (hitsAfterFast[i] != decorationTable.entries[i].hit) {
            describeTable();
            std::fprintf(stderr, "entry %d: hit %d after the decorator, %d after the reference\n",
                         i, hitsAfterFast[i], decorationTable.entries[i].hit);
            fuzzFail("the last line's hit marks differ");
        }
    }

    releaseKeywords();
    setDebugListener(nullptr);
    return 0;
}
