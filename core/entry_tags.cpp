#include "core/entry_tags.h"

#include <cstdio>
#include <cstring>

EntryTags entryTags;

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
    char* out = entryTags.texts + entryTags.textsLength;
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
    prepared.keyword = entryText(entry);
    prepared.keywordLength = keywordLengthOf(entry);
    at = appendText(out, at, prepared.keyword, prepared.keywordLength);
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
    entryTags.textsLength += at;
}

void prepareEntryTags() {
    entryTags.textsLength = 0;
    entryTags.count = decorationTable.count;
    for (int i = 0; i < decorationTable.count; ++i) {
        prepareEntry(decorationTable.entries[i], entryTags.entries[i]);
    }
}
