// The keywords that the matcher's lists cannot take in bounded time (long
// ones, and those crowding into one list): for every position of a text,
// the lowest entry among them whose keyword starts there, in one pass over
// the text whatever the keywords.
#pragma once

#include <cstddef>
#include <cstdint>

// No entry: above every entry's index.
constexpr unsigned NO_ENTRY = 0xFFFF;

struct KeywordHit {
    uint16_t at;    // where the keyword starts
    uint16_t entry; // the entry that wins there
};

// Build step, in three calls: clear, add each keyword (at least one byte, no
// zero byte; where two are the same, the lower entry is kept), build. The keywords must stay in
// place until the next build.
void clearKeywordAutomaton();
void addAutomatonKeyword(const unsigned char* keyword, int length, uint16_t entry);
void buildKeywordAutomaton();

// Whether any keyword went in.
bool keywordAutomatonUsed();

// Search step: for each position p of text[0 .. length) where a keyword of
// the automaton lies whole within the text, {p, lowest such entry}, written
// to `starts` by falling p. Returns how many; at most `length`.
int findAutomatonStarts(const unsigned char* text, int length, KeywordHit* starts);

// Bytes the automaton's states take.
size_t keywordAutomatonBytes();
