// Reading a text file in regions: runs of whole pieces, each of which can be
// cut into its pieces with no byte from outside it, so that regions can be
// worked on apart (by different threads, say). The text is read as a
// text-mode file reads (CR LF becomes LF, a lone CR stays, byte 0x1A ends
// it), and the reader decides which encoding the text is in:
//
//   UTF-8 if the text begins with the byte-order mark EF BB BF; else, at the
//   first byte of 0x80 or more, UTF-8 if the ENCODING_WINDOW bytes of text
//   from there on (fewer at its end) are well-formed UTF-8, a sequence cut
//   by the window's end counting as well-formed and one cut by the text's
//   end not; else code page 932. A text with no such byte is ASCII, which
//   reads alike either way, and counts as code page 932.
//
// The decision reads at most the window ahead of the region it is made in,
// never the file twice. Before it, every region is ASCII and is handed out
// as code page 932.
//
// A text that begins with the byte-order mark FF FE (UTF-16 little-endian)
// or FE FF (big-endian) is UTF-16 from its first byte: it is decoded into
// its UTF-8 form (core/utf16), mark included, and read from there as above
// as a text of TEXT_UTF16. An odd last byte is no unit and stays out of the
// text.
//
// A piece is a line, LF included, of at most maxLength bytes; a longer line
// comes in pieces of maxLength bytes, except that a piece never ends inside
// a character of the text's encoding: it ends before that character, which
// begins the next piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/characters.h"

// What decides how a text is read: its own bytes, or one encoding for all.
enum EncodingChoice : uint8_t {
    ENCODING_AUTO,
    ENCODING_ALWAYS_CP932,
    ENCODING_ALWAYS_UTF8,
    // UTF-16 with or without a mark; a mark is then decoded like any unit.
    ENCODING_ALWAYS_UTF16LE,
    ENCODING_ALWAYS_UTF16BE,
};

// The longest piece a read takes: longer lines arrive in pieces, each
// decorated as a line of its own.
constexpr int PIECE_LENGTH = 2047;

constexpr size_t TEXT_REGION_CARRY = 4096; // largest maxLength it keeps to
constexpr size_t ENCODING_WINDOW = 65536;
// Raw bytes read but not yet handed out: the start of a piece the last
// region could not decide, then what was read ahead to decide the encoding
// (the window's text, which CR LF may double, and the byte after it).
constexpr size_t TEXT_REGION_AHEAD = TEXT_REGION_CARRY + 2 * (ENCODING_WINDOW + 1);
constexpr size_t UTF16_INPUT_BUFFER = 32768;

// A UTF-16 file's raw bytes on their way to being decoded.
struct Utf16Input {
    bool bigEndian;
    bool fileEnd;       // the file has given all it will
    size_t start;       // the next byte of `raw` to decode
    size_t length;      // bytes held in `raw`
    uint64_t total;     // bytes the file has given
    unsigned char last; // the last of them
    unsigned char raw[UTF16_INPUT_BUFFER];
};

struct TextRegionReader {
    FILE* file;
    int64_t left; // bytes still to read from the file, or -1 to read to the end
    bool atEnd;   // end of file or of `left`, 0x1A or a read error seen
    bool failed;  // a read error occurred
    bool started; // a region has been handed out
    bool decided; // the encoding is known
    bool utf16;   // the file is UTF-16, read through `units`
    TextEncoding encoding;
    size_t aheadLength;
    unsigned char ahead[TEXT_REGION_AHEAD];
    // The window's text, CR LF made LF, and one byte more to tell whether
    // the text goes on past it.
    unsigned char window[ENCODING_WINDOW + 1];
    Utf16Input units;
};

// Reads `size` bytes of an open, unbuffered binary stream (-1: to its end).
// Deciding whether it is UTF-16 reads its first two bytes.
void openTextRegions(TextRegionReader* reader, FILE* file, int64_t size, EncodingChoice choice);

// After the last region of a UTF-16 text: whether the file has an odd last
// byte, which no unit holds, and which; reads the rest of the file (after a
// U+001A that ended the text) to find it. Always false for other texts.
bool textRegionsOddByte(TextRegionReader* reader, unsigned char* byte);

// Fills `region`, of capacity bytes (at least 2 * maxLength + 2) and
// SHORT_COPY_LIMIT + 8 spare bytes past them, with the next region of the
// input, pieces of at most maxLength bytes. Returns its length; *last is set
// when no region follows it. reader->encoding is then the region's.
size_t readTextRegion(TextRegionReader* reader, unsigned char* region, size_t capacity,
                      int maxLength, bool* last);

// A region being cut into pieces: start at 0 and heldAt at nullptr.
struct TextRegion {
    unsigned char* bytes;
    size_t length;
    size_t start;
    unsigned char* heldAt;
    unsigned char heldByte;
    TextEncoding encoding;
};

// A piece with no line end within reach of `limit`: the first `limit`
// bytes (in which every CR is a lone one and stays), or fewer so as not to
// cut a character; what is left of a region, when no more than that, is a
// whole piece. Out of line: a line, the common case, needs none of it.
size_t cutLongPiece(const unsigned char* from, size_t available, size_t limit,
                    TextEncoding encoding);

// Where the piece at `from` ends, of at most `limit` bytes once CR LF is
// made LF: `available` bytes are there, enough to decide (limit +
// PIECE_DECISION_BYTES of them, or all that is left). Turns the CR of a
// closing CR LF into the LF. Returns the piece's length; *rawLength gets the
// bytes it takes from the file.
inline size_t cutPiece(unsigned char* from, size_t available, size_t limit, TextEncoding encoding,
                       size_t* rawLength) {
    const size_t searched = available < limit + 1 ? available : limit + 1;
    const void* found = std::memchr(from, '\n', searched);
    const size_t newline =
        found ? static_cast<size_t>(static_cast<const unsigned char*>(found) - from) : searched;
    const bool crlf = found != nullptr && newline > 0 && from[newline - 1] == '\r';
    if (found != nullptr && newline + 1 - (crlf ? 1 : 0) <= limit) {
        *rawLength = newline + 1;
        if (crlf) {
            from[newline - 1] = '\n';
            return newline;
        }
        return newline + 1;
    }
    *rawLength = cutLongPiece(from, available, limit, encoding);
    return *rawLength;
}

// The region's next piece (at most maxLength bytes, CR LF made LF), in place
// and zero-terminated; valid, and free to change, until the next call.
// Returns 0 at its end. Inline, as it is called for every line.
inline int nextRegionPiece(TextRegion* region, char** piece, int maxLength) {
    if (region->heldAt != nullptr) {
        *region->heldAt = region->heldByte;
        region->heldAt = nullptr;
    }
    unsigned char* from = region->bytes + region->start;
    const size_t available = region->length - region->start;
    if (available == 0 || maxLength < 1) {
        *piece = reinterpret_cast<char*>(from);
        return 0;
    }
    size_t rawLength;
    const size_t textLength =
        cutPiece(from, available, static_cast<size_t>(maxLength), region->encoding, &rawLength);
    region->heldAt = from + textLength;
    region->heldByte = from[textLength];
    from[textLength] = 0;
    region->start += rawLength;
    *piece = reinterpret_cast<char*>(from);
    return static_cast<int>(textLength);
}
