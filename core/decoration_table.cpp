#include "core/decoration_table.h"

#include <cstdlib>
#include <cstring>

const char NO_COLOUR[COLOUR_LENGTH + 1] = "\x96\xB3\x95\xCF\x8A\xB7";

DecorationTable decorationTable;

void clear() {
    decorationTable.count = 0;
    decorationTable.settingsForm = SETTINGS_CP932;
}

// Gives a slot a fresh copy of the keyword, releasing the one it held.
static void storeKeyword(DecorationEntry& entry, const char* keyword, int length) {
    if (length > MAX_KEYWORD_LENGTH) {
        length = MAX_KEYWORD_LENGTH;
    }
    char* copy = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
    if (copy != nullptr) {
        std::memcpy(copy, keyword, static_cast<size_t>(length));
        copy[length] = '\0';
    } else {
        // Out of memory: an empty keyword never matches and keeps the table whole.
        length = 0;
    }
    std::free(entry.text);
    entry.text = copy;
    entry.textSize = length + 1;
}

static void storeColourBytes(DecorationEntry& entry, const char* bytes, int length) {
    if (length > COLOUR_LENGTH) {
        length = COLOUR_LENGTH;
    }
    std::memset(entry.colour, 0, sizeof entry.colour);
    std::memcpy(entry.colour, bytes, static_cast<size_t>(length));
}

static void storeColourText(DecorationEntry& entry, const char* colourText) {
    if (colourText[0] == '\0') {
        storeColourBytes(entry, NO_COLOUR, COLOUR_LENGTH);
    } else {
        storeColourBytes(entry, colourText, static_cast<int>(strnlen(colourText, COLOUR_LENGTH)));
    }
}

static int cappedLength(const char* keyword) {
    return static_cast<int>(strnlen(keyword, MAX_KEYWORD_LENGTH));
}

bool appendLoaded(const char* keywordBytes, int keywordLength, const char* colourBytes,
                  int colourLength, int32_t size, int32_t style) {
    if (decorationTable.count >= MAX_ENTRIES) {
        return false;
    }
    DecorationEntry& entry = decorationTable.entries[decorationTable.count];
    storeKeyword(entry, keywordBytes, keywordLength);
    storeColourBytes(entry, colourBytes, colourLength);
    entry.size = size;
    entry.hit = 0;
    entry.style = style;
    entry.keptUtf8 = 0;
    decorationTable.count += 1;
    return true;
}

bool addEntry(const char* keyword, const char* colourText, int32_t size, int32_t style) {
    if (decorationTable.count >= MAX_ENTRIES) {
        return false;
    }
    DecorationEntry& entry = decorationTable.entries[decorationTable.count];
    storeKeyword(entry, keyword, cappedLength(keyword));
    storeColourText(entry, colourText);
    entry.size = size;
    entry.style = style;
    entry.keptUtf8 = 0;
    decorationTable.count += 1;
    return true;
}

bool replaceEntry(int32_t index, const char* keyword, const char* colourText, int32_t size,
                  int32_t style) {
    if (index < 0 || index >= decorationTable.count) {
        return false;
    }
    DecorationEntry& entry = decorationTable.entries[index];
    storeKeyword(entry, keyword, cappedLength(keyword));
    storeColourText(entry, colourText);
    entry.size = size;
    entry.style = style;
    entry.keptUtf8 = 0;
    return true;
}

bool removeEntry(int32_t index) {
    if (index < 0 || index >= decorationTable.count) {
        return false;
    }
    for (int32_t j = index; j < decorationTable.count - 1; ++j) {
        DecorationEntry& to = decorationTable.entries[j];
        const DecorationEntry& from = decorationTable.entries[j + 1];
        storeKeyword(to, entryText(from), cappedLength(entryText(from)));
        std::memcpy(to.colour, from.colour, sizeof to.colour);
        to.size = from.size;
        to.style = from.style;
        to.keptUtf8 = from.keptUtf8;
    }
    decorationTable.count -= 1;
    return true;
}

int32_t rowToIndex(int32_t row) {
    return decorationTable.count - 1 - row;
}

bool hasColour(const DecorationEntry& entry) {
    return std::strcmp(entry.colour, NO_COLOUR) != 0;
}

const char* entryText(const DecorationEntry& entry) {
    return entry.text != nullptr ? entry.text : "";
}

void releaseKeywords() {
    for (int32_t i = 0; i < MAX_ENTRIES; ++i) {
        DecorationEntry& entry = decorationTable.entries[i];
        std::free(entry.text);
        entry.text = nullptr;
        entry.textSize = 1;
    }
}
