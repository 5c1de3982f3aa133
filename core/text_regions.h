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
// A piece is a line, LF included, of at most maxLength bytes; a longer line
// comes in pieces of maxLength bytes, except that a piece never ends inside
// a character of the text's encoding: it ends before that character, which
// begins the next piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/characters.h"

// What decides how a text is read: its own bytes, or one encoding for all.
enum EncodingChoice : uint8_t {
    ENCODING_AUTO,
    ENCODING_ALWAYS_CP932,
    ENCODING_ALWAYS_UTF8,
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

struct TextRegionReader {
    FILE* file;
    int64_t left; // bytes still to read from the file, or -1 to read to the end
    bool atEnd;   // end of file or of `left`, 0x1A or a read error seen
    bool failed;  // a read error occurred
    bool started; // a region has been handed out
    bool decided; // the encoding is known
    TextEncoding encoding;
    size_t aheadLength;
    unsigned char ahead[TEXT_REGION_AHEAD];
    // The window's text, CR LF made LF, and one byte more to tell whether
    // the text goes on past it.
    unsigned char window[ENCODING_WINDOW + 1];
};

// Reads `size` bytes of an open, unbuffered binary stream (-1: to its end).
void openTextRegions(TextRegionReader* reader, FILE* file, int64_t size, EncodingChoice choice);

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

// The region's next piece (at most maxLength bytes, CR LF made LF), in place
// and zero-terminated; valid, and free to change, until the next call.
// Returns 0 at its end.
int nextRegionPiece(TextRegion* region, char** piece, int maxLength);
