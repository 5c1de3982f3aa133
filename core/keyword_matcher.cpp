// The matcher's build step: the stop tables, the pair entries, the lists and
// the automaton from the prepared entries' keywords (see keyword_matcher.h).
#include "core/keyword_matcher.h"

#include <cstring>

KeywordMatcher cp932Matcher;
KeywordMatcher utf8Matcher;

namespace {

// The matcher being built; one build at a time.
KeywordMatcher* building;

// The build's scratch for grouping the lists, for one build at a time.
struct ListScratch {
    LongKeyword sorted[LONG_KEYWORD_ROOM];
    uint16_t listOf[MAX_ENTRIES];
    uint16_t sizes[1 << LIST_HASH_BITS];  // keywords in each list, 0 between builds
    uint16_t filled[1 << LIST_HASH_BITS]; // of them placed so far
};
ListScratch scratch;

// The cells of the stop and pair tables a build set, so that the next build
// of the same matcher clears those alone instead of 256 KiB: a table of a
// few dozen keywords sets a few hundred cells, and in a batch of small
// files the clearing would otherwise cost more than converting them. A
// build that sets more than there is room for (single-byte keywords set 256
// pairs each) leaves the next one to clear the whole tables, as does the
// first.
constexpr int MARK_ROOM = 8192;
struct SetCells {
    bool listed; // every set cell is listed below
    int pairCount;
    int stopCount;
    uint16_t pairs[MARK_ROOM]; // shortStops, with pairEntry beside them
    uint16_t stops[MARK_ROOM]; // longStops
};
SetCells setCells[2]; // cp932Matcher's, utf8Matcher's
SetCells* cells;      // the matcher being built's

// Sets a cell of a stop table, listing it in `listed` (counted by *count)
// when it goes from clear to set, so that none is listed twice.
inline void setCell(unsigned char* table, unsigned cell, uint16_t* listed, int* count) {
    if (table[cell] == 0) {
        table[cell] = 1;
        if (*count < MARK_ROOM) {
            listed[*count] = static_cast<uint16_t>(cell);
        }
        ++*count;
    }
}

inline void setShortStop(unsigned pair) {
    setCell(building->shortStops, pair, cells->pairs, &cells->pairCount);
}

inline void setLongStop(uint32_t hash) {
    setCell(building->longStops, hash, cells->stops, &cells->stopCount);
}

// Clears what the last build set: pair entries only ever change where a
// short stop is set.
void clearSetCells(KeywordMatcher& m) {
    if (!cells->listed || cells->pairCount > MARK_ROOM || cells->stopCount > MARK_ROOM) {
        std::memset(m.pairEntry, 0xFF, sizeof m.pairEntry);
        std::memset(m.shortStops, 0, sizeof m.shortStops);
        std::memset(m.longStops, 0, sizeof m.longStops);
    } else {
        for (int i = 0; i < cells->pairCount; ++i) {
            m.shortStops[cells->pairs[i]] = 0;
            m.pairEntry[cells->pairs[i]] = NO_ENTRY;
        }
        for (int i = 0; i < cells->stopCount; ++i) {
            m.longStops[cells->stops[i]] = 0;
        }
    }
    cells->listed = true;
    cells->pairCount = 0;
    cells->stopCount = 0;
}

unsigned pairAt(const unsigned char* at) {
    return static_cast<unsigned>(at[0]) | static_cast<unsigned>(at[1]) << 8;
}

unsigned prefixHash(const unsigned char* at) {
    return hashOfThree(static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
                       static_cast<uint32_t>(at[2]) << 16);
}

// Marks the stops of a keyword of three bytes or more by its first four
// bytes; a keyword of three, whatever byte follows it (the hash takes in
// only the fourth byte's low bits).
void markLongStops(const unsigned char* keyword, int length) {
    const uint32_t three = static_cast<uint32_t>(keyword[0]) |
                           static_cast<uint32_t>(keyword[1]) << 8 |
                           static_cast<uint32_t>(keyword[2]) << 16;
    if (length > 3) {
        setLongStop(hashOfFour(three | static_cast<uint32_t>(keyword[3]) << 24));
        return;
    }
    for (uint32_t fourth = 0; fourth < 1u << FOURTH_BYTE_BITS; ++fourth) {
        setLongStop(hashOfFour(three | fourth << 24));
    }
}

// ---------------------------------------------------------------------------
// Build step.

void markShortStopsAfter(unsigned char first) {
    for (unsigned second = 0; second < 256; ++second) {
        setShortStop(first | second << 8);
    }
}

// A keyword of at most a head's width: its head and mask, interleaved word
// by word.
void addLongKeyword(const unsigned char* keyword, int length, uint16_t entry) {
    LongKeyword& added = building->longKeywords[building->longKeywordCount++];
    unsigned char head[8 * MAX_HEAD_WORDS] = {};
    unsigned char mask[8 * MAX_HEAD_WORDS] = {};
    std::memcpy(head, keyword, static_cast<size_t>(length));
    std::memset(mask, 0xFF, static_cast<size_t>(length));
    for (int w = 0; w < MAX_HEAD_WORDS; ++w) {
        std::memcpy(&added.words[2 * w], head + 8 * w, 8);
        std::memcpy(&added.words[2 * w + 1], mask + 8 * w, 8);
    }
    added.keyword = keyword;
    added.entry = entry;
    added.length = static_cast<uint16_t>(length);
}

// A keyword that never matches: a head of all ones under an empty mask
// differs from every text.
void makePad(LongKeyword& pad) {
    std::memset(pad.words, 0xFF, sizeof pad.words);
    for (int w = 0; w < MAX_HEAD_WORDS; ++w) {
        pad.words[2 * w + 1] = 0;
    }
    pad.keyword = nullptr;
    pad.entry = NO_ENTRY;
    pad.length = 0;
}

// Groups longKeywords by list, keeping table order within each: counts,
// then places each keyword after those of the lists before its own. The
// keywords of a crowded list go to the automaton instead.
void buildLongLists() {
    KeywordMatcher& m = *building;
    LongKeyword* const sorted = scratch.sorted;
    uint16_t* const listOf = scratch.listOf;
    uint16_t* const sizes = scratch.sizes;
    uint16_t* const filled = scratch.filled;
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
            const uint32_t padded = (count + 1) & ~1u;
            m.longLists[list] = next | padded << 16;
            makePad(sorted[next + padded - 1]); // overwritten when count is even
            next += padded;
        }
    }
    for (int i = 0; i < m.longKeywordCount; ++i) {
        const uint16_t list = listOf[i];
        const LongKeyword& keyword = m.longKeywords[i];
        if (sizes[list] > LONG_LIST_LIMIT) {
            addAutomatonKeyword(m.automaton, keyword.keyword, keyword.length, keyword.entry, false);
        } else {
            sorted[(m.longLists[list] & 0xFFFF) + filled[list]++] = keyword;
        }
    }
    for (int i = 0; i < m.usedListCount; ++i) {
        sizes[m.usedLists[i]] = 0;
    }
    m.longKeywordCount = static_cast<int>(next);
    std::memcpy(m.longKeywords, sorted, sizeof(LongKeyword) * next);
}

void addKeyword(const unsigned char* keyword, int length, uint16_t entry, bool loneLead, int head) {
    KeywordMatcher& m = *building;
    if (length == 0) {
        m.emptyKeyword = true; // occurs in every line, matches nowhere
        return;
    }
    if (length == 1) {
        if (m.singleByteEntry[keyword[0]] == NO_ENTRY) {
            m.singleByteEntry[keyword[0]] = entry;
            for (unsigned second = 0; second < 256; ++second) {
                // A lone lead byte never takes the trail byte after it.
                if (loneLead && isCp932Trail(static_cast<unsigned char>(second))) {
                    continue;
                }
                const unsigned pair = keyword[0] | second << 8;
                setShortStop(pair);
                if (m.pairEntry[pair] > entry) {
                    m.pairEntry[pair] = entry;
                }
            }
        }
        return;
    }
    const unsigned pair = pairAt(keyword);
    if (length == 2) {
        setShortStop(pair);
        if (loneLead) {
            addAutomatonKeyword(m.automaton, keyword, length, entry, true);
        } else if (m.pairEntry[pair] > entry) {
            m.pairEntry[pair] = entry;
        }
    } else {
        markLongStops(keyword, length);
        if (length <= head && !loneLead) {
            addLongKeyword(keyword, length, entry);
        } else {
            addAutomatonKeyword(m.automaton, keyword, length, entry, loneLead);
        }
    }
}

} // namespace

void buildKeywordMatcher(TextEncoding encoding, const PreparedEntry* entries, int count) {
    KeywordMatcher& m = keywordMatcherFor(encoding);
    building = &m;
    m.automaton = keywordAutomata[encoding];
    for (int i = 0; i < m.usedListCount; ++i) {
        m.longLists[m.usedLists[i]] = 0;
    }
    m.usedListCount = 0;
    m.longKeywordCount = 0;
    cells = &setCells[&m == &cp932Matcher ? 0 : 1];
    clearSetCells(m);
    markShortStopsAfter(0);
    std::memset(m.singleByteEntry, 0xFF, sizeof m.singleByteEntry);
    m.emptyKeyword = false;
    clearKeywordAutomaton(m.automaton);
    for (int i = 0; i < count; ++i) {
        const PreparedEntry& entry = entries[i];
        m.advance[i] = static_cast<uint16_t>(entry.keywordLength);
        if (entry.usable) {
            addKeyword(reinterpret_cast<const unsigned char*>(entry.keyword), entry.keywordLength,
                       static_cast<uint16_t>(i), entry.loneLead, headLength(encoding));
        }
    }
    buildLongLists();
    buildKeywordAutomaton(m.automaton);
    m.automatonUsed = keywordAutomatonUsed(m.automaton);
    building = nullptr;
}

void findKeywordHits(TextEncoding encoding, const char* text, int length, KeywordHits* found) {
    int count = 0;
    const auto onHit = [&](int at, unsigned entry) {
        found->hits[count].at = static_cast<uint16_t>(at);
        found->hits[count].entry = static_cast<uint16_t>(entry);
        ++count;
    };
    found->textLength =
        encoding == TEXT_CP932
            ? searchKeywords<cp932Matcher, TEXT_CP932>(text, length, found->starts, onHit)
            : searchKeywords<utf8Matcher, TEXT_UTF8>(text, length, found->starts, onHit);
    found->count = count;
}

size_t keywordMatcherExtraBytes(TextEncoding encoding) {
    return keywordAutomatonBytes(keywordMatcherFor(encoding).automaton);
}
