// The conversion written the plain way, from the rules and not from the fast
// code: the whole text read first, its encoding decided, its characters
// walked one by one, every entry tried at every character. Slow, but short
// enough to check by eye; the fast decorator must give the same bytes.
// A UTF-16 text is converted by the rule it reduces to: decoded whole into
// UTF-8 (a lone surrogate into its three bytes, one character), converted as
// a UTF-8 text, encoded back; an odd last byte appended.
#include "tests/reference/line_reference.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/decoration_table.h"
#include "core/text_writer.h"
#include "core/characters.h"
#include "platform/platform.h"

namespace {

constexpr size_t PIECE = PIECE_LENGTH; // a read takes at most this many bytes
constexpr size_t WINDOW = 65536;       // the text that decides its encoding

EncodingChoice choice = ENCODING_AUTO;
TextWriter out;

bool lead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool trail(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// The length of the well-formed UTF-8 sequence at text[i] (table 3-7 of the
// Unicode standard), 0 for none. With `cutOk`, one that runs past `end` but
// is well-formed so far counts whole.
size_t utf8Length(const std::string& text, size_t i, size_t end, bool cutOk) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    struct Form {
        unsigned char first, last; // first byte
        size_t length;
        unsigned char low, high; // second byte
    };
    static const Form FORMS[] = {
        {0x00, 0x7F, 1, 0, 0},       {0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF},
        {0xE1, 0xEC, 3, 0x80, 0xBF}, {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF},
        {0xF0, 0xF0, 4, 0x90, 0xBF}, {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F},
    };
    for (const Form& f : FORMS) {
        if (b < f.first || b > f.last) {
            continue;
        }
        for (size_t k = 1; k < f.length; ++k) {
            if (i + k >= end) {
                return cutOk ? f.length : 0;
            }
            const unsigned char c = static_cast<unsigned char>(text[i + k]);
            const unsigned char low = k == 1 ? f.low : 0x80;
            const unsigned char high = k == 1 ? f.high : 0xBF;
            if (c < low || c > high) {
                return 0;
            }
        }
        return f.length;
    }
    return 0;
}

// Whether text[i] begins a lone surrogate's three bytes.
bool loneSurrogateAt(const std::string& text, size_t i) {
    return i + 2 < text.size() && static_cast<unsigned char>(text[i]) == 0xED &&
           (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0xA0 &&
           (static_cast<unsigned char>(text[i + 2]) & 0xC0) == 0x80;
}

// The length of the character at text[i].
size_t charLength(const std::string& text, size_t i, TextEncoding encoding) {
    if (encoding == TEXT_UTF16 && loneSurrogateAt(text, i)) {
        return 3;
    }
    if (encoding != TEXT_CP932) {
        const size_t n = utf8Length(text, i, text.size(), false);
        return n == 0 ? 1 : n;
    }
    const bool pair = lead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() &&
                      trail(static_cast<unsigned char>(text[i + 1]));
    return pair ? 2 : 1;
}

TextEncoding decide(const std::string& text) {
    if (choice == ENCODING_ALWAYS_CP932 || choice == ENCODING_ALWAYS_UTF8) {
        return choice == ENCODING_ALWAYS_UTF8 ? TEXT_UTF8 : TEXT_CP932;
    }
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        return TEXT_UTF8;
    }
    size_t first = 0;
    while (first < text.size() && static_cast<unsigned char>(text[first]) < 0x80) {
        ++first;
    }
    if (first == text.size()) {
        return TEXT_CP932;
    }
    const size_t end = text.size() - first > WINDOW ? first + WINDOW : text.size();
    const bool cutOk = end < text.size();
    for (size_t i = first; i < end;) {
        const size_t n = utf8Length(text, i, end, cutOk);
        if (n == 0) {
            return TEXT_CP932;
        }
        i += n;
    }
    return TEXT_UTF8;
}

bool readRaw(const PathChar* path, std::string* raw) {
    FILE* file = platformOpenFile(path, "rb");
    if (file == nullptr) {
        return false;
    }
    char block[65536];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
        raw->append(block, got);
    }
    std::fclose(file);
    return true;
}

// The text as a text-mode read gives it: CR LF made LF, cut at 0x1A.
std::string textOf(const std::string& raw) {
    std::string text;
    for (size_t i = 0; i < raw.size() && raw[i] != '\x1A'; ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
            continue; // the LF stands for both
        }
        text += raw[i];
    }
    return text;
}

void appendUtf8(std::string& to, uint32_t c) {
    if (c < 0x80) {
        to += static_cast<char>(c);
    } else if (c < 0x800) {
        to += static_cast<char>(0xC0 | (c >> 6));
        to += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        to += static_cast<char>(0xE0 | (c >> 12));
        to += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        to += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        to += static_cast<char>(0xF0 | (c >> 18));
        to += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        to += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        to += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// UTF-16 units, whole pairs of bytes, into UTF-8.
std::string fromUtf16(const std::string& raw, bool bigEndian) {
    std::vector<uint32_t> units;
    for (size_t i = 0; i + 1 < raw.size(); i += 2) {
        const unsigned a = static_cast<unsigned char>(raw[i]);
        const unsigned b = static_cast<unsigned char>(raw[i + 1]);
        units.push_back(bigEndian ? (a << 8) | b : (b << 8) | a);
    }
    std::string to;
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        appendUtf8(to, c);
    }
    return to;
}

void appendUnit(std::string& to, uint32_t unit, bool bigEndian) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    to += bigEndian ? high : low;
    to += bigEndian ? low : high;
}

// The UTF-8 form back into UTF-16.
std::string toUtf16(const std::string& text, bool bigEndian) {
    std::string to;
    for (size_t i = 0; i < text.size();) {
        const size_t n = charLength(text, i, TEXT_UTF16);
        const unsigned char first = static_cast<unsigned char>(text[i]);
        uint32_t c = n == 1 ? (first < 0x80 ? first : 0xFFFD) : first & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) {
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        if (c >= 0x10000) {
            appendUnit(to, 0xD800 + ((c - 0x10000) >> 10), bigEndian);
            appendUnit(to, 0xDC00 + ((c - 0x10000) & 0x3FF), bigEndian);
        } else {
            appendUnit(to, c, bigEndian);
        }
        i += n;
    }
    return to;
}

bool appendTo(void* captured, const char* bytes, size_t length) {
    static_cast<std::string*>(captured)->append(bytes, length);
    return true;
}

// Each entry's keyword as searched for, empty and unusable when it has no
// form in the encoding.
struct Form {
    std::string bytes;
    bool usable;
};

std::vector<Form> formsOf(TextEncoding encoding) {
    std::vector<Form> forms;
    for (int i = 0; i < decorationTable.count; ++i) {
        const DecorationEntry& entry = decorationTable.entries[i];
        const char* keyword = entryText(entry);
        const size_t length = std::strlen(keyword);
        Form form{keyword, (entry.keptUtf8 & KEPT_KEYWORD) == 0};
        if (encoding != TEXT_CP932) {
            std::vector<char> utf8(3 * length + 1);
            size_t written = 0;
            form.usable = form.usable &&
                          cp932ToUtf8(reinterpret_cast<const unsigned char*>(keyword),
                                      static_cast<int>(length), utf8.data(), utf8.size(), &written);
            form.bytes.assign(utf8.data(), form.usable ? written : 0);
        }
        forms.push_back(form);
    }
    return forms;
}

// The colour as a UTF-16 text writes it, in UTF-8: its characters, each
// byte that begins none as U+FFFD.
std::string utf16Colour(const DecorationEntry& entry) {
    const std::string colour = entry.colour;
    std::string shown;
    for (size_t i = 0; i < colour.size();) {
        size_t n = (entry.keptUtf8 & KEPT_COLOUR) ? utf8Length(colour, i, colour.size(), false)
                                                  : charLength(colour, i, TEXT_CP932);
        char utf8[8];
        size_t written = 0;
        if (n == 0 || ((entry.keptUtf8 & KEPT_COLOUR) == 0 &&
                       !cp932ToUtf8(reinterpret_cast<const unsigned char*>(colour.data() + i),
                                    static_cast<int>(n), utf8, sizeof utf8, &written))) {
            shown += "\xEF\xBF\xBD";
            i += n == 0 ? 1 : n;
            continue;
        }
        shown += (entry.keptUtf8 & KEPT_COLOUR) ? colour.substr(i, n) : std::string(utf8, written);
        i += n;
    }
    return shown;
}

void writeDecorated(const DecorationEntry& entry, const std::string& keyword,
                    TextEncoding encoding) {
    static const char* const OPEN[] = {"<B>", "<I>", "<U>", "<STRIKE>"};
    static const char* const CLOSE[] = {"</B>", "</I>", "</U>", "</STRIKE>"};
    for (int k = 0; k < 4; ++k) {
        if (entry.style & (1 << k)) {
            writeTextString(&out, OPEN[k]);
        }
    }
    const bool colour = hasColour(entry);
    if (colour || entry.size != 0) {
        writeTextString(&out, "<font");
        if (colour) {
            writeTextString(&out, " color=#");
            const std::string shown = encoding == TEXT_UTF16 ? utf16Colour(entry) : entry.colour;
            writeText(&out, shown.data(), shown.size());
        }
        if (entry.size != 0) {
            writeTextString(&out, " size=");
            writeTextNumber(&out, entry.size);
        }
        writeTextString(&out, ">");
        writeText(&out, keyword.data(), keyword.size());
        writeTextString(&out, "</font>");
    } else {
        writeText(&out, keyword.data(), keyword.size());
    }
    for (int k = 3; k >= 0; --k) {
        if (entry.style & (1 << k)) {
            writeTextString(&out, CLOSE[k]);
        }
    }
}

// One piece, which begins and ends where characters do; `starts[i]` tells
// whether a character begins at byte i of it (and at its end).
void decoratePiece(const std::string& piece, const std::vector<bool>& starts,
                   const std::vector<Form>& forms, TextEncoding encoding) {
    DecorationTable& table = decorationTable;
    const std::string line = piece.substr(0, piece.find('\0'));
    bool anyHit = false;
    for (int i = 0; i < table.count; ++i) {
        const Form& form = forms[static_cast<size_t>(i)];
        table.entries[i].hit = form.usable && line.find(form.bytes) != std::string::npos ? 1 : 0;
        anyHit = anyHit || table.entries[i].hit;
    }
    if (!anyHit) {
        writeText(&out, line.data(), line.size());
        if (table.lineBreakTags) {
            writeTextString(&out, "<BR>");
        }
        return;
    }
    size_t runStart = 0;
    size_t p = 0;
    while (p < line.size()) {
        int matched = -1;
        for (int i = 0; i < table.count && matched < 0 && starts[p]; ++i) {
            const std::string& k = forms[static_cast<size_t>(i)].bytes;
            if (table.entries[i].hit && !k.empty() && line.compare(p, k.size(), k) == 0 &&
                starts[p + k.size()]) {
                matched = i;
            }
        }
        if (matched < 0) {
            ++p;
            continue;
        }
        writeText(&out, line.data() + runStart, p - runStart);
        const std::string& keyword = forms[static_cast<size_t>(matched)].bytes;
        writeDecorated(table.entries[matched], keyword, encoding);
        p += keyword.size();
        runStart = p;
    }
    if (runStart < line.size()) {
        writeText(&out, line.data() + runStart, line.size() - runStart);
        if (table.lineBreakTags) {
            writeTextString(&out, "<BR>");
        }
    }
}

} // namespace

void setReferenceEncoding(EncodingChoice encoding) {
    choice = encoding;
}

bool referenceDecorateFile(const PathChar* inputPath, const PathChar* outputPath) {
    std::string raw;
    const bool read = readRaw(inputPath, &raw) && !raw.empty();
    if (!openTextWriter(&out, outputPath)) {
        return false;
    }
    if (!read) {
        closeTextWriter(&out);
        return false;
    }
    const bool utf16 = choice == ENCODING_ALWAYS_UTF16LE || choice == ENCODING_ALWAYS_UTF16BE ||
                       (choice == ENCODING_AUTO &&
                        (raw.compare(0, 2, "\xFF\xFE") == 0 || raw.compare(0, 2, "\xFE\xFF") == 0));
    const bool bigEndian =
        choice == ENCODING_ALWAYS_UTF16BE || (choice == ENCODING_AUTO && raw[0] == '\xFE');
    const std::string text = textOf(utf16 ? fromUtf16(raw, bigEndian) : raw);
    std::string captured;
    if (utf16) {
        sendTextTo(&out, appendTo, &captured);
    }
    const TextEncoding encoding = utf16 ? TEXT_UTF16 : decide(text);
    const std::vector<Form> forms = formsOf(encoding);
    // Pieces: characters up to and including an LF, as long as they fit.
    size_t at = 0;
    while (at < text.size()) {
        std::vector<bool> starts(1, true);
        size_t length = 0;
        while (at + length < text.size()) {
            const size_t n = charLength(text, at + length, encoding);
            if (length + n > PIECE) {
                break;
            }
            length += n;
            starts.resize(length + 1, false);
            starts[length] = true;
            if (text[at + length - 1] == '\n') {
                break;
            }
        }
        decoratePiece(text.substr(at, length), starts, forms, encoding);
        at += length;
    }
    if (utf16) {
        flushTextWriter(&out);
        captured = toUtf16(captured, bigEndian);
        if (raw.size() % 2 == 1) {
            captured += raw.back();
        }
        writeToFile(out.file, captured.data(), captured.size());
    }
    closeTextWriter(&out);
    return true;
}
