// The table of decoration entries: every keyword the decorator dresses,
// with its colour, font size and style bits, plus the one global option.
#pragma once

#include <cstdint>

constexpr int32_t STYLE_BOLD = 1 << 0;
constexpr int32_t STYLE_ITALIC = 1 << 1;
constexpr int32_t STYLE_UNDERLINE = 1 << 2;
constexpr int32_t STYLE_STRIKE = 1 << 3;

constexpr int MAX_ENTRIES = 512;
// The main window's list text buffer holds 512 bytes, so longer keywords are
// cut to this many bytes wherever they enter the table.
constexpr int MAX_KEYWORD_LENGTH = 511;
// A keyword's UTF-8 form, searched for in UTF-8 texts, takes up to three
// bytes for each of its bytes: a half-width katakana byte becomes three.
constexpr int MAX_KEYWORD_FORM_LENGTH = 3 * MAX_KEYWORD_LENGTH;
constexpr int COLOUR_LENGTH = 6;

// "無変換" in code page 932: the colour field of an entry that has no colour.
extern const char NO_COLOUR[COLOUR_LENGTH + 1];

// Bits of DecorationEntry::keptUtf8: the keyword's or the colour's bytes
// are those a UTF-8 settings file holds, kept as they are because code page
// 932 cannot hold one of their characters. A kept keyword matches nowhere.
constexpr uint8_t KEPT_KEYWORD = 1;
constexpr uint8_t KEPT_COLOUR = 2;

struct DecorationEntry {
    char* text;       // heap copy of the keyword, zero-terminated; owned by the table
    int32_t textSize; // keyword length plus one
    char colour[8];   // up to six bytes and a terminator, or NO_COLOUR
    int32_t size;     // font size; 0 means none
    int32_t hit;      // decorator scratch: keyword occurs in the current line
    int32_t style;    // STYLE_* bits; other bits have no effect
    uint8_t keptUtf8; // KEPT_* bits; 0 for an entry in code page 932
};

// How the settings file the table was read from is written, so that it is
// written back the same way.
enum SettingsForm : uint8_t {
    SETTINGS_CP932, // also a new file
    SETTINGS_UTF8,
    SETTINGS_UTF8_MARK, // UTF-8 after the byte-order mark EF BB BF
};

struct DecorationTable {
    DecorationEntry entries[MAX_ENTRIES];
    int32_t count;
    uint8_t lineBreakTags; // non-zero: "<BR>" after every line
    SettingsForm settingsForm;
};

extern DecorationTable decorationTable;

// Forgets every entry (count 0) and the settings file's form. Keyword copies
// stay with their slots and are released when a slot is reused.
void clear();

// Appends an entry read from the settings file, in code page 932 (keptUtf8
// 0). The keyword is cut to MAX_KEYWORD_LENGTH bytes and the colour to
// COLOUR_LENGTH bytes. Returns false, changing nothing, when the table is
// full.
bool appendLoaded(const char* keywordBytes, int keywordLength, const char* colourBytes,
                  int colourLength, int32_t size, int32_t style);

// Appends an entry typed in the editor. An empty colour text gives NO_COLOUR,
// otherwise its first six bytes are kept. Returns false when the table is full.
bool addEntry(const char* keyword, const char* colourText, int32_t size, int32_t style);

// Replaces every field but `hit` of a live entry (keptUtf8 becomes 0).
// Returns false, changing nothing, when index is not a live entry.
bool replaceEntry(int32_t index, const char* keyword, const char* colourText, int32_t size,
                  int32_t style);

// Removes a live entry; later entries move up one place. Returns false,
// changing nothing, when index is not a live entry.
bool removeEntry(int32_t index);

// List row (newest first) to table index: count - 1 - row.
int32_t rowToIndex(int32_t row);

// True when the entry's colour field is not NO_COLOUR.
bool hasColour(const DecorationEntry& entry);

// The keyword of an entry, never null (a released copy reads as empty).
const char* entryText(const DecorationEntry& entry);

// Releases every keyword copy of the table (the count is kept).
void releaseKeywords();
