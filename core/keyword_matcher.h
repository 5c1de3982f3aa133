// Keyword matching: which entry wins at each position of a piece of text.
// The build step (keyword_matcher.cpp) fills one plain structure from the
// prepared entries of one encoding; the search step, here so that a
// caller's loop takes it in whole, only reads it.
//
//   build(keywords):
//     for each keyword k, lowest entry first (none without a form):
//       empty        -> noted, matches nowhere
//       ends with a lone lead byte (code page 932):
//         1 byte     -> pairEntry[k, b] lowered to k's entry for every b
//                       that is not a trail byte; shortStops set likewise
//         longer     -> stops set as below; into the automaton, which
//                       looks at the byte after it
//       1 or 2 bytes -> pairEntry[every pair k can start] lowered to k's entry;
//                       shortStops[those pairs] set
//       3 to head    -> longStops[hash of its first 4 bytes] set (of a 3-byte
//                       keyword, for every byte that may follow it); appended
//                       to the list of the top bits of its first 3 bytes' hash
//                       (head: 16 bytes in code page 932, 32 in UTF-8)
//       longer       -> longStops set likewise; into the automaton
//     lists of more than LONG_LIST_LIMIT keywords go into the automaton
//   search(text):
//     if the automaton holds keywords:
//       starts = for each position, the lowest of its entries starting there
//     p = 0
//     loop:
//       p = next position whose pair or 4-byte hash is a stop   (prefilter)
//       if text[p] == 0: return                                 (text ends)
//       e = lowest of pairEntry[pair at p], the list's keywords that match
//           at p, and starts[p]
//       if e and (UTF-8, or a code page 932 character begins at p):
//         hit (p, e); p += length of e's keyword
//       else: p += 1
//
// Contracts:
// - The text is zero-terminated and no keyword holds a zero byte, so no
//   match runs past the terminator, and the zero byte is itself a stop: the
//   scan needs no other bound.
// - Reads run at most MATCHER_READ_PAST bytes past the terminator: a stop
//   test loads four bytes, a list test a head's width; and one byte before the
//   text, whatever its value, for the character test of a hit at its start.
// - The stop tables never report a false negative: every position where a
//   keyword starts is a stop. A stop with no match costs a wasted look only.
// - At one position the lowest entry wins, whatever the keywords' lengths,
//   among those that match whole characters: a keyword begins where a
//   character does, and ends where one does or the text ends. A keyword in
//   its UTF-8 form always does once its bytes match, and so does one in code
//   page 932 that begins where a character does, unless it ends with a lone
//   lead byte and a trail byte follows: those are left out where they match.
// - Whether a position begins a code page 932 character is found by walking
//   back over lead bytes, never past the end of the last hit or the last
//   position so decided, so the walk reads each byte a bounded number of
//   times.
// - Time is linear in the text whatever the table: a stop costs at most a
//   pair lookup, LONG_LIST_LIMIT comparisons of a head and a look at
//   the automaton's starts, and the automaton reads each byte a bounded
//   number of times (amortised).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/characters.h"
#include "core/decoration_table.h"
#include "core/entry_tags.h"
#include "core/keyword_automaton.h"
#include "core/text_regions.h"

// Bytes past a text's terminator that a search may read: the caller's buffer
// must hold them (their values do not matter).
constexpr int MATCHER_READ_PAST = 32;

// Where the scan must stop and look, as two tables of bytes (a byte, not a
// bit, keeps the test to one load each), both read at every position without
// a branch: stops must be few and mostly real, because each one costs a
// mispredicted branch.
// - shortStops, by the pair of bytes at the position: a keyword of one or two
//   bytes begins there, or the first byte is zero, which ends the text;
// - longStops, by a hash of the four bytes at the position: a longer keyword
//   may begin there. Four bytes rather than three tell apart the many words
//   that share a keyword's first three bytes without costing the scan
//   anything: the four are loaded anyway.
constexpr int PREFIX_HASH_BITS = 16;

// Keywords of three bytes up to a head's width in lists by the top bits of
// the hash of their first three bytes (a small table stays in the nearest
// cache), each list in table order and each keyword held as its head and a
// mask, so that all are checked with a few independent loads. Longer
// keywords, and the keywords of a list longer than LONG_LIST_LIMIT (keywords
// sharing a stretch, say), are left to the automaton, whose cost does not
// grow with the keywords' lengths or numbers.
//
// A head is 16 bytes in code page 932 and 32 in UTF-8, where the same words
// take half as many bytes again (three for a kana or kanji rather than two):
// with one width, a keyword list that the code page 932 search takes in its
// lists would send the UTF-8 search through the automaton at every piece.
constexpr int LIST_HASH_BITS = 12;
constexpr int LONG_LIST_LIMIT = 8;
constexpr int MAX_HEAD_WORDS = 4;

template <TextEncoding ENCODING> constexpr int headWords() {
    return ENCODING == TEXT_UTF8 ? 4 : 2;
}

static_assert(headWords<TEXT_UTF8>() <= MAX_HEAD_WORDS && headWords<TEXT_CP932>() <= MAX_HEAD_WORDS,
              "a keyword holds the widest head");
static_assert(8 * MAX_HEAD_WORDS <= MATCHER_READ_PAST, "a head's reads stay in the text's margin");

inline int headLength(TextEncoding encoding) {
    return 8 * (encoding != TEXT_CP932 ? headWords<TEXT_UTF8>() : headWords<TEXT_CP932>());
}

struct LongKeyword {
    // Word i of the head (zero past the keyword) at 2i, its mask (all ones
    // over the keyword's bytes) at 2i + 1: a code page 932 search reads only
    // the first half.
    uint64_t words[2 * MAX_HEAD_WORDS];
    const unsigned char* keyword;
    uint16_t entry;
    uint16_t length;
};

// Each of up to 512 keywords in a list of its own, padded.
constexpr int LONG_KEYWORD_ROOM = 2 * MAX_ENTRIES;

struct KeywordMatcher {
    // Pairs of bytes are numbered first byte + 256 * second byte.
    unsigned char shortStops[65536];
    unsigned char longStops[1 << PREFIX_HASH_BITS];
    // The lowest entry whose keyword of one or two bytes matches at a pair.
    uint16_t pairEntry[65536];
    uint16_t singleByteEntry[256]; // lowest entry whose keyword is this byte
    bool emptyKeyword;             // occurs in every line, matches nowhere
    bool automatonUsed;            // some keyword went to the automaton
    KeywordAutomaton* automaton;   // this encoding's
    // By entry: how far the search moves past its keyword. Read at every
    // hit, on the path to the next stop, so a small table of its own rather
    // than the prepared entries it is built from.
    uint16_t advance[MAX_ENTRIES];

    // The lists, one after another, each padded to a whole number of pairs
    // with a keyword that never matches (see entryAt): at most one pad a list.
    LongKeyword longKeywords[LONG_KEYWORD_ROOM];
    int longKeywordCount;
    // A list: first LongKeyword in the low 16 bits, count in the next 8
    // bits; 0 for none.
    uint32_t longLists[1 << LIST_HASH_BITS];
    // The longLists this build set, for the next build to clear.
    uint16_t usedLists[MAX_ENTRIES];
    int usedListCount;
};

// One per encoding a text is read in, each built once per conversion when a
// text of that encoding first needs it, then only read (by both lanes at
// once). Two objects of their own, so that the search step, made for each,
// reaches its tables at fixed addresses. A UTF-16 text is searched in its
// UTF-8 form with utf8Matcher: a text is UTF-16 from its first byte or not
// at all, so no conversion needs both.
extern KeywordMatcher cp932Matcher;
extern KeywordMatcher utf8Matcher;

inline KeywordMatcher& keywordMatcherFor(TextEncoding encoding) {
    return encoding != TEXT_CP932 ? utf8Matcher : cp932Matcher;
}

// Build step: the forms of `count` prepared entries of `encoding` (count at
// most 512), none holding a zero byte; an entry that is not usable matches
// nowhere. Replaces the keywords of the last build of that encoding; they
// must stay in place until the next one.
void buildKeywordMatcher(TextEncoding encoding, const PreparedEntry* entries, int count);

// Bytes the last build's automaton of `encoding` takes.
size_t keywordMatcherExtraBytes(TextEncoding encoding);

// ---------------------------------------------------------------------------
// Search step.

// The scan's steps, inlined into the caller's loop: a call per stop costs as
// much as the stop's work.
#if defined(__GNUC__)
#define SCAN_STEP inline __attribute__((always_inline))
#else
#define SCAN_STEP inline
#endif

// Hash of the three lowest bytes of `bytes`, the first in the lowest bits.
// The multiplier's low byte is zero, so the fourth byte drops out of the
// product and the scan need not mask it off.
SCAN_STEP unsigned hashOfThree(uint32_t bytes) {
    return (bytes * 0x9E377900u) >> (32 - PREFIX_HASH_BITS);
}

// The low bits of the fourth byte that the stops' hash takes in.
constexpr int FOURTH_BYTE_BITS = 3;

// Hash of three bytes and the low FOURTH_BYTE_BITS bits of the fourth, for
// the stops. The multiplier's low byte keeps just those bits of the fourth
// byte in the product, so a keyword of three bytes takes only a few stops
// (one for each value of those bits) and the hash costs no more than
// hashOfThree.
SCAN_STEP unsigned hashOfFour(uint32_t bytes) {
    return (bytes * (0x9E377900u | 1u << (8 - FOURTH_BYTE_BITS))) >> (32 - PREFIX_HASH_BITS);
}

// The list for a hash of three bytes: its top bits.
SCAN_STEP unsigned listOfHash(unsigned hash) {
    return hash >> (PREFIX_HASH_BITS - LIST_HASH_BITS);
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

// shortStops[pair at `at`] | longStops[hash at `at`], from a single load.
template <const KeywordMatcher& M> SCAN_STEP unsigned stopAt(const unsigned char* at) {
    const uint32_t bytes = fourBytesAt(at);
    return M.shortStops[bytes & 0xFFFF] | M.longStops[hashOfFour(bytes)];
}

// The first stop at or after `at`. Reads up to three bytes past the stop.
template <const KeywordMatcher& M>
SCAN_STEP const unsigned char* nextStop(const unsigned char* at) {
    for (;; at += 4) {
        if (stopAt<M>(at)) {
            return at;
        }
        if (stopAt<M>(at + 1)) {
            return at + 1;
        }
        if (stopAt<M>(at + 2)) {
            return at + 2;
        }
        if (stopAt<M>(at + 3)) {
            return at + 3;
        }
    }
}

// The entry that wins at a stop position among the pairs and the lists, or
// NO_ENTRY. `at` may be read a head's width less one past the text's end: a
// keyword's head never matches across the terminator.
template <const KeywordMatcher& M, TextEncoding ENCODING>
SCAN_STEP unsigned entryAt(const unsigned char* at) {
    constexpr int WORDS = headWords<ENCODING>();
    const KeywordMatcher& m = M;
    const uint32_t bytes = fourBytesAt(at);
    const unsigned pair = bytes & 0xFFFF;
    // NO_ENTRY wherever no keyword of one or two bytes begins: read without
    // asking the stop table first, a branch that would go either way.
    unsigned best = m.pairEntry[pair];
    if (!m.longStops[hashOfFour(bytes)]) {
        return best;
    }
    const uint32_t list = m.longLists[listOfHash(hashOfThree(bytes))];
    const LongKeyword* candidate = m.longKeywords + (list & 0xFFFF);
    const LongKeyword* const end = candidate + ((list >> 16) & 0xFF);
    uint64_t text[WORDS];
    for (int w = 0; w < WORDS; ++w) {
        text[w] = eightBytesAt(at + 8 * w);
    }
    // Every keyword is whole in its head: all are tried, without a branch on
    // the outcome, which would go either way; two at a time, as most lists
    // hold one or two keywords, so that the loop's own branch nearly always
    // goes the same way.
    const auto lower = [&](const LongKeyword* keyword) {
        // Zero exactly when the keyword's head matches.
        uint64_t differ = 0;
        for (int w = 0; w < WORDS; ++w) {
            differ |= (text[w] & keyword->words[2 * w + 1]) ^ keyword->words[2 * w];
        }
        // A keyword that differs reads as all ones, which never wins; the
        // top bit of differ | -differ is set exactly when differ is not zero,
        // with no branch for the compiler to make of it.
        const uint32_t differs = static_cast<uint32_t>((differ | (0 - differ)) >> 63);
        const unsigned found = keyword->entry | (0u - differs);
        best = found < best ? found : best;
    };
    for (; candidate != end; candidate += 2) {
        lower(candidate);
        lower(candidate + 1);
    }
    return best;
}

// Whether a code page 932 character begins at `at`, given that one begins
// at *known (at most `at`). A byte that is not a lead byte ends a character,
// so most positions are decided by the byte before them (at the text's
// start, the byte before it, which may be anything: the walk below stops at
// *known); otherwise the lead bytes before `at` pair up from the first of
// them (see beginsCp932Character), and *known moves up to `at`, or to the
// character just before it, so that no later look walks back over them
// again.
SCAN_STEP bool charBeginsAt(const unsigned char* bytes, int* known, int at) {
    if (!isCp932Lead(bytes[at - 1])) {
        return true;
    }
    const bool begins =
        beginsCp932Character(bytes, static_cast<size_t>(*known), static_cast<size_t>(at));
    *known = begins ? at : at - 1;
    return begins;
}

// Calls onHit(at, entry) for each hit in `text`, zero-terminated, whose
// first `length` bytes are the piece (length at most PIECE_LENGTH), which
// begins a character, readable MATCHER_READ_PAST bytes past its terminator
// and one byte before its start;
// `starts` is scratch of PIECE_LENGTH hits, one for each thread
// searching. Returns where the text ends (its first zero byte). Safe on two
// threads at once. M is the matcher of ENCODING: cp932Matcher, whose hits
// must begin a code page 932 character, or utf8Matcher.
template <const KeywordMatcher& M, TextEncoding ENCODING, typename OnHit>
SCAN_STEP int searchKeywords(const char* text, int length, KeywordHit* starts, OnHit onHit) {
    const KeywordMatcher& m = M;
    constexpr bool CP932 = ENCODING == TEXT_CP932;
    const unsigned char* const bytes = reinterpret_cast<const unsigned char*>(text);
    // The automaton's starts by falling position, the next at `next`.
    int next = -1;
    if (m.automatonUsed) {
        const int end = static_cast<int>(strnlen(text, static_cast<size_t>(length)));
        next = findAutomatonStarts(m.automaton, bytes, end, starts) - 1;
    }
    int q = 0;
    int known = 0; // a code page 932 character begins here
    for (;;) {
        q = static_cast<int>(nextStop<M>(bytes + q) - bytes);
        if (bytes[q] == 0) {
            return q; // everything stops at the first zero byte
        }
        unsigned entry = entryAt<M, ENCODING>(bytes + q);
        if (next >= 0) {
            while (next >= 0 && starts[next].at < q) {
                --next;
            }
            if (next >= 0 && starts[next].at == q && starts[next].entry < entry) {
                entry = starts[next].entry;
            }
        }
        if (entry == NO_ENTRY || (CP932 && !charBeginsAt(bytes, &known, q))) {
            ++q;
            continue;
        }
        onHit(q, entry);
        q += m.advance[entry];
        known = q;
    }
}

// What a search found: the hits in the order of the text, and where the text
// ends.
struct KeywordHits {
    int count;
    int textLength;
    KeywordHit hits[PIECE_LENGTH];
    KeywordHit starts[PIECE_LENGTH]; // the search's scratch
};

// searchKeywords into `found`.
void findKeywordHits(TextEncoding encoding, const char* text, int length, KeywordHits* found);
