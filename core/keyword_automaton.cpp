// An Aho-Corasick automaton over the keywords reversed, run backwards over a
// text: the state at position p is the longest text[p .. p + d) that ends
// some keyword, so the keywords that start at p are exactly those whose
// reversal ends the state's string or, through failure links, a suffix of
// it. Each state keeps the lowest such entry, so one backward pass gives the
// winning entry at every position, in time linear in the text: the failure
// links never re-read a byte, unlike a walk from each position, which for
// 511-byte keywords that nearly match a run of one byte reads 511 bytes at
// every position.
//
//   build(keywords):
//     sort the keywords by their reversals
//     depth by depth, number the trie's states in breadth-first order, the
//       children of a state together and by rising byte
//     for each state u, child of v by byte c, in that order:
//       fail[u] = the child by c of the deepest state on v's failure chain
//                 that has one, or the root
//       lowest[u] = lowest of the entries ending at u and lowest[fail[u]]
//   search(text, length):
//     state = root
//     for p = length - 1 down to 0:
//       while state has no child by text[p] and state is not the root:
//         state = fail[state]
//       state = its child by text[p] (the root if none)
//       if lowest[state]: start at p for entry lowest[state]
//
// Contracts: reads text[0 .. length) only; no keyword holds a zero byte and
// none is empty. The root's children are held densely (the root is where the
// search is most of the time); others as a run of states with rising bytes,
// searched by bisection when long.
#include "core/keyword_automaton.h"

#include <algorithm>
#include <cstring>

#include "core/decoration_table.h"

namespace {

// The root and at most one state per keyword byte.
constexpr int MAX_STATES = 1 + MAX_ENTRIES * MAX_KEYWORD_LENGTH;
// A state's children: the first's number above CHILD_COUNT_BITS, the count
// below.
constexpr int CHILD_COUNT_BITS = 9;
constexpr uint32_t CHILD_COUNT_MASK = (1u << CHILD_COUNT_BITS) - 1;

struct KeywordAutomaton {
    int keywordCount;
    const unsigned char* keywords[MAX_ENTRIES];
    uint16_t lengths[MAX_ENTRIES];
    uint16_t entries[MAX_ENTRIES];

    int stateCount;
    uint32_t rootChild[256]; // 0: none
    uint32_t children[MAX_STATES];
    uint32_t fail[MAX_STATES];
    uint16_t lowest[MAX_STATES]; // lowest entry that starts where this state begins
    unsigned char label[MAX_STATES];

    // The build's scratch: the keywords by their reversals, and each one's
    // state at the depth being numbered.
    int order[MAX_ENTRIES];
    uint32_t at[MAX_ENTRIES];
};

// Large; built once per conversion, then only read.
KeywordAutomaton automaton;

// The byte of keyword k at depth d of the reversed trie.
unsigned char reversedByte(int k, int d) {
    return automaton.keywords[k][automaton.lengths[k] - 1 - d];
}

// Keyword a before keyword b when reversed.
bool reversedBefore(int a, int b) {
    const int la = automaton.lengths[a];
    const int lb = automaton.lengths[b];
    for (int d = 0; d < la && d < lb; ++d) {
        const unsigned char x = reversedByte(a, d);
        const unsigned char y = reversedByte(b, d);
        if (x != y) {
            return x < y;
        }
    }
    return la < lb;
}

uint32_t childOf(uint32_t state, unsigned char c) {
    const KeywordAutomaton& a = automaton;
    if (state == 0) {
        return a.rootChild[c];
    }
    uint32_t first = a.children[state] >> CHILD_COUNT_BITS;
    uint32_t count = a.children[state] & CHILD_COUNT_MASK;
    while (count > 8) {
        const uint32_t half = count / 2;
        if (a.label[first + half] <= c) {
            first += half;
            count -= half;
        } else {
            count = half;
        }
    }
    for (const uint32_t end = first + count; first < end; ++first) {
        if (a.label[first] == c) {
            return first;
        }
    }
    return 0;
}

// Numbers the trie's states breadth first: the children of the states of
// one depth come in the order of their parents, so the keywords, sorted by
// their reversals, meet each parent's children together and by rising byte.
void buildTrie() {
    KeywordAutomaton& a = automaton;
    int* const order = a.order;
    uint32_t* const at = a.at;
    int longest = 0;
    for (int k = 0; k < a.keywordCount; ++k) {
        order[k] = k;
        at[k] = 0;
        longest = std::max<int>(longest, a.lengths[k]);
    }
    std::sort(order, order + a.keywordCount, reversedBefore);
    a.stateCount = 1;
    a.children[0] = 0;
    a.lowest[0] = NO_ENTRY;
    for (int d = 0; d < longest; ++d) {
        uint32_t parent = 0xFFFFFFFF;
        uint32_t child = 0;
        for (int i = 0; i < a.keywordCount; ++i) {
            const int k = order[i];
            if (a.lengths[k] <= d) {
                continue;
            }
            const unsigned char c = reversedByte(k, d);
            if (at[k] != parent || c != a.label[child]) {
                child = static_cast<uint32_t>(a.stateCount++);
                a.label[child] = c;
                a.children[child] = 0;
                a.lowest[child] = NO_ENTRY;
                if (at[k] == 0) {
                    a.rootChild[c] = child;
                } else if (at[k] != parent) {
                    a.children[at[k]] = child << CHILD_COUNT_BITS;
                }
                if (at[k] != 0) {
                    ++a.children[at[k]];
                }
                parent = at[k];
            }
            at[k] = child;
            if (a.lengths[k] == d + 1 && a.entries[k] < a.lowest[child]) {
                a.lowest[child] = a.entries[k];
            }
        }
        if (d == 0) {
            // The root's children, held densely for the search, are also
            // listed like any state's for the build.
            a.children[0] = 1u << CHILD_COUNT_BITS | static_cast<uint32_t>(a.stateCount - 1);
        }
    }
}

// Failure links and each state's lowest entry, in breadth-first order: a
// state's failure is shallower, so it is done before the state itself.
void buildFailures() {
    KeywordAutomaton& a = automaton;
    a.fail[0] = 0;
    for (uint32_t v = 0; v < static_cast<uint32_t>(a.stateCount); ++v) {
        const uint32_t first = a.children[v] >> CHILD_COUNT_BITS;
        const uint32_t end = first + (a.children[v] & CHILD_COUNT_MASK);
        for (uint32_t u = first; u < end; ++u) {
            uint32_t f = 0;
            if (v != 0) {
                f = a.fail[v];
                uint32_t next = childOf(f, a.label[u]);
                while (next == 0 && f != 0) {
                    f = a.fail[f];
                    next = childOf(f, a.label[u]);
                }
                f = next;
            }
            a.fail[u] = f;
            if (a.lowest[f] < a.lowest[u]) {
                a.lowest[u] = a.lowest[f];
            }
        }
    }
}

} // namespace

void clearKeywordAutomaton() {
    KeywordAutomaton& a = automaton;
    for (int s = 1; s < a.stateCount; ++s) {
        if (a.rootChild[a.label[s]] == static_cast<uint32_t>(s)) {
            a.rootChild[a.label[s]] = 0;
        }
    }
    a.stateCount = 1;
    a.keywordCount = 0;
    a.lowest[0] = NO_ENTRY;
}

void addAutomatonKeyword(const unsigned char* keyword, int length, uint16_t entry) {
    KeywordAutomaton& a = automaton;
    a.keywords[a.keywordCount] = keyword;
    a.lengths[a.keywordCount] = static_cast<uint16_t>(length);
    a.entries[a.keywordCount] = entry;
    ++a.keywordCount;
}

void buildKeywordAutomaton() {
    if (automaton.keywordCount == 0) {
        return;
    }
    buildTrie();
    buildFailures();
}

bool keywordAutomatonUsed() {
    return automaton.keywordCount > 0;
}

int findAutomatonStarts(const unsigned char* text, int length, KeywordHit* starts) {
    const KeywordAutomaton& a = automaton;
    int found = 0;
    uint32_t state = 0;
    for (int p = length - 1; p >= 0; --p) {
        const unsigned char c = text[p];
        if (state == 0) {
            state = a.rootChild[c];
        } else {
            uint32_t next = childOf(state, c);
            while (next == 0 && state != 0) {
                state = a.fail[state];
                next = childOf(state, c);
            }
            state = next;
        }
        if (a.lowest[state] != NO_ENTRY) {
            starts[found].at = static_cast<uint16_t>(p);
            starts[found].entry = a.lowest[state];
            ++found;
        }
    }
    return found;
}

size_t keywordAutomatonBytes() {
    return static_cast<size_t>(automaton.stateCount) *
           (sizeof(uint32_t) * 2 + sizeof(uint16_t) + 1);
}
