// Keyword matching: which entry wins at each position of a piece of text.
//
//   build(keywords):
//     for each keyword k, lowest entry first:
//       empty        -> noted, matches nowhere
//       1 or 2 bytes -> pairEntry[every pair k can start] lowered to k's entry;
//                       shortStops[those pairs] set
//       3 to 16      -> longStops[hash of its first 3 bytes] set; appended to
//                       the list of that hash's top bits
//       longer       -> longStops set likewise; into the automaton
//     lists of more than LONG_LIST_LIMIT keywords go into the automaton
//   search(text):
//     if the automaton holds keywords:
//       starts = for each position, the lowest of its entries starting there
//     p = 0
//     loop:
//       p = next position whose pair or 3-byte hash is a stop   (prefilter)
//       if text[p] == 0: return                                 (text ends)
//       e = lowest of pairEntry[pair at p], the list's keywords that match
//           at p, and starts[p]
//       if e: hit (p, e); p += length of e's keyword  else: p += 1
//
// Contracts:
// - The text is zero-terminated and no keyword holds a zero byte, so no
//   match runs past the terminator, and the zero byte is itself a stop: the
//   scan needs no other bound.
// - Reads run at most MATCHER_READ_PAST bytes past the terminator: a stop
//   test loads four bytes, a list test sixteen.
// - The stop tables never report a false negative: every position where a
//   keyword starts is a stop. A stop with no match costs a wasted look only.
// - At one position the lowest entry wins, whatever the keywords' lengths.
// - Time is linear in the text whatever the table: a stop costs at most a
//   pair lookup, LONG_LIST_LIMIT comparisons of sixteen bytes and a look at
//   the automaton's starts, and the automaton reads each byte a bounded
//   number of times (amortised).
#include "core/keyword_matcher.h"

#include <cstring>

#include "core/decoration_table.h"
#include "core/keyword_automaton.h"

// The scan's steps, inlined into each of its loops: a call per stop costs
// as much as the stop's work.
#if defined(__GNUC__)
#define SCAN_STEP inline __attribute__((always_inline))
#else
#define SCAN_STEP inline
#endif

namespace {

constexpr unsigned NO_ENTRY = 0xFFFF;

// Where the scan must stop and look, as two tables of bytes (a byte, not a
// bit, keeps the test to one load each), both read at every position without
// a branch: stops must be few and mostly real, because each one costs a
// mispredicted branch.
// - shortStops, by the pair of bytes at the position: a keyword of one or two
//   bytes begins there, or the first byte is zero, which ends the text;
// - longStops, by a hash of the three bytes at the position: a longer keyword
//   may begin there.
constexpr int PREFIX_HASH_BITS = 16;

// Keywords of three to HEAD_LENGTH bytes in lists by the top bits of the hash
// of their first three bytes (a small table stays in the nearest cache), each
// list in table order and each keyword held as its first 16 bytes and a mask,
// so that all are checked with a few independent loads. Longer keywords, and
// the keywords of a list longer than LONG_LIST_LIMIT (keywords sharing a
// stretch, say), are left to the automaton, whose cost does not grow with
// the keywords' lengths or numbers.
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

// A list: first LongKeyword in the low 16 bits, count in the next 8 bits;
// 0 for none.

struct KeywordMatcher {
    // Pairs of bytes are numbered first byte + 256 * second byte.
    unsigned char shortStops[65536];
    unsigned char longStops[1 << PREFIX_HASH_BITS];
    // The lowest entry whose keyword of one or two bytes matches at a pair.
    uint16_t pairEntry[65536];
    uint16_t singleByteEntry[256]; // lowest entry whose keyword is this byte
    bool emptyKeyword;
    bool automatonUsed; // some keyword went to the automaton
    uint16_t keywordLengths[MAX_ENTRIES]; // by entry

    LongKeyword longKeywords[MAX_ENTRIES];
    int longKeywordCount;
    uint32_t longLists[1 << LIST_HASH_BITS];
    uint16_t usedLists[MAX_ENTRIES]; // the longLists set, for clearing
    int usedListCount;
};

// Too large for the stack; built once per conversion, then only read.
KeywordMatcher matcher;

unsigned pairAt(const unsigned char* at) {
    return static_cast<unsigned>(at[0]) | static_cast<unsigned>(at[1]) << 8;
}

// Hash of the three lowest bytes of `bytes`, the first in the lowest bits.
// The multiplier's low byte is zero, so the fourth byte drops out of the
// product and the scan need not mask it off.
SCAN_STEP unsigned hashOfThree(uint32_t bytes) {
    return (bytes * 0x9E377900u) >> (32 - PREFIX_HASH_BITS);
}

unsigned prefixHash(const unsigned char* at) {
    return hashOfThree(static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
                       static_cast<uint32_t>(at[2]) << 16);
}

// The four bytes at `at` in one load, the first in the lowest bits.
SCAN_STEP uint32_t fourBytesAt(const unsigned char* at) {
    uint32_t bytes;
    std::memcpy(&bytes, at, sizeof bytes);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    bytes = __builtin_bswap32(bytes);
#endif
    return bytes;
}

// The eight bytes at `at` in one load, in memory order.
SCAN_STEP uint64_t eightBytesAt(const unsigned char* at) {
    uint64_t bytes;
    std::memcpy(&bytes, at, sizeof bytes);
    return bytes;
}

SCAN_STEP uint32_t listCount(uint32_t list) {
    return (list >> 16) & 0xFF;
}

// The list for a hash of three bytes: its top bits.
SCAN_STEP unsigned listOfHash(unsigned hash) {
    return hash >> (PREFIX_HASH_BITS - LIST_HASH_BITS);
}

// ---------------------------------------------------------------------------
// Build step.

void markShortStopsAfter(unsigned char first) {
    for (unsigned second = 0; second < 256; ++second) {
        matcher.shortStops[first | second << 8] = 1;
    }
}

void addLongKeyword(const unsigned char* keyword, int length, uint16_t entry) {
    LongKeyword& added = matcher.longKeywords[matcher.longKeywordCount++];
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
// then places each keyword after those of the lists before its own. The
// keywords of a crowded list go to the automaton instead.
void buildLongLists() {
    static LongKeyword sorted[MAX_ENTRIES];
    static uint16_t listOf[MAX_ENTRIES];
    static uint16_t sizes[1 << LIST_HASH_BITS];  // keywords in each list
    static uint16_t filled[1 << LIST_HASH_BITS]; // of them placed so far
    KeywordMatcher& m = matcher;
    for (int i = 0; i < m.longKeywordCount; ++i) {
        const uint16_t list =
            static_cast<uint16_t>(listOfHash(prefixHash(m.longKeywords[i].keyword)));
        listOf[i] = list;
        if (sizes[list] == 0) {
            m.usedLists[m.usedListCount++] = list;
            filled[list] = 0;
        }
        ++sizes[list];
    }
    uint32_t next = 0;
    for (int i = 0; i < m.usedListCount; ++i) {
        const uint16_t list = m.usedLists[i];
        const uint32_t count = sizes[list];
        if (count <= LONG_LIST_LIMIT) {
            m.longLists[list] = next | count << 16;
            next += count;
        }
    }
    int kept = 0;
    for (int i = 0; i < m.longKeywordCount; ++i) {
        const uint16_t list = listOf[i];
        const LongKeyword& keyword = m.longKeywords[i];
        if (sizes[list] > LONG_LIST_LIMIT) {
            addAutomatonKeyword(keyword.keyword, keyword.length, keyword.entry);
        } else {
            sorted[(m.longLists[list] & 0xFFFF) + filled[list]++] = keyword;
            ++kept;
        }
    }
    for (int i = 0; i < m.usedListCount; ++i) {
        sizes[m.usedLists[i]] = 0;
    }
    m.longKeywordCount = kept;
    std::memcpy(m.longKeywords, sorted, sizeof(LongKeyword) * static_cast<size_t>(kept));
}

void addKeyword(const unsigned char* keyword, int length, uint16_t entry) {
    KeywordMatcher& m = matcher;
    if (length == 0) {
        m.emptyKeyword = true; // occurs in every line, matches nowhere
        return;
    }
    if (length == 1) {
        if (m.singleByteEntry[keyword[0]] == NO_ENTRY) {
            m.singleByteEntry[keyword[0]] = entry;
            markShortStopsAfter(keyword[0]);
            for (unsigned second = 0; second < 256; ++second) {
                uint16_t& lowest = m.pairEntry[keyword[0] | second << 8];
                if (lowest > entry) {
                    lowest = entry;
                }
            }
        }
        return;
    }
    const unsigned pair = pairAt(keyword);
    if (length == 2) {
        m.shortStops[pair] = 1;
        if (m.pairEntry[pair] > entry) {
            m.pairEntry[pair] = entry;
        }
    } else {
        m.longStops[prefixHash(keyword)] = 1;
        if (length <= HEAD_LENGTH) {
            addLongKeyword(keyword, length, entry);
        } else {
            addAutomatonKeyword(keyword, length, entry);
        }
    }
}

// ---------------------------------------------------------------------------
// Search step.

// shortStops[pairAt(at)] | longStops[prefixHash(at)], from a single load.
SCAN_STEP unsigned stopAt(const unsigned char* at) {
    const uint32_t bytes = fourBytesAt(at);
    return matcher.shortStops[bytes & 0xFFFF] | matcher.longStops[hashOfThree(bytes)];
}

// The first stop at or after `at`. Reads up to three bytes past the stop.
SCAN_STEP const unsigned char* nextStop(const unsigned char* at) {
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

// Zero exactly when the keyword's head matches `first` and `second`, the
// HEAD_LENGTH bytes at a position.
SCAN_STEP uint64_t headDiffers(const LongKeyword& keyword, uint64_t first, uint64_t second) {
    return ((first & keyword.mask[0]) ^ keyword.head[0]) |
           ((second & keyword.mask[1]) ^ keyword.head[1]);
}

// The entry that wins at a stop position among the pairs and the lists, or
// NO_ENTRY. `at` may be read HEAD_LENGTH - 1 bytes past the text's end: a
// keyword's head never matches across the terminator.
SCAN_STEP unsigned entryAt(const unsigned char* at) {
    const KeywordMatcher& m = matcher;
    const uint32_t bytes = fourBytesAt(at);
    const unsigned pair = bytes & 0xFFFF;
    const unsigned hash = hashOfThree(bytes);
    unsigned best = m.shortStops[pair] ? m.pairEntry[pair] : NO_ENTRY;
    if (!m.longStops[hash]) {
        return best;
    }
    const uint32_t list = m.longLists[listOfHash(hash)];
    const LongKeyword* candidate = m.longKeywords + (list & 0xFFFF);
    const LongKeyword* const end = candidate + listCount(list);
    const uint64_t first = eightBytesAt(at);
    const uint64_t second = eightBytesAt(at + 8);
    // Every keyword is whole in its head: all are tried, without a branch on
    // the outcome, which would go either way.
    for (; candidate != end; ++candidate) {
        const uint64_t differ = headDiffers(*candidate, first, second);
        // A keyword that differs reads as all ones, which never wins; the
        // top bit of differ | -differ is set exactly when differ is not zero,
        // with no branch for the compiler to make of it.
        const uint32_t differs = static_cast<uint32_t>((differ | (0 - differ)) >> 63);
        const unsigned found = candidate->entry | (0u - differs);
        best = found < best ? found : best;
    }
    return best;
}

// The search with the automaton's starts (by falling position, the next at
// the end) taken in: each stop also looks whether the next start is there.
int scanWithStarts(const unsigned char* bytes, KeywordHits* found, int startCount) {
    const KeywordHit* const starts = found->starts;
    int next = startCount - 1;
    int count = 0;
    int q = 0;
    for (;;) {
        q = static_cast<int>(nextStop(bytes + q) - bytes);
        if (bytes[q] == 0) {
            break;
        }
        unsigned entry = entryAt(bytes + q);
        while (next >= 0 && starts[next].at < q) {
            --next;
        }
        if (next >= 0 && starts[next].at == q && starts[next].entry < entry) {
            entry = starts[next].entry;
        }
        if (entry == NO_ENTRY) {
            ++q;
            continue;
        }
        found->hits[count].at = static_cast<uint16_t>(q);
        found->hits[count].entry = static_cast<uint16_t>(entry);
        ++count;
        q += matcher.keywordLengths[entry];
    }
    found->count = count;
    return q;
}

} // namespace

void buildKeywordMatcher(const char* const keywords[], const int lengths[], int count) {
    KeywordMatcher& m = matcher;
    for (int i = 0; i < m.usedListCount; ++i) {
        m.longLists[m.usedLists[i]] = 0;
    }
    m.usedListCount = 0;
    m.longKeywordCount = 0;
    std::memset(m.pairEntry, 0xFF, sizeof m.pairEntry);
    std::memset(m.shortStops, 0, sizeof m.shortStops);
    std::memset(m.longStops, 0, sizeof m.longStops);
    markShortStopsAfter(0);
    std::memset(m.singleByteEntry, 0xFF, sizeof m.singleByteEntry);
    m.emptyKeyword = false;
    clearKeywordAutomaton();
    for (int i = 0; i < count; ++i) {
        m.keywordLengths[i] = static_cast<uint16_t>(lengths[i]);
        addKeyword(reinterpret_cast<const unsigned char*>(keywords[i]), lengths[i],
                   static_cast<uint16_t>(i));
    }
    buildLongLists();
    buildKeywordAutomaton();
    m.automatonUsed = keywordAutomatonUsed();
}

void findKeywordHits(const char* text, int length, KeywordHits* found) {
    const unsigned char* const bytes = reinterpret_cast<const unsigned char*>(text);
    if (matcher.automatonUsed) {
        const int end = static_cast<int>(strnlen(text, static_cast<size_t>(length)));
        found->textLength =
            scanWithStarts(bytes, found, findAutomatonStarts(bytes, end, found->starts));
        return;
    }
    int count = 0;
    int q = 0;
    for (;;) {
        q = static_cast<int>(nextStop(bytes + q) - bytes);
        if (bytes[q] == 0) {
            break; // everything stops at the first zero byte
        }
        const unsigned entry = entryAt(bytes + q);
        if (entry == NO_ENTRY) {
            ++q;
            continue;
        }
        found->hits[count].at = static_cast<uint16_t>(q);
        found->hits[count].entry = static_cast<uint16_t>(entry);
        ++count;
        q += matcher.keywordLengths[entry];
    }
    found->count = count;
    found->textLength = q;
}

bool matcherHasEmptyKeyword() {
    return matcher.emptyKeyword;
}

size_t keywordMatcherExtraBytes() {
    return keywordAutomatonBytes();
}
