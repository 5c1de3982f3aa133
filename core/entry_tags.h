// Each entry of the decoration table as it is written out, for one encoding
// a text is read in: the keyword in the form searched for (its code page 932
// bytes, or their UTF-8), and the opening tags, that form and the closing
// tags in one piece of text. Built once per conversion and encoding (the
// table does not change while a file is converted).
#pragma once

#include "core/characters.h"
#include "core/decoration_table.h"
#include "core/text_writer.h"

// "<B><I><U><STRIKE><font color=#RRGGBB size=-2147483648>" and
// "</font></STRIKE></U></I></B>" around a keyword's longest form, the
// colour's six bytes taking up to eighteen in a UTF-16 text's UTF-8 form:
// 66 and 28 bytes.
constexpr int DECORATED_CAPACITY = 64 + MAX_KEYWORD_FORM_LENGTH + 32;
static_assert(17 + 13 + 3 * COLOUR_LENGTH + 18 + 28 <= DECORATED_CAPACITY - MAX_KEYWORD_FORM_LENGTH,
              "the tags fit around a keyword");

struct PreparedEntry {
    // The keyword has a form in this encoding; one that is not a run of
    // whole code page 932 characters has none in UTF-8, and occurs nowhere,
    // nor does one kept as a UTF-8 settings file held it, in any encoding.
    bool usable;
    // The form ends with a lead byte that starts a character (code page 932
    // only): it must not take the trail byte that follows it in a text.
    bool loneLead;
    bool newlineInside; // the text holds an LF, which goes out as CR LF
    int keywordLength;
    int decoratedLength;
    const char* decorated;
    const char* keyword; // the form's keywordLength bytes, zero-terminated
};

struct EntryTags {
    int count;
    PreparedEntry entries[MAX_ENTRIES];
    // The decorated texts one after another, so that those of a large table
    // stay close together in the cache; padded so that the last can be
    // copied in whole blocks (see SHORT_COPY_LIMIT).
    char texts[MAX_ENTRIES * DECORATED_CAPACITY + SHORT_COPY_LIMIT];
    int textsLength;
    // The UTF-8 forms, one after another with their terminators (the code
    // page 932 forms are the table's own keywords).
    char forms[MAX_ENTRIES * (MAX_KEYWORD_FORM_LENGTH + 1)];
};

// By encoding.
extern EntryTags entryTags[TEXT_ENCODINGS];

// Builds entryTags[encoding] from decorationTable.
void prepareEntryTags(TextEncoding encoding);
