#include "core/line_decorator.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/decoration_table.h"
#include "core/diagnostics.h"
#include "core/text_file.h"
#include "platform/platform.h"

// A read takes at most PIECE_LENGTH bytes: longer lines arrive in pieces,
// each decorated as a line of its own.
constexpr int PIECE_LENGTH = 2047;

// ---------------------------------------------------------------------------
// Each entry as written out, built once per conversion (the table does not
// change while a file is converted): the whole decorated keyword, opening
// tags, keyword and closing tags, in one piece of text.

// "<B><I><U><STRIKE><font color=#RRGGBB size=-2147483648>" and
// "</font></STRIKE></U></I></B>" around a keyword of at most 511 bytes.
constexpr int DECORATED_CAPACITY = 64 + MAX_KEYWORD_LENGTH + 32;

struct PreparedEntry {
    bool newlineInside; // the text holds an LF, which goes out as CR LF
    int keywordLength;
    int decoratedLength;
    const char* decorated;
};

static PreparedEntry preparedEntries[MAX_ENTRIES];
// The decorated texts one after another, so that those of a large table stay
// close together in the cache; padded so that the last can be copied in
// whole blocks.
static char decoratedTexts[MAX_ENTRIES * DECORATED_CAPACITY + SHORT_COPY_LIMIT];
static int decoratedTextsLength;

static int appendText(char* to, int at, const char* text, int length) {
    std::memcpy(to + at, text, static_cast<size_t>(length));
    return at + length;
}

static int appendTag(char* to, int at, const char* tag) {
    return appendText(to, at, tag, static_cast<int>(std::strlen(tag)));
}

// Length of an entry's keyword: the bytes before its terminator (a released
// keyword reads as empty).
static int keywordLengthOf(const DecorationEntry& entry) {
    const int stored = entry.textSize > 1 ? entry.textSize - 1 : 0;
    return static_cast<int>(strnlen(entryText(entry), static_cast<size_t>(stored)));
}

static void prepareEntry(const DecorationEntry& entry, PreparedEntry& prepared) {
    // Style bit k opens with OPEN_TAGS[k]; tags close in the reverse order.
    static const char* const OPEN_TAGS[] = {"<B>", "<I>", "<U>", "<STRIKE>"};
    static const char* const CLOSE_TAGS[] = {"</B>", "</I>", "</U>", "</STRIKE>"};
    char* out = decoratedTexts + decoratedTextsLength;
    prepared.decorated = out;
    int at = 0;
    for (int k = 0; k < 4; ++k) {
        if (entry.style & (1 << k)) {
            at = appendTag(out, at, OPEN_TAGS[k]);
        }
    }
    const bool colour = hasColour(entry);
    const bool font = colour || entry.size != 0;
    if (font) {
        // The colour attribute always comes before the size attribute.
        at = appendTag(out, at, "<font");
        if (colour) {
            at = appendTag(out, at, " color=#");
            at = appendText(out, at, entry.colour,
                            static_cast<int>(strnlen(entry.colour, COLOUR_LENGTH)));
        }
        if (entry.size != 0) {
            char size[24];
            std::snprintf(size, sizeof size, " size=%d", static_cast<int>(entry.size));
            at = appendTag(out, at, size);
        }
        at = appendTag(out, at, ">");
    }
    prepared.keywordLength = keywordLengthOf(entry);
    at = appendText(out, at, entryText(entry), prepared.keywordLength);
    if (font) {
        at = appendTag(out, at, "</font>");
    }
    for (int k = 3; k >= 0; --k) {
        if (entry.style & (1 << k)) {
            at = appendTag(out, at, CLOSE_TAGS[k]);
        }
    }
    prepared.decoratedLength = at;
    // Keywords and colours are bytes as the table holds them; an LF in either
    // must still go out as CR LF.
    prepared.newlineInside = std::memchr(out, '\n', static_cast<size_t>(at)) != nullptr;
    decoratedTextsLength += at;
}

// ---------------------------------------------------------------------------
// Which entry matches at a position. At one position the entry with the
// lowest table index wins, whatever the keywords' lengths. Short lists of
// keywords by their first bytes (below) answer that in the usual case. For
// keywords that crowd into one list the keywords also go into a trie whose
// every node knows the lowest index ending there and the lowest index
// anywhere below it: a walk down the trie stops as soon as nothing below can
// beat the best entry found so far. Either is consulted only at the scan's
// stops (below).

constexpr unsigned NO_ENTRY = 0xFFFF;

struct TrieNode {
    uint32_t child;      // first node one byte deeper, 0 for none
    uint32_t sibling;    // next node with the same parent, 0 for none
    uint16_t terminal;   // lowest entry whose keyword ends here
    uint16_t subtreeMin; // lowest entry whose keyword passes through here
    unsigned char label; // the byte that leads here; never 0
};

// The trie below the first two bytes: a keyword of n >= 2 bytes takes at most
// n - 1 nodes. Node 0 stands for "none".
constexpr int MAX_TRIE_NODES = 1 + MAX_ENTRIES * (MAX_KEYWORD_LENGTH - 1);

static TrieNode trieNodes[MAX_TRIE_NODES];
static int trieNodeCount;
// Pairs of bytes are numbered first byte + 256 * second byte.
static uint32_t pairNodes[65536];       // node after the first two bytes
static uint16_t usedPairs[MAX_ENTRIES]; // the pairNodes set, for clearing
static int usedPairCount;
static uint16_t singleByteEntry[256]; // lowest entry whose keyword is this byte
static bool emptyKeyword;             // an entry's keyword is empty
// Where the scan must stop and look, as two tables of bytes (a byte, not a
// bit, keeps the test to one load each), both read at every position without
// a branch: stops must be few and mostly real, because each one costs a
// mispredicted branch.
// - shortStops, by the pair of bytes at the position: a keyword of one or two
//   bytes begins there, or the first byte is zero, which ends the line's text
//   (the piece's terminator among them, so the scan needs no other bound);
// - longStops, by a hash of the three bytes at the position: a longer keyword
//   may begin there.
constexpr int PREFIX_HASH_BITS = 16;

static unsigned pairAt(const unsigned char* at) {
    return static_cast<unsigned>(at[0]) | static_cast<unsigned>(at[1]) << 8;
}

static unsigned char shortStops[65536];
static unsigned char longStops[1 << PREFIX_HASH_BITS];

// Hash of the three lowest bytes of `bytes`, the first in the lowest bits.
// The multiplier's low byte is zero, so the fourth byte drops out of the
// product and the scan need not mask it off.
static unsigned hashOfThree(uint32_t bytes) {
    return (bytes * 0x9E377900u) >> (32 - PREFIX_HASH_BITS);
}

static unsigned prefixHash(const unsigned char* at) {
    return hashOfThree(static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
                       static_cast<uint32_t>(at[2]) << 16);
}

// The four bytes at `at` in one load, the first in the lowest bits.
static uint32_t fourBytesAt(const unsigned char* at) {
    uint32_t bytes;
    std::memcpy(&bytes, at, sizeof bytes);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    bytes = __builtin_bswap32(bytes);
#endif
    return bytes;
}

// shortStops[pairAt(at)] | longStops[prefixHash(at)], from a single load.
static unsigned stopAt(const unsigned char* at) {
    const uint32_t bytes = fourBytesAt(at);
    return shortStops[bytes & 0xFFFF] | longStops[hashOfThree(bytes)];
}

// The first stop at or after `at`. Reads up to three bytes past the stop.
static const unsigned char* nextStop(const unsigned char* at) {
    for (;; at += 4) {
        if (stopAt(at)) {
            return at;
        }
        if (stopAt(at + 1)) {
            return at + 1;
        }
        if (stopAt(at + 2)) {
            return at + 2;
        }
        if (stopAt(at + 3)) {
            return at + 3;
        }
    }
}

// The entries themselves, found without walking the trie in the usual case:
// - pairEntry, by the pair of bytes at a position: the lowest entry whose
//   keyword of one or two bytes matches there;
// - longer keywords in lists by the top bits of the hash of their first
//   three bytes (a small table stays in the nearest cache), each list in
//   table order and each keyword held as its first 16 bytes and a mask, so
//   that most are checked with a few independent loads. A list longer than
//   LONG_LIST_LIMIT (keywords sharing a long stretch, say) is left to the
//   trie, whose cost does not grow with the list.
// Both are read only where the stop tables say a keyword of their kind may
// begin.
constexpr int HEAD_LENGTH = 16;
constexpr int LIST_HASH_BITS = 12;
constexpr int LONG_LIST_LIMIT = 8;

struct LongKeyword {
    uint64_t head[2]; // the first HEAD_LENGTH bytes, zero past the keyword
    uint64_t mask[2]; // all ones over the keyword's bytes
    const unsigned char* keyword;
    uint16_t entry;
    uint16_t length;
};

// A list: first LongKeyword in the low 16 bits, count in the next 8 bits,
// LONG_TAILS when a keyword in it is longer than HEAD_LENGTH; 0 for none.
// A count of TRIE_COUNT sends the walk to the trie.
constexpr uint32_t TRIE_COUNT = 0xFF;
constexpr uint32_t LONG_TAILS = 1u << 24;

static uint32_t listCount(uint32_t list) {
    return (list >> 16) & 0xFF;
}

static uint16_t pairEntry[65536];
static LongKeyword longKeywords[MAX_ENTRIES];
static int longKeywordCount;
static uint32_t longLists[1 << LIST_HASH_BITS];
static uint16_t usedLists[MAX_ENTRIES]; // the longLists set, for clearing
static int usedListCount;

static void markShortStopsAfter(unsigned char first) {
    for (unsigned second = 0; second < 256; ++second) {
        shortStops[first | second << 8] = 1;
    }
}

static uint32_t newNode(unsigned char label, uint16_t entry) {
    const uint32_t index = static_cast<uint32_t>(trieNodeCount++);
    TrieNode& node = trieNodes[index];
    node.child = 0;
    node.sibling = 0;
    node.terminal = NO_ENTRY;
    node.subtreeMin = entry; // entries go in by rising index
    node.label = label;
    return index;
}

// The list for a hash of three bytes: its top bits.
static unsigned listOfHash(unsigned hash) {
    return hash >> (PREFIX_HASH_BITS - LIST_HASH_BITS);
}

static void addLongKeyword(const unsigned char* keyword, int length, uint16_t entry) {
    LongKeyword& added = longKeywords[longKeywordCount++];
    unsigned char head[HEAD_LENGTH] = {};
    unsigned char mask[HEAD_LENGTH] = {};
    const int inHead = length < HEAD_LENGTH ? length : HEAD_LENGTH;
    std::memcpy(head, keyword, static_cast<size_t>(inHead));
    std::memset(mask, 0xFF, static_cast<size_t>(inHead));
    std::memcpy(added.head, head, sizeof head);
    std::memcpy(added.mask, mask, sizeof mask);
    added.keyword = keyword;
    added.entry = entry;
    added.length = static_cast<uint16_t>(length);
}

// Groups longKeywords by list, keeping table order within each: counts,
// then places each keyword after those of the lists before its own.
static void buildLongLists() {
    static LongKeyword sorted[MAX_ENTRIES];
    static uint16_t listOf[MAX_ENTRIES];
    static uint16_t sizes[1 << LIST_HASH_BITS];  // keywords in each list
    static uint16_t filled[1 << LIST_HASH_BITS]; // of them placed so far
    static bool longTails[1 << LIST_HASH_BITS];  // one is longer than its head
    for (int i = 0; i < longKeywordCount; ++i) {
        const uint16_t list =
            static_cast<uint16_t>(listOfHash(prefixHash(longKeywords[i].keyword)));
        listOf[i] = list;
        if (sizes[list] == 0) {
            usedLists[usedListCount++] = list;
            longTails[list] = false;
            filled[list] = 0;
        }
        ++sizes[list];
        if (longKeywords[i].length > HEAD_LENGTH) {
            longTails[list] = true;
        }
    }
    uint32_t next = 0;
    for (int i = 0; i < usedListCount; ++i) {
        const uint16_t list = usedLists[i];
        const uint32_t count = sizes[list];
        const uint32_t shown = count > LONG_LIST_LIMIT ? TRIE_COUNT : count;
        longLists[list] = next | shown << 16 | (longTails[list] ? LONG_TAILS : 0);
        next += count;
    }
    for (int i = 0; i < longKeywordCount; ++i) {
        const uint16_t list = listOf[i];
        sorted[(longLists[list] & 0xFFFF) + filled[list]++] = longKeywords[i];
    }
    for (int i = 0; i < usedListCount; ++i) {
        sizes[usedLists[i]] = 0;
    }
    std::memcpy(longKeywords, sorted, sizeof(LongKeyword) * static_cast<size_t>(longKeywordCount));
}

static void addKeyword(const unsigned char* keyword, int length, uint16_t entry) {
    if (length == 0) {
        emptyKeyword = true; // occurs in every line, matches nowhere
        return;
    }
    if (length == 1) {
        if (singleByteEntry[keyword[0]] == NO_ENTRY) {
            singleByteEntry[keyword[0]] = entry;
            markShortStopsAfter(keyword[0]);
            for (unsigned second = 0; second < 256; ++second) {
                uint16_t& lowest = pairEntry[keyword[0] | second << 8];
                if (lowest > entry) {
                    lowest = entry;
                }
            }
        }
        return;
    }
    const unsigned pair = pairAt(keyword);
    if (length == 2) {
        shortStops[pair] = 1;
        if (pairEntry[pair] > entry) {
            pairEntry[pair] = entry;
        }
    } else {
        longStops[prefixHash(keyword)] = 1;
        addLongKeyword(keyword, length, entry);
    }
}

// Puts a keyword of three bytes or more into the trie. Keywords go in by
// rising entry, which each new node's subtreeMin relies on.
static void addToTrie(const unsigned char* keyword, int length, uint16_t entry) {
    const unsigned pair = pairAt(keyword);
    uint32_t node = pairNodes[pair];
    if (node == 0) {
        node = newNode(keyword[1], entry);
        pairNodes[pair] = node;
        usedPairs[usedPairCount++] = static_cast<uint16_t>(pair);
    }
    for (int depth = 2; depth < length; ++depth) {
        uint32_t child = trieNodes[node].child;
        while (child != 0 && trieNodes[child].label != keyword[depth]) {
            child = trieNodes[child].sibling;
        }
        if (child == 0) {
            child = newNode(keyword[depth], entry);
            trieNodes[child].sibling = trieNodes[node].child;
            trieNodes[node].child = child;
        }
        node = child;
    }
    if (trieNodes[node].terminal == NO_ENTRY) {
        trieNodes[node].terminal = entry;
    }
}

static void prepareTable() {
    for (int i = 0; i < usedPairCount; ++i) {
        pairNodes[usedPairs[i]] = 0;
    }
    usedPairCount = 0;
    for (int i = 0; i < usedListCount; ++i) {
        longLists[usedLists[i]] = 0;
    }
    usedListCount = 0;
    longKeywordCount = 0;
    std::memset(pairEntry, 0xFF, sizeof pairEntry);
    std::memset(shortStops, 0, sizeof shortStops);
    std::memset(longStops, 0, sizeof longStops);
    markShortStopsAfter(0);
    std::memset(singleByteEntry, 0xFF, sizeof singleByteEntry);
    emptyKeyword = false;
    trieNodeCount = 1;
    decoratedTextsLength = 0;
    for (int i = 0; i < decorationTable.count; ++i) {
        const DecorationEntry& entry = decorationTable.entries[i];
        PreparedEntry& prepared = preparedEntries[i];
        prepareEntry(entry, prepared);
        addKeyword(reinterpret_cast<const unsigned char*>(entryText(entry)), prepared.keywordLength,
                   static_cast<uint16_t>(i));
    }
    buildLongLists();
    // Only the keywords of lists left to the trie go into it, so that a table
    // of long keywords that do not crowd together builds no trie at all.
    for (int i = 0; i < decorationTable.count; ++i) {
        const unsigned char* keyword =
            reinterpret_cast<const unsigned char*>(entryText(decorationTable.entries[i]));
        const int length = preparedEntries[i].keywordLength;
        if (length >= 3 && listCount(longLists[listOfHash(prefixHash(keyword))]) == TRIE_COUNT) {
            addToTrie(keyword, length, static_cast<uint16_t>(i));
        }
    }
}

// The entry that wins at a position, or NO_ENTRY: `best`, the winner among
// keywords of one or two bytes, or one of the keywords of three bytes or
// more in the trie. The text is zero-terminated and no keyword holds a zero
// byte, so a walk ends there.
static unsigned trieEntryAt(const unsigned char* at, unsigned best) {
    const unsigned char* next = at + 2;
    uint32_t node = pairNodes[pairAt(at)];
    while (node != 0 && trieNodes[node].subtreeMin < best) {
        if (trieNodes[node].terminal < best) {
            best = trieNodes[node].terminal;
        }
        const unsigned char c = *next++;
        uint32_t child = trieNodes[node].child;
        while (child != 0 && trieNodes[child].label != c) {
            child = trieNodes[child].sibling;
        }
        node = child;
    }
    return best;
}

// The eight bytes at `at` in one load, in memory order.
static uint64_t eightBytesAt(const unsigned char* at) {
    uint64_t bytes;
    std::memcpy(&bytes, at, sizeof bytes);
    return bytes;
}

// Zero exactly when the keyword's head matches `first` and `second`, the
// HEAD_LENGTH bytes at a position.
static uint64_t headDiffers(const LongKeyword& keyword, uint64_t first, uint64_t second) {
    return ((first & keyword.mask[0]) ^ keyword.head[0]) |
           ((second & keyword.mask[1]) ^ keyword.head[1]);
}

// The entry that wins at a stop position, or NO_ENTRY. `remaining` bytes of
// the piece start at `at`, which may be read HEAD_LENGTH - 1 bytes past the
// piece's end: a keyword's head never matches across the terminator, as no
// keyword holds a zero byte.
static unsigned entryAt(const unsigned char* at, size_t remaining) {
    const uint32_t bytes = fourBytesAt(at);
    const unsigned pair = bytes & 0xFFFF;
    const unsigned hash = hashOfThree(bytes);
    unsigned best = shortStops[pair] ? pairEntry[pair] : NO_ENTRY;
    if (!longStops[hash]) {
        return best;
    }
    const uint32_t list = longLists[listOfHash(hash)];
    const uint32_t count = listCount(list);
    if (count == TRIE_COUNT) {
        return trieEntryAt(at, best);
    }
    const LongKeyword* candidate = longKeywords + (list & 0xFFFF);
    const LongKeyword* const end = candidate + count;
    const uint64_t first = eightBytesAt(at);
    const uint64_t second = eightBytesAt(at + 8);
    if (!(list & LONG_TAILS)) {
        // Every keyword is whole in its head: all are tried, without a branch
        // on the outcome, which would go either way.
        for (; candidate != end; ++candidate) {
            const uint64_t differ = headDiffers(*candidate, first, second);
            // A keyword that differs reads as all ones, which never wins;
            // the top bit of differ | -differ is set exactly when differ is
            // not zero, with no branch for the compiler to make of it.
            const uint32_t differs = static_cast<uint32_t>((differ | (0 - differ)) >> 63);
            const unsigned found = candidate->entry | (0u - differs);
            best = found < best ? found : best;
        }
        return best;
    }
    for (; candidate != end && candidate->entry < best; ++candidate) {
        if (headDiffers(*candidate, first, second) != 0) {
            continue;
        }
        if (candidate->length > HEAD_LENGTH &&
            (candidate->length > remaining ||
             std::memcmp(at + HEAD_LENGTH, candidate->keyword + HEAD_LENGTH,
                         candidate->length - static_cast<size_t>(HEAD_LENGTH)) != 0)) {
            continue;
        }
        best = candidate->entry;
        break;
    }
    return best;
}

// ---------------------------------------------------------------------------
// Diagnostics, sent only while somebody reads them.

static bool debugging;

static void reportRun(const char* line, int runStart, int p, const DecorationEntry& entry) {
    char run[PIECE_LENGTH + 1];
    std::memset(run, 0, sizeof run);
    std::memcpy(run, line + runStart, static_cast<size_t>(p - runStart));
    debugOut("\t[%s]\n", run);
    debugOut("\t[<font size=%d color=#%s>%s</font>]\n", entry.size, entry.colour, entryText(entry));
}

// Whether each entry's keyword occurs in the line: the entries' `hit` fields
// tell it for the last line of a conversion.
static void markHits(const char* line) {
    for (int i = 0; i < decorationTable.count; ++i) {
        DecorationEntry& entry = decorationTable.entries[i];
        entry.hit = std::strstr(line, entryText(entry)) != nullptr ? 1 : 0;
    }
}

// ---------------------------------------------------------------------------

// What ends a line: CR LF for its LF, then "<BR>" when asked for. Padded
// for writeShortBytes.
static const char LINE_END[8 + SHORT_COPY_LIMIT] = "\r\n<BR>";

// Writes bytes start .. end - 1 of a piece, which end the line: only the
// last of them can be an LF.
static void writeLineEnd(TextWriter* out, const char* piece, int start, int end) {
    const bool newline = end > start && piece[end - 1] == '\n';
    const int plainEnd = newline ? end - 1 : end;
    const size_t tail = (newline ? 2 : 0) + (decorationTable.lineBreakTags ? 4 : 0);
    writeShortPair(out, piece + start, static_cast<size_t>(plainEnd - start),
                   newline ? LINE_END : LINE_END + 2, tail);
}

// Decorates one piece: pieceLength bytes, zero-terminated, that end with its
// only LF if they hold one.
static void decoratePiece(TextWriter* out, const char* piece, int pieceLength) {
    const unsigned char* text = reinterpret_cast<const unsigned char*>(piece);
    if (debugging) {
        debugOut("DataNum = %d\n", decorationTable.count);
        debugOut("StringLen = %d\n", static_cast<int>(std::strlen(piece)));
    }
    int runStart = 0;
    int q = 0;
    bool matched = false;
    for (;;) {
        q = static_cast<int>(nextStop(text + q) - text);
        if (text[q] == 0) {
            break; // everything stops at the first zero byte
        }
        const unsigned entry = entryAt(text + q, static_cast<size_t>(pieceLength - q));
        if (entry == NO_ENTRY) {
            ++q;
            continue;
        }
        const PreparedEntry& prepared = preparedEntries[entry];
        if (debugging) {
            const DecorationEntry& table = decorationTable.entries[entry];
            debugOut("Hit[%s][%d]\n", entryText(table), q);
            if (q > runStart) {
                reportRun(piece, runStart, q, table);
            }
        }
        if (prepared.newlineInside) {
            writeShortBytes(out, piece + runStart, static_cast<size_t>(q - runStart));
            writeText(out, prepared.decorated, static_cast<size_t>(prepared.decoratedLength));
        } else {
            writeShortPair(out, piece + runStart, static_cast<size_t>(q - runStart),
                           prepared.decorated, static_cast<size_t>(prepared.decoratedLength));
        }
        matched = true;
        q += prepared.keywordLength;
        runStart = q;
    }
    const int lineLength = q;
    if (!matched) {
        // No keyword in the line: copied whole. An empty keyword still sends
        // the line down the scanning path, which writes nothing at all for a
        // line that is empty.
        if (lineLength > 0 || !emptyKeyword) {
            writeLineEnd(out, piece, 0, lineLength);
        }
    } else if (runStart < lineLength) {
        // A line that ends exactly with a keyword gets nothing more, not even "<BR>".
        writeLineEnd(out, piece, runStart, lineLength);
    }
}

// ---------------------------------------------------------------------------
// A file is read in regions that can be decorated apart (see readTextRegion),
// in two lanes when a second thread can be had. Each lane reads a region in
// its turn and decorates it into an output slot of its own; finished slots
// go out in the regions' order, written by whichever lane finds the next one
// ready. With more slots than lanes, a lane whose region is done before the
// one ahead of it goes on to the next region instead of waiting. The output
// is the same whatever the lanes and regions: the pieces are.

constexpr size_t REGION_CAPACITY = 128 * 1024;
constexpr size_t SLOT_OUTPUT = 512 * 1024;
constexpr int LANES = 2;
constexpr int OUTPUT_SLOTS = 4; // region r decorates into slot r % OUTPUT_SLOTS
constexpr size_t LARGE_TRIE = 1024 * 1024;

struct Lane {
    uint64_t region; // the region it holds, counted from 0
    // The last piece it decorated, and the region it was in: the file's last
    // piece tells the entries' hits.
    int64_t lastPieceRegion;
    char lastPiece[PIECE_LENGTH + 1];
    unsigned char raw[REGION_CAPACITY + SHORT_COPY_LIMIT + 8];
};

struct OutputSlot {
    TextWriter writer;
    char buffer[SLOT_OUTPUT + SHORT_COPY_LIMIT];
};

// Too large for the stack; one conversion runs at a time.
static TextReader input;
static TextWriter output;
static TextRegionReader regions;
static Lane lanes[LANES];
static OutputSlot slots[OUTPUT_SLOTS];
static size_t regionLength = REGION_CAPACITY;

// Shared by the lanes, under the platform lock.
static bool reading;                 // a lane is reading a region
static bool inputDone;               // the last region has been read
static uint64_t regionsRead;         // regions handed out so far
static uint64_t regionsDone;         // regions written out so far, in order
static bool writing;                 // a lane is writing regions out
static bool slotReady[OUTPUT_SLOTS]; // holds a region waiting to go out

void setDecoratorRegionLength(size_t length) {
    const size_t least = 2 * PIECE_LENGTH + 2;
    regionLength = length < least ? least : length > REGION_CAPACITY ? REGION_CAPACITY : length;
}

static OutputSlot& slotOf(uint64_t region) {
    return slots[region % OUTPUT_SLOTS];
}

// Writes out, in order, every region whose slot is ready, for a lane that
// holds the lock and has just set `writing`; clears it at the end.
static void writeReadySlots() {
    while (slotReady[regionsDone % OUTPUT_SLOTS]) {
        OutputSlot& slot = slotOf(regionsDone);
        platformUnlock();
        flushTextWriter(&slot.writer);
        platformLock();
        slotReady[regionsDone % OUTPUT_SLOTS] = false;
        ++regionsDone;
        platformWakeAll();
    }
    writing = false;
    platformWakeAll();
}

// A slot that fills before its region is done: the lane waits until every
// region before its own is out and takes over the writing, which it keeps
// until its region is done.
static void waitForTurn(void* context) {
    const Lane* lane = static_cast<const Lane*>(context);
    platformLock();
    while (regionsDone != lane->region || writing) {
        platformWait();
    }
    writing = true;
    platformUnlock();
}

static void decorateRegion(Lane* lane, TextWriter* out, size_t length) {
    TextRegion region = {lane->raw, length, 0, nullptr, 0};
    char* piece = nullptr;
    char* last = nullptr;
    int lastLength = 0;
    for (;;) {
        const int pieceLength = nextRegionPiece(&region, &piece, PIECE_LENGTH);
        if (pieceLength == 0) {
            break;
        }
        decoratePiece(out, piece, pieceLength);
        last = piece;
        lastLength = pieceLength;
    }
    if (last != nullptr) {
        // The call that found the end gave the byte after the piece back.
        std::memcpy(lane->lastPiece, last, static_cast<size_t>(lastLength));
        lane->lastPiece[lastLength] = 0;
        lane->lastPieceRegion = static_cast<int64_t>(lane->region);
    }
}

static void runLane(void* context) {
    Lane* lane = static_cast<Lane*>(context);
    for (;;) {
        platformLock();
        while (reading) {
            platformWait();
        }
        if (inputDone) {
            platformUnlock();
            return;
        }
        reading = true;
        lane->region = regionsRead++;
        platformUnlock();

        bool last = false;
        const size_t length =
            readTextRegion(&regions, lane->raw, regionLength, PIECE_LENGTH, &last);
        platformLock();
        reading = false;
        inputDone = last;
        platformWakeAll();
        // The slot is free once the region that used it before is out.
        while (regionsDone + OUTPUT_SLOTS <= lane->region) {
            platformWait();
        }
        platformUnlock();

        TextWriter* out = &slotOf(lane->region).writer;
        out->beforeWrite = waitForTurn;
        out->beforeWriteContext = lane;
        decorateRegion(lane, out, length);
        const bool holdsWriting = out->beforeWrite == nullptr;
        out->beforeWrite = nullptr;
        if (holdsWriting) {
            // Its turn came while it decorated: the rest goes out now.
            flushTextWriter(out);
            platformLock();
            ++regionsDone;
        } else {
            platformLock();
            slotReady[lane->region % OUTPUT_SLOTS] = true;
            if (writing) {
                platformUnlock(); // the lane writing will find it
                continue;
            }
            writing = true;
        }
        writeReadySlots();
        platformUnlock();
    }
}

DecorateResult decorateFileResult(const PathChar* inputPath, const PathChar* outputPath) {
    watchDebugListeners();
    debugging = debugOutActive();
    // The output is opened even when the input cannot be: an unreadable input
    // still leaves an empty output file behind.
    const bool inputOpen = openTextReader(&input, inputPath);
    if (!openTextWriter(&output, outputPath)) {
        closeTextReader(&input);
        return DECORATE_OUTPUT_UNWRITABLE;
    }
    if (!inputOpen) {
        closeTextWriter(&output);
        return DECORATE_INPUT_UNREADABLE;
    }
    const int64_t inputSize = textReaderFileSize(&input);
    if (inputSize == 0) {
        closeTextReader(&input);
        closeTextWriter(&output);
        return DECORATE_EMPTY_INPUT;
    }

    prepareTable();

    // The input is read up to the size it had when the conversion began (to
    // its end when that cannot be measured), or up to a 0x1A byte.
    openTextRegions(&regions, input.file, inputSize);
    reading = false;
    inputDone = false;
    regionsRead = 0;
    regionsDone = 0;
    writing = false;
    // A large trie (many long keywords crowding together) takes memory that
    // smaller slots give back.
    const size_t slotCapacity = static_cast<size_t>(trieNodeCount) * sizeof(TrieNode) > LARGE_TRIE
                                    ? SLOT_OUTPUT / 4
                                    : SLOT_OUTPUT;
    for (int i = 0; i < OUTPUT_SLOTS; ++i) {
        slotReady[i] = false;
        attachTextWriter(&slots[i].writer, output.file);
        useTextWriterBuffer(&slots[i].writer, slots[i].buffer, slotCapacity);
    }
    for (Lane& lane : lanes) {
        lane.lastPieceRegion = -1;
    }
    // A second lane only pays for itself with a region for each; debugger
    // output must come in the file's order.
    const bool twoLanes = !debugging &&
                          (inputSize < 0 || static_cast<uint64_t>(inputSize) > regionLength) &&
                          platformStartThread(runLane, &lanes[1]);
    runLane(&lanes[0]);
    if (twoLanes) {
        platformJoinThread();
    }

    bool writeOk = true;
    const Lane* lastLane = nullptr;
    for (const OutputSlot& slot : slots) {
        writeOk = !slot.writer.failed && writeOk;
    }
    for (const Lane& lane : lanes) {
        if (lane.lastPieceRegion >= 0 &&
            (lastLane == nullptr || lane.lastPieceRegion > lastLane->lastPieceRegion)) {
            lastLane = &lane;
        }
    }
    if (lastLane != nullptr) {
        markHits(lastLane->lastPiece);
    }
    const bool readOk = !regions.failed;
    closeTextReader(&input);
    writeOk = closeTextWriter(&output) && writeOk;
    if (!readOk) {
        return DECORATE_INPUT_UNREADABLE;
    }
    return writeOk ? DECORATE_DONE : DECORATE_OUTPUT_UNWRITABLE;
}

bool decorateFile(const PathChar* inputPath, const PathChar* outputPath) {
    return decorateFileResult(inputPath, outputPath) == DECORATE_DONE;
}
