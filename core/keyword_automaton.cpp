// An Aho-Corasick automaton over the keywords reversed, run backwards over a
// text: the state at position p is the longest text[p .. p + d) that ends
// some keyword, so the keywords that start at p are exactly those that are
// a prefix of the state's string: the state's own keyword and, through
// failure links, those of shorter states. Each state keeps the lowest such
// entry, so one backward pass gives the winning entry at every position, in
// time linear in the text: the failure links never re-read a byte, unlike a
// walk from each position, which for 511-byte keywords that nearly match a
// run of one byte reads 511 bytes at every position.
//
// A keyword that ends with a lone lead byte starts at p only when the byte
// after it is not a trail byte. For a keyword shorter than the state's
// string that byte lies inside the string, so the build decides it; only
// the state's own keyword needs the byte after the string, which the search
// looks at. Each state therefore keeps two entries: `lowest`, decided by the
// build, and `loneEntry`, its own keyword when that ends with a lone lead.
//
//   build(keywords):
//     sort the keywords by their reversals
//     depth by depth, number the trie's states in breadth-first order, the
//       children of a state together and by rising byte
//     for each state u, child of v by byte c, in that order:
//       fail[u] = the child by c of the deepest state on v's failure chain
//                 that has one, or the root
//       lowest[u] = lowest of u's own keyword (unless it ends with a lone
//                   lead), lowest[fail[u]], and loneEntry[fail[u]] when the
//                   byte of u's string after fail[u]'s is not a trail byte
//   search(text, length):
//     state = root
//     for p = length - 1 down to 0:
//       while state has no child by text[p] and state is not the root:
//         state = fail[state]
//       state = its child by text[p] (the root if none)
//       e = lowest[state], or loneEntry[state] when lower and the byte
//           after its keyword is not a trail byte
//       if e: start at p for entry e
//
// Contracts: reads text[0 .. length], the terminator included; no keyword
// holds a zero byte and none is empty. The root's children are held densely
// (the root is where the search is most of the time); others as a run of
// states with rising bytes, searched by bisection when long.
#include "core/keyword_automaton.h"

#include <algorithm>
#include <cstring>

#include "core/decoration_table.h"

// The root and at most one state per keyword byte.
template <int STATES> struct AutomatonStates {
    uint32_t children[STATES];
    uint32_t fail[STATES];
    uint16_t lowest[STATES];    // lowest entry that starts where this state begins
    uint16_t loneEntry[STATES]; // the state's own keyword, when it ends with a lone lead
    unsigned char label[STATES];
};

struct KeywordAutomaton {
    int capacity; // states
    int keywordCount;
    const unsigned char* keywords[MAX_ENTRIES];
    uint16_t lengths[MAX_ENTRIES];
    uint16_t entries[MAX_ENTRIES];
    bool loneLeads[MAX_ENTRIES];
    uint16_t entryLengths[MAX_ENTRIES]; // by entry: where a lone lead's next byte is
    // Some keyword ends with a lone lead: only then are loneEntry and the
    // build's per-state scratch filled in, so that other tables take no
    // memory for them.
    bool anyLone;

    int stateCount;
    uint32_t rootChild[256]; // 0: none
    uint32_t* children;
    uint32_t* fail;
    uint16_t* lowest;
    uint16_t* loneEntry;
    unsigned char* label;
};

namespace {

// Code page 932 keywords, and their UTF-8 forms, up to three times as long.
constexpr int CP932_STATES = 1 + MAX_ENTRIES * MAX_KEYWORD_LENGTH;
constexpr int UTF8_STATES = 1 + MAX_ENTRIES * MAX_KEYWORD_FORM_LENGTH;

// A state's children: the first's number above CHILD_COUNT_BITS, the count
// below.
constexpr int CHILD_COUNT_BITS = 9;
constexpr uint32_t CHILD_COUNT_MASK = (1u << CHILD_COUNT_BITS) - 1;

// Large; built once per conversion, then only read. All zero at start, so
// that they cost nothing in the program file.
AutomatonStates<CP932_STATES> cp932States;
AutomatonStates<UTF8_STATES> utf8States;

template <int STATES> constexpr KeywordAutomaton automatonOver(AutomatonStates<STATES>& states) {
    KeywordAutomaton a{};
    a.capacity = STATES;
    a.children = states.children;
    a.fail = states.fail;
    a.lowest = states.lowest;
    a.loneEntry = states.loneEntry;
    a.label = states.label;
    return a;
}

KeywordAutomaton automata[] = {automatonOver(cp932States), automatonOver(utf8States)};

// The build's scratch, for one build at a time: the keywords by their
// reversals, each one's state at the depth being numbered, and for every
// state the byte of its string just after its failure's string (a prefix
// of it), which decides whether the failure's lone-lead keyword starts
// where the state's string does.
struct BuildScratch {
    int order[MAX_ENTRIES];
    uint32_t at[MAX_ENTRIES];
    unsigned char afterFailure[UTF8_STATES];
};
BuildScratch scratch;

// The byte of keyword k at depth d of the reversed trie.
unsigned char reversedByte(const KeywordAutomaton& a, int k, int d) {
    return a.keywords[k][a.lengths[k] - 1 - d];
}

uint32_t childOf(const KeywordAutomaton& a, uint32_t state, unsigned char c) {
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
void buildTrie(KeywordAutomaton& a) {
    int* const order = scratch.order;
    uint32_t* const at = scratch.at;
    int longest = 0;
    for (int k = 0; k < a.keywordCount; ++k) {
        order[k] = k;
        at[k] = 0;
        longest = std::max<int>(longest, a.lengths[k]);
    }
    std::sort(order, order + a.keywordCount, [&a](int x, int y) {
        const int lx = a.lengths[x];
        const int ly = a.lengths[y];
        for (int d = 0; d < lx && d < ly; ++d) {
            const unsigned char bx = reversedByte(a, x, d);
            const unsigned char by = reversedByte(a, y, d);
            if (bx != by) {
                return bx < by;
            }
        }
        return lx < ly;
    });
    a.stateCount = 1;
    a.children[0] = 0;
    a.lowest[0] = NO_ENTRY;
    a.loneEntry[0] = NO_ENTRY;
    const bool lone = a.anyLone;
    for (int d = 0; d < longest; ++d) {
        uint32_t parent = 0xFFFFFFFF;
        uint32_t child = 0;
        for (int i = 0; i < a.keywordCount; ++i) {
            const int k = order[i];
            if (a.lengths[k] <= d) {
                continue;
            }
            const unsigned char c = reversedByte(a, k, d);
            if (at[k] != parent || c != a.label[child]) {
                child = static_cast<uint32_t>(a.stateCount++);
                a.label[child] = c;
                a.children[child] = 0;
                a.lowest[child] = NO_ENTRY;
                if (lone) {
                    a.loneEntry[child] = NO_ENTRY;
                }
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
            uint16_t& own = a.loneLeads[k] ? a.loneEntry[child] : a.lowest[child];
            if (a.lengths[k] == d + 1 && a.entries[k] < own) {
                own = a.entries[k];
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
//
// u, the child of v by byte c, has the string c followed by v's; its
// failure f is the child by c of w, the first state on v's failure chain
// that has one, so f's string is c followed by w's, and the byte of u's
// string after f's is the byte of v's string after w's. With `before` the
// state of the chain whose failure is w (v itself, or a shallower one,
// whose string is a prefix of v's), that byte is afterFailure[before].
void buildFailures(KeywordAutomaton& a) {
    a.fail[0] = 0;
    for (uint32_t v = 0; v < static_cast<uint32_t>(a.stateCount); ++v) {
        const uint32_t first = a.children[v] >> CHILD_COUNT_BITS;
        const uint32_t end = first + (a.children[v] & CHILD_COUNT_MASK);
        for (uint32_t u = first; u < end; ++u) {
            uint32_t f = 0;
            unsigned char after = a.label[u]; // a root child's string ends after one byte
            if (v != 0) {
                uint32_t before = v;
                uint32_t w = a.fail[v];
                uint32_t next = childOf(a, w, a.label[u]);
                while (next == 0 && w != 0) {
                    before = w;
                    w = a.fail[w];
                    next = childOf(a, w, a.label[u]);
                }
                f = next;
                // With no such child the failure is the root, whose string
                // is empty: the byte after it is u's first.
                if (f != 0) {
                    after = scratch.afterFailure[before];
                }
            }
            a.fail[u] = f;
            uint16_t lowest = std::min(a.lowest[u], a.lowest[f]);
            if (a.anyLone) {
                scratch.afterFailure[u] = after;
                // f's own keyword is a prefix of u's string, and the byte
                // after it there is the byte after it in the text.
                if (a.loneEntry[f] < lowest && !isCp932Trail(after)) {
                    lowest = a.loneEntry[f];
                }
            }
            a.lowest[u] = lowest;
        }
    }
}

} // namespace

// A UTF-16 text is searched in its UTF-8 form, with the UTF-8 automaton.
KeywordAutomaton* const keywordAutomata[TEXT_ENCODINGS] = {
    &automata[TEXT_CP932], &automata[TEXT_UTF8], &automata[TEXT_UTF8]};

void clearKeywordAutomaton(KeywordAutomaton* automaton) {
    KeywordAutomaton& a = *automaton;
    for (int s = 1; s < a.stateCount; ++s) {
        if (a.rootChild[a.label[s]] == static_cast<uint32_t>(s)) {
            a.rootChild[a.label[s]] = 0;
        }
    }
    a.stateCount = 1;
    a.keywordCount = 0;
    a.anyLone = false;
    a.lowest[0] = NO_ENTRY;
    a.loneEntry[0] = NO_ENTRY;
}

void addAutomatonKeyword(KeywordAutomaton* automaton, const unsigned char* keyword, int length,
                         uint16_t entry, bool loneLead) {
    KeywordAutomaton& a = *automaton;
    a.keywords[a.keywordCount] = keyword;
    a.lengths[a.keywordCount] = static_cast<uint16_t>(length);
    a.entries[a.keywordCount] = entry;
    a.loneLeads[a.keywordCount] = loneLead;
    a.entryLengths[entry] = static_cast<uint16_t>(length);
    a.anyLone = a.anyLone || loneLead;
    ++a.keywordCount;
}

void buildKeywordAutomaton(KeywordAutomaton* automaton) {
    if (automaton->keywordCount == 0) {
        return;
    }
    buildTrie(*automaton);
    buildFailures(*automaton);
}

bool keywordAutomatonUsed(const KeywordAutomaton* automaton) {
    return automaton->keywordCount > 0;
}

namespace {

template <bool LONE>
int findStarts(const KeywordAutomaton& a, const unsigned char* text, int length,
               KeywordHit* starts) {
    int found = 0;
    uint32_t state = 0;
    for (int p = length - 1; p >= 0; --p) {
        const unsigned char c = text[p];
        if (state == 0) {
            state = a.rootChild[c];
        } else {
            uint32_t next = childOf(a, state, c);
            while (next == 0 && state != 0) {
                state = a.fail[state];
                next = childOf(a, state, c);
            }
            state = next;
        }
        unsigned entry = a.lowest[state];
        if (LONE) {
            const unsigned lone = a.loneEntry[state];
            if (lone < entry && !isCp932Trail(text[p + a.entryLengths[lone]])) {
                entry = lone;
            }
        }
        if (entry != NO_ENTRY) {
            starts[found].at = static_cast<uint16_t>(p);
            starts[found].entry = static_cast<uint16_t>(entry);
            ++found;
        }
    }
    return found;
}

} // namespace

int findAutomatonStarts(const KeywordAutomaton* automaton, const unsigned char* text, int length,
                        KeywordHit* starts) {
    return automaton->anyLone ? findStarts<true>(*automaton, text, length, starts)
                              : findStarts<false>(*automaton, text, length, starts);
}

size_t keywordAutomatonBytes(const KeywordAutomaton* automaton) {
    const size_t perState = sizeof(uint32_t) * 2 + sizeof(uint16_t) + 1 +
                            (automaton->anyLone ? sizeof(uint16_t) + 1 : 0);
    return static_cast<size_t>(automaton->stateCount) * perState;
}
