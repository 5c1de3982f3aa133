// Keyword matching: which entry wins at each position of a piece of text.
//
//   build(keywords):
//     for each keyword k, lowest entry first:
//       empty       -> noted, matches nowhere
//       1 or 2 bytes -> pairEntry[every pair k can start] lowered to k's entry;
//                       shortStops[those pairs] set
//       longer      -> longStops[hash of its first 3 bytes] set; appended to
//                      the list of that hash's top bits
//     lists of more than LONG_LIST_LIMIT keywords are searched in a trie instead
//   search(text):
//     p = 0
//     loop:
//       p = next position whose pair or 3-byte hash is a stop   (prefilter)
//       if text[p] == 0: return                                 (text ends)
//       e = lowest of pairEntry[pair at p] and the list's (or trie's) keywords
//           that match at p
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
#include "core/keyword_matcher.h"

#include <cstring>

#include "core/decoration_table.h"

namespace {

constexpr unsigned NO_ENTRY = 0xFFFF;

// The trie for keywords that crowd into one list: every node knows the
// lowest entry whose keyword ends there and the lowest anywhere below it, so
// a walk stops as soon as nothing below can beat the best entry found so far.
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

// Where the scan must stop and look, as two tables of bytes (a byte, not a
// bit, keeps the test to one load each), both read at every position without
// a branch: stops must be few and mostly real, because each one costs a
// mispredicted branch.
// - shortStops, by the pair of bytes at the position: a keyword of one or two
//   bytes begins there, or the first byte is zero, which ends the text;
// - longStops, by a hash of the three bytes at the position: a longer keyword
//   may begin there.
constexpr int PREFIX_HASH_BITS = 16;

// Longer keywords in lists by the top bits of the hash of their first three
// bytes (a small table stays in the nearest cache), each list in table order
// and each keyword held as its first 16 bytes and a mask, so that most are
// checked with a few independent loads. A list longer than LONG_LIST_LIMIT
// (keywords sharing a long stretch, say) is left to the trie, whose cost does
// not grow with the list.
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

struct KeywordMatcher {
    // Pairs of bytes are numbered first byte + 256 * second byte.
    unsigned char shortStops[65536];
    unsigned char longStops[1 << PREFIX_HASH_BITS];
    // The lowest entry whose keyword of one or two bytes matches at a pair.
    uint16_t pairEntry[65536];
    uint16_t singleByteEntry[256]; // lowest entry whose keyword is this byte
    bool emptyKeyword;
    uint16_t keywordLengths[MAX_ENTRIES]; // by entry

    LongKeyword longKeywords[MAX_ENTRIES];
    int longKeywordCount;
    uint32_t longLists[1 << LIST_HASH_BITS];
    uint16_t usedLists[MAX_ENTRIES]; // the longLists set, for clearing
    int usedListCount;

    uint32_t pairNodes[65536];       // trie node after the first two bytes
    uint16_t usedPairs[MAX_ENTRIES]; // the pairNodes set, for clearing
    int usedPairCount;
    TrieNode trieNodes[MAX_TRIE_NODES];
    int trieNodeCount;
};

// Too large for the stack; built once per conversion, then only read.
KeywordMatcher matcher;

unsigned pairAt(const unsigned char* at) {
    return static_cast<unsigned>(at[0]) | static_cast<unsigned>(at[1]) << 8;
}

// Hash of the three lowest bytes of `bytes`, the first in the lowest bits.
// The multiplier's low byte is zero, so the fourth byte drops out of the
// product and the scan need not mask it off.
unsigned hashOfThree(uint32_t bytes) {
    return (bytes * 0x9E377900u) >> (32 - PREFIX_HASH_BITS);
}

unsigned prefixHash(const unsigned char* at) {
    return hashOfThree(static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
                       static_cast<uint32_t>(at[2]) << 16);
}

// The four bytes at `at` in one load, the first in the lowest bits.
uint32_t fourBytesAt(const unsigned char* at) {
    uint32_t bytes;
    std::memcpy(&bytes, at, sizeof bytes);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    bytes = __builtin_bswap32(bytes);
#endif
    return bytes;
}

// The eight bytes at `at` in one load, in memory order.
uint64_t eightBytesAt(const unsigned char* at) {
    uint64_t bytes;
    std::memcpy(&bytes, at, sizeof bytes);
    return bytes;
}

uint32_t listCount(uint32_t list) {
    return (list >> 16) & 0xFF;
}

// The list for a hash of three bytes: its top bits.
unsigned listOfHash(unsigned hash) {
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
// then places each keyword after those of the lists before its own.
void buildLongLists() {
    static LongKeyword sorted[MAX_ENTRIES];
    static uint16_t listOf[MAX_ENTRIES];
    static uint16_t sizes[1 << LIST_HASH_BITS];  // keywords in each list
    static uint16_t filled[1 << LIST_HASH_BITS]; // of them placed so far
    static bool longTails[1 << LIST_HASH_BITS];  // one is longer than its head
    KeywordMatcher& m = matcher;
    for (int i = 0; i < m.longKeywordCount; ++i) {
        const uint16_t list =
            static_cast<uint16_t>(listOfHash(prefixHash(m.longKeywords[i].keyword)));
        listOf[i] = list;
        if (sizes[list] == 0) {
            m.usedLists[m.usedListCount++] = list;
            longTails[list] = false;
            filled[list] = 0;
        }
        ++sizes[list];
        if (m.longKeywords[i].length > HEAD_LENGTH) {
            longTails[list] = true;
        }
    }
    uint32_t next = 0;
    for (int i = 0; i < m.usedListCount; ++i) {
        const uint16_t list = m.usedLists[i];
        const uint32_t count = sizes[list];
        const uint32_t shown = count > LONG_LIST_LIMIT ? TRIE_COUNT : count;
        m.longLists[list] = next | shown << 16 | (longTails[list] ? LONG_TAILS : 0);
        next += count;
    }
    for (int i = 0; i < m.longKeywordCount; ++i) {
        const uint16_t list = listOf[i];
        sorted[(m.longLists[list] & 0xFFFF) + filled[list]++] = m.longKeywords[i];
    }
    for (int i = 0; i < m.usedListCount; ++i) {
        sizes[m.usedLists[i]] = 0;
    }
    std::memcpy(m.longKeywords, sorted,
                sizeof(LongKeyword) * static_cast<size_t>(m.longKeywordCount));
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
        addLongKeyword(keyword, length, entry);
    }
}

uint32_t newNode(unsigned char label, uint16_t entry) {
    const uint32_t index = static_cast<uint32_t>(matcher.trieNodeCount++);
    TrieNode& node = matcher.trieNodes[index];
    node.child = 0;
    node.sibling = 0;
    node.terminal = NO_ENTRY;
    node.subtreeMin = entry; // entries go in by rising index
    node.label = label;
    return index;
}

// Puts a keyword of three bytes or more into the trie. Keywords go in by
// rising entry, which each new node's subtreeMin relies on.
void addToTrie(const unsigned char* keyword, int length, uint16_t entry) {
    KeywordMatcher& m = matcher;
    const unsigned pair = pairAt(keyword);
    uint32_t node = m.pairNodes[pair];
    if (node == 0) {
        node = newNode(keyword[1], entry);
        m.pairNodes[pair] = node;
        m.usedPairs[m.usedPairCount++] = static_cast<uint16_t>(pair);
    }
    for (int depth = 2; depth < length; ++depth) {
        uint32_t child = m.trieNodes[node].child;
        while (child != 0 && m.trieNodes[child].label != keyword[depth]) {
            child = m.trieNodes[child].sibling;
        }
        if (child == 0) {
            child = newNode(keyword[depth], entry);
            m.trieNodes[child].sibling = m.trieNodes[node].child;
            m.trieNodes[node].child = child;
        }
        node = child;
    }
    if (m.trieNodes[node].terminal == NO_ENTRY) {
        m.trieNodes[node].terminal = entry;
    }
}

// ---------------------------------------------------------------------------
// Search step.

// shortStops[pairAt(at)] | longStops[prefixHash(at)], from a single load.
unsigned stopAt(const unsigned char* at) {
    const uint32_t bytes = fourBytesAt(at);
    return matcher.shortStops[bytes & 0xFFFF] | matcher.longStops[hashOfThree(bytes)];
}

// The first stop at or after `at`. Reads up to three bytes past the stop.
const unsigned char* nextStop(const unsigned char* at) {
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

// The entry that wins at a position, or NO_ENTRY: `best`, the winner among
// keywords of one or two bytes, or one of the keywords of three bytes or
// more in the trie. A walk ends at the terminator at the latest.
unsigned trieEntryAt(const unsigned char* at, unsigned best) {
    const TrieNode* const nodes = matcher.trieNodes;
    const unsigned char* next = at + 2;
    uint32_t node = matcher.pairNodes[pairAt(at)];
    while (node != 0 && nodes[node].subtreeMin < best) {
        if (nodes[node].terminal < best) {
            best = nodes[node].terminal;
        }
        const unsigned char c = *next++;
        uint32_t child = nodes[node].child;
        while (child != 0 && nodes[child].label != c) {
            child = nodes[child].sibling;
        }
        node = child;
    }
    return best;
}

// Zero exactly when the keyword's head matches `first` and `second`, the
// HEAD_LENGTH bytes at a position.
uint64_t headDiffers(const LongKeyword& keyword, uint64_t first, uint64_t second) {
    return ((first & keyword.mask[0]) ^ keyword.head[0]) |
           ((second & keyword.mask[1]) ^ keyword.head[1]);
}

// The entry that wins at a stop position, or NO_ENTRY. `remaining` bytes of
// the text start at `at`, which may be read HEAD_LENGTH - 1 bytes past the
// text's end: a keyword's head never matches across the terminator.
unsigned entryAt(const unsigned char* at, size_t remaining) {
    const KeywordMatcher& m = matcher;
    const uint32_t bytes = fourBytesAt(at);
    const unsigned pair = bytes & 0xFFFF;
    const unsigned hash = hashOfThree(bytes);
    unsigned best = m.shortStops[pair] ? m.pairEntry[pair] : NO_ENTRY;
    if (!m.longStops[hash]) {
        return best;
    }
    const uint32_t list = m.longLists[listOfHash(hash)];
    const uint32_t count = listCount(list);
    if (count == TRIE_COUNT) {
        return trieEntryAt(at, best);
    }
    const LongKeyword* candidate = m.longKeywords + (list & 0xFFFF);
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

} // namespace

void buildKeywordMatcher(const char* const keywords[], const int lengths[], int count) {
    KeywordMatcher& m = matcher;
    for (int i = 0; i < m.usedPairCount; ++i) {
        m.pairNodes[m.usedPairs[i]] = 0;
    }
    m.usedPairCount = 0;
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
    m.trieNodeCount = 1;
    for (int i = 0; i < count; ++i) {
        m.keywordLengths[i] = static_cast<uint16_t>(lengths[i]);
        addKeyword(reinterpret_cast<const unsigned char*>(keywords[i]), lengths[i],
                   static_cast<uint16_t>(i));
    }
    buildLongLists();
    // Only the keywords of lists left to the trie go into it, so that a table
    // of long keywords that do not crowd together builds no trie at all.
    for (int i = 0; i < count; ++i) {
        const unsigned char* keyword = reinterpret_cast<const unsigned char*>(keywords[i]);
        if (lengths[i] >= 3 &&
            listCount(m.longLists[listOfHash(prefixHash(keyword))]) == TRIE_COUNT) {
            addToTrie(keyword, lengths[i], static_cast<uint16_t>(i));
        }
    }
}

void findKeywordHits(const char* text, int length, KeywordHits* found) {
    const unsigned char* const bytes = reinterpret_cast<const unsigned char*>(text);
    int count = 0;
    int q = 0;
    for (;;) {
        q = static_cast<int>(nextStop(bytes + q) - bytes);
        if (bytes[q] == 0) {
            break; // everything stops at the first zero byte
        }
        const unsigned entry = entryAt(bytes + q, static_cast<size_t>(length - q));
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
    return static_cast<size_t>(matcher.trieNodeCount) * sizeof(TrieNode);
}
