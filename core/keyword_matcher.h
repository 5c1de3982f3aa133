// Finds where the table's keywords are decorated in a piece of text: at each
// position the entry with the lowest index whose keyword starts there wins,
// and the search goes on after that keyword.
#pragma once

#include <cstddef>
#include <cstdint>

// The longest text searched at once (a read takes at most this many bytes).
constexpr int MAX_PIECE_LENGTH = 2047;
// Bytes past a text's terminator that a search may read: the caller's buffer
// must hold them (their values do not matter).
constexpr int MATCHER_READ_PAST = 16;

struct KeywordHit {
    uint16_t at;    // where the keyword starts
    uint16_t entry; // the entry that wins there
};

// What a search found: the hits in the order of the text, and where the text
// ends (its first zero byte).
struct KeywordHits {
    int count;
    int textLength;
    KeywordHit hits[MAX_PIECE_LENGTH];
    KeywordHit starts[MAX_PIECE_LENGTH]; // the search's own scratch
};

// Build step: the keywords of entries 0 .. count - 1 (count at most 512),
// lengths[i] bytes each, none holding a zero byte. Replaces the keywords of
// the last build; they must stay in place until the next one.
void buildKeywordMatcher(const char* const keywords[], const int lengths[], int count);

// Search step: the hits in `text`, zero-terminated, whose first `length`
// bytes are the piece (length at most MAX_PIECE_LENGTH); readable
// MATCHER_READ_PAST bytes past its terminator. Safe on two threads at once.
void findKeywordHits(const char* text, int length, KeywordHits* found);

// Whether an entry's keyword is empty: it occurs in every line but matches
// nowhere.
bool matcherHasEmptyKeyword();

// Bytes the last build's search structures take beyond the fixed tables.
size_t keywordMatcherExtraBytes();
