#include "core/entry_tags.h"

#include <cstdio>
#include <cstring>

EntryTags entryTags[TEXT_ENCODINGS];

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

// The keyword as it is searched for in a text of `encoding`: the table's
// bytes, or their exact UTF-8 stored at *forms.
static void prepareForm(const DecorationEntry& entry, TextEncoding encoding, char** forms,
                        PreparedEntry& prepared) {
    const char* keyword = entryText(entry);
    const int length = keywordLengthOf(entry);
    // A keyword kept in UTF-8 has a character that code page 932 cannot
    // hold: neither its bytes nor any form of them is one of the table's.
    prepared.usable = (entry.keptUtf8 & KEPT_KEYWORD) == 0;
    prepared.loneLead = false;
    prepared.keyword = keyword;
    prepared.keywordLength = length;
    if (encoding == TEXT_CP932) {
        prepared.loneLead =
            endsWithLoneLead(reinterpret_cast<const unsigned char*>(keyword), length);
        return;
    }
    size_t formLength = 0;
    if (!prepared.usable || !cp932ToUtf8(reinterpret_cast<const unsigned char*>(keyword), length,
                                         *forms, MAX_KEYWORD_FORM_LENGTH, &formLength)) {
        // Never occurs in a UTF-8 text, so never matches there.
        prepared.usable = false;
        formLength = 0;
    }
    (*forms)[formLength] = '\0';
    prepared.keyword = *forms;
    prepared.keywordLength = static_cast<int>(formLength);
    *forms += formLength + 1;
}

// The colour as a UTF-16 text writes it, in the UTF-8 form it is encoded
// from: the characters of a code page 932 colour as Windows maps them, each
// byte that begins no character it maps (a lead byte cut off by the six-byte
// limit, an unassigned code) as U+FFFD; a kept colour's UTF-8 as it is,
// U+FFFD for each byte that begins no character. Returns its length.
static int utf16ColourForm(const DecorationEntry& entry, const char* colour, int length,
                           char* out) {
    static const char REPLACEMENT[] = "\xEF\xBF\xBD";
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(colour);
    size_t formLength = 0;
    if ((entry.keptUtf8 & KEPT_COLOUR) == 0) {
        cp932ToUtf8(bytes, length, out, 3 * COLOUR_LENGTH, &formLength, REPLACEMENT);
        return static_cast<int>(formLength);
    }
    for (int i = 0; i < length;) {
        const int sequence = utf8SequenceLength(bytes + i, static_cast<size_t>(length - i));
        if (sequence == 0) {
            std::memcpy(out + formLength, REPLACEMENT, 3);
            formLength += 3;
            ++i;
        } else {
            std::memcpy(out + formLength, bytes + i, static_cast<size_t>(sequence));
            formLength += static_cast<size_t>(sequence);
            i += sequence;
        }
    }
    return static_cast<int>(formLength);
}

static void prepareEntry(const DecorationEntry& entry, TextEncoding encoding, EntryTags& tags,
                         PreparedEntry& prepared) {
    // Style bit k opens with OPEN_TAGS[k]; tags close in the reverse order.
    static const char* const OPEN_TAGS[] = {"<B>", "<I>", "<U>", "<STRIKE>"};
    static const char* const CLOSE_TAGS[] = {"</B>", "</I>", "</U>", "</STRIKE>"};
    char* out = tags.texts + tags.textsLength;
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
            // As its bytes stand, but in a UTF-16 text, which has no bytes
            // but units, as the characters they stand for.
            at = appendTag(out, at, " color=#");
            const int length = static_cast<int>(strnlen(entry.colour, COLOUR_LENGTH));
            at = encoding == TEXT_UTF16
                     ? at + utf16ColourForm(entry, entry.colour, length, out + at)
                     : appendText(out, at, entry.colour, length);
        }
        if (entry.size != 0) {
            char size[24];
            std::snprintf(size, sizeof size, " size=%d", static_cast<int>(entry.size));
            at = appendTag(out, at, size);
        }
        at = appendTag(out, at, ">");
    }
    // The keyword written is the bytes matched: its form in the text's
    // encoding.
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
    tags.textsLength += at;
}

void prepareEntryTags(TextEncoding encoding) {
    EntryTags& tags = entryTags[encoding];
    tags.textsLength = 0;
    tags.count = decorationTable.count;
    char* forms = tags.forms;
    for (int i = 0; i < decorationTable.count; ++i) {
        prepareForm(decorationTable.entries[i], encoding, &forms, tags.entries[i]);
        prepareEntry(decorationTable.entries[i], encoding, tags, tags.entries[i]);
    }
}
