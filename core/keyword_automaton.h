// The keywords that the matcher's lists cannot take in bounded time (long
// ones, those crowding into one list, and those that end with a lone lead
// byte): for every position of a text, the lowest entry among them whose
// keyword starts there, in one pass over the text whatever the keywords.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/characters.h"

// No entry: above every entry's index.
constexpr unsigned NO_ENTRY = 0xFFFF;

struct KeywordHit {
    uint16_t at;    // where the keyword starts
    uint16_t entry; // the entry that wins there
};

// One automaton per encoding a text is read in: both may be in use at once,
// one built while the other is searched.
struct KeywordAutomaton;
extern KeywordAutomaton* const keywordAutomata[TEXT_ENCODINGS];

// Build step, in three calls: clear, add each keyword (at least one byte, no
// zero byte, at most MAX_KEYWORD_FORM_LENGTH bytes; where two are the same,
// the lower entry is kept), build. The keywords must stay in place until the
// next build. A keyword marked `loneLead` ends with a code page 932 lead byte
// that starts a character: it starts at a position only when the byte after
// it is not a trail byte (or is the text's terminator).
void clearKeywordAutomaton(KeywordAutomaton* automaton);
void addAutomatonKeyword(KeywordAutomaton* automaton, const unsigned char* keyword, int length,
                         uint16_t entry, bool loneLead);
void buildKeywordAutomaton(KeywordAutomaton* automaton);

// Whether any keyword went in.
bool keywordAutomatonUsed(const KeywordAutomaton* automaton);

// Search step: for each position p of text[0 .. length) where a keyword of
// the automaton lies whole within the text, {p, lowest such entry}, written
// to `starts` by falling p. Returns how many; at most `length`. Reads
// text[0 .. length], the byte at `length` (the terminator) included.
int findAutomatonStarts(const KeywordAutomaton* automaton, const unsigned char* text, int length,
                        KeywordHit* starts);

// Bytes the automaton's states take.
size_t keywordAutomatonBytes(const KeywordAutomaton* automaton);
