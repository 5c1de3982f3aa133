// Each entry of the decoration table as it is written out: opening tags,
// keyword and closing tags in one piece of text, built once per conversion
// (the table does not change while a file is converted).
#pragma once

#include "core/decoration_table.h"
#include "core/text_file.h"

// "<B><I><U><STRIKE><font color=#RRGGBB size=-2147483648>" and
// "</font></STRIKE></U></I></B>" around a keyword of at most 511 bytes.
constexpr int DECORATED_CAPACITY = 64 + MAX_KEYWORD_LENGTH + 32;

struct PreparedEntry {
    bool newlineInside; // the text holds an LF, which goes out as CR LF
    int keywordLength;
    int decoratedLength;
    const char* decorated;
    const char* keyword; // the keyword's keywordLength bytes, from the table
};

struct EntryTags {
    int count;
    PreparedEntry entries[MAX_ENTRIES];
    // The decorated texts one after another, so that those of a large table
    // stay close together in the cache; padded so that the last can be
    // copied in whole blocks (see SHORT_COPY_LIMIT).
    char texts[MAX_ENTRIES * DECORATED_CAPACITY + SHORT_COPY_LIMIT];
    int textsLength;
};

extern EntryTags entryTags;

// Builds entryTags from decorationTable.
void prepareEntryTags();
