// Overview: a region is whatever the file gives up to the region's capacity
// (after what an earlier read left over), cut back to the end of its last
// whole piece: pieces start after every LF, and in a stretch with no LF
// wherever the pieces before them end. A piece is decided once the bytes
// that may move its end are here (PIECE_DECISION_BYTES past its limit); the
// rest waits for the next region. The encoding is decided in the first
// region that holds a byte of 0x80 or more, reading ahead as far as the
// window needs into `ahead`, from which the next regions take their bytes
// first.
//
// Contracts: CR LF is made LF only when a piece is cut (in place), so a
// region holds the file's raw bytes, cut after 0x1A; the window, and every
// count of the window's bytes, is in text bytes (CR LF counting once).
#include "core/text_regions.h"

#include <cstring>

#include "core/utf16.h"

namespace {

const unsigned char END_OF_TEXT = 0x1A;

// Reads up to `wanted` bytes of the file, as far as `left` allows; sets
// *ended at the end of either, or on a read error.
size_t readFileBytes(TextRegionReader* reader, unsigned char* into, size_t wanted, bool* ended) {
    if (reader->left >= 0 && static_cast<uint64_t>(reader->left) < wanted) {
        wanted = static_cast<size_t>(reader->left);
    }
    const size_t got = wanted > 0 ? std::fread(into, 1, wanted, reader->file) : 0;
    if (reader->left >= 0) {
        reader->left -= static_cast<int64_t>(got);
    }
    if (got < wanted) {
        // fread gives less only at the end of the file or on an error.
        reader->failed = reader->failed || std::ferror(reader->file) != 0;
        *ended = true;
    }
    if (reader->left == 0) {
        *ended = true;
    }
    return got;
}

// Moves what is left of a UTF-16 file's bytes to the front and reads more.
void refillUnits(TextRegionReader* reader) {
    Utf16Input& u = reader->units;
    const size_t held = u.length - u.start;
    std::memmove(u.raw, u.raw + u.start, held);
    u.start = 0;
    const size_t got = readFileBytes(reader, u.raw + held, sizeof u.raw - held, &u.fileEnd);
    u.length = held + got;
    u.total += got;
    if (got > 0) {
        u.last = u.raw[u.length - 1];
    }
}

// Decodes up to `wanted` bytes of a UTF-16 file's UTF-8 form: fewer when the
// next character does not fit, which does not end the text.
size_t decodeUnits(TextRegionReader* reader, unsigned char* into, size_t wanted) {
    Utf16Input& u = reader->units;
    size_t made = 0;
    for (;;) {
        size_t taken = 0;
        made += decodeUtf16(u.raw + u.start, u.length - u.start, u.bigEndian, u.fileEnd,
                            into + made, wanted - made, &taken);
        u.start += taken;
        const size_t held = u.length - u.start;
        if (u.fileEnd) {
            // Every whole unit is decoded at the end; an odd byte may stay.
            reader->atEnd = held < 2;
            return made;
        }
        if (held >= 4) {
            return made; // a character waits for room
        }
        refillUnits(reader);
    }
}

// The part of `got` bytes just read that is text: up to a 0x1A, after
// which nothing can be read.
size_t textBefore0x1A(TextRegionReader* reader, const unsigned char* bytes, size_t got) {
    const void* stop = std::memchr(bytes, END_OF_TEXT, got);
    if (stop == nullptr) {
        return got;
    }
    reader->atEnd = true;
    return static_cast<size_t>(static_cast<const unsigned char*>(stop) - bytes);
}

// Reads up to `wanted` bytes of the text, stopping before 0x1A.
size_t readRaw(TextRegionReader* reader, unsigned char* into, size_t wanted) {
    if (reader->atEnd) {
        return 0;
    }
    const size_t got = reader->utf16 ? decodeUnits(reader, into, wanted)
                                     : readFileBytes(reader, into, wanted, &reader->atEnd);
    return textBefore0x1A(reader, into, got);
}

// The window being filled with text bytes from raw ones.
struct WindowFill {
    size_t length;
    bool afterCr;
};

// Adds raw bytes to the window until it holds one byte past its end;
// returns true once it does. Copies the runs between CRs whole.
bool fillWindow(TextRegionReader* reader, WindowFill* fill, const unsigned char* raw,
                size_t length) {
    unsigned char* const window = reader->window;
    size_t i = 0;
    while (i < length && fill->length < ENCODING_WINDOW + 1) {
        if (fill->afterCr && raw[i] == '\n') {
            window[fill->length - 1] = '\n'; // CR LF is one byte of text
            fill->afterCr = false;
            ++i;
            continue;
        }
        const size_t room = ENCODING_WINDOW + 1 - fill->length;
        const size_t most = length - i < room ? length - i : room;
        const void* cr = std::memchr(raw + i, '\r', most);
        const size_t run =
            cr ? static_cast<size_t>(static_cast<const unsigned char*>(cr) - (raw + i)) + 1 : most;
        std::memcpy(window + fill->length, raw + i, run);
        fill->length += run;
        fill->afterCr = cr != nullptr;
        i += run;
    }
    return fill->length == ENCODING_WINDOW + 1;
}

// The index of the first byte of 0x80 or more, or `length` when none.
size_t firstHighByte(const unsigned char* bytes, size_t length) {
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t eight;
        std::memcpy(&eight, bytes + i, sizeof eight);
        if ((eight & 0x8080808080808080ull) != 0) {
            break;
        }
    }
    while (i < length && bytes[i] < 0x80) {
        ++i;
    }
    return i;
}

// Decides the encoding from the region just read, if it can: its first
// bytes, or its first byte of 0x80 or more and the window from there on,
// read ahead into `ahead` (empty before the decision) as far as needed.
void decideEncoding(TextRegionReader* reader, const unsigned char* region, size_t length) {
    static const unsigned char BYTE_ORDER_MARK[] = {0xEF, 0xBB, 0xBF};
    if (!reader->started && length >= 3 && std::memcmp(region, BYTE_ORDER_MARK, 3) == 0) {
        reader->encoding = TEXT_UTF8;
        reader->decided = true;
        return;
    }
    const size_t first = firstHighByte(region, length);
    if (first == length) {
        return; // ASCII so far
    }
    WindowFill fill = {0, false};
    bool full = fillWindow(reader, &fill, region + first, length - first);
    while (!full && !reader->atEnd) {
        const size_t room = TEXT_REGION_AHEAD - reader->aheadLength;
        const size_t want = room < 16384 ? room : 16384;
        if (want == 0) {
            break;
        }
        unsigned char* into = reader->ahead + reader->aheadLength;
        const size_t got = readRaw(reader, into, want);
        reader->aheadLength += got;
        full = fillWindow(reader, &fill, into, got);
    }
    const size_t inWindow = fill.length < ENCODING_WINDOW ? fill.length : ENCODING_WINDOW;
    const bool goesOn = fill.length > ENCODING_WINDOW;
    reader->encoding = isWellFormedUtf8(reader->window, inWindow, goesOn) ? TEXT_UTF8 : TEXT_CP932;
    reader->decided = true;
}

// The last LF among `length` bytes, or nullptr. Backwards a block at a
// time, so that a long stretch with no LF goes by at memchr's pace.
const unsigned char* lastNewline(const unsigned char* bytes, size_t length) {
    constexpr size_t BLOCK = 256;
    while (length > 0) {
        const size_t take = length < BLOCK ? length : BLOCK;
        const unsigned char* block = bytes + length - take;
        if (std::memchr(block, '\n', take) != nullptr) {
            for (size_t i = take; i > 0; --i) {
                if (block[i - 1] == '\n') {
                    return block + i - 1;
                }
            }
        }
        length -= take;
    }
    return nullptr;
}

// The end of the last piece of `length` bytes that the bytes here decide.
size_t regionEnd(const unsigned char* region, size_t length, size_t limit, TextEncoding encoding) {
    const unsigned char* newline = lastNewline(region, length);
    size_t end = newline ? static_cast<size_t>(newline - region) + 1 : 0;
    // Past the last LF the pieces follow one another, each decided once the
    // bytes that may move its end are here.
    while (length - end >= limit + PIECE_DECISION_BYTES) {
        end += pieceLengthAtLimit(region + end, limit, length - end, encoding);
    }
    return end;
}

} // namespace

void openTextRegions(TextRegionReader* reader, FILE* file, int64_t size, EncodingChoice choice) {
    reader->file = file;
    reader->left = size;
    reader->atEnd = size == 0;
    reader->failed = false;
    reader->started = false;
    reader->decided = choice != ENCODING_AUTO;
    reader->encoding = choice == ENCODING_ALWAYS_UTF8 ? TEXT_UTF8 : TEXT_CP932;
    reader->aheadLength = 0;
    reader->utf16 = choice == ENCODING_ALWAYS_UTF16LE || choice == ENCODING_ALWAYS_UTF16BE;
    Utf16Input& u = reader->units;
    u.bigEndian = choice == ENCODING_ALWAYS_UTF16BE;
    u.fileEnd = reader->atEnd;
    u.start = 0;
    u.length = 0;
    u.total = 0;
    u.last = 0;
    if (choice == ENCODING_AUTO && !reader->atEnd) {
        u.length = readFileBytes(reader, u.raw, 2, &u.fileEnd);
        u.total = u.length;
        u.last = u.length > 0 ? u.raw[u.length - 1] : 0;
        reader->utf16 = u.length == 2 && ((u.raw[0] == 0xFF && u.raw[1] == 0xFE) ||
                                          (u.raw[0] == 0xFE && u.raw[1] == 0xFF));
        u.bigEndian = reader->utf16 && u.raw[0] == 0xFE;
        if (!reader->utf16) {
            // The text's first bytes, read like any after them.
            reader->atEnd = u.fileEnd;
            std::memcpy(reader->ahead, u.raw, u.length);
            reader->aheadLength = textBefore0x1A(reader, reader->ahead, u.length);
            u.length = 0;
        }
    }
    if (reader->utf16) {
        reader->decided = true;
        reader->encoding = TEXT_UTF16;
    }
}

bool textRegionsOddByte(TextRegionReader* reader, unsigned char* byte) {
    if (!reader->utf16) {
        return false;
    }
    Utf16Input& u = reader->units;
    while (!u.fileEnd) {
        u.start = u.length;
        refillUnits(reader);
    }
    *byte = u.last;
    return (u.total & 1) != 0;
}

size_t readTextRegion(TextRegionReader* reader, unsigned char* region, size_t capacity,
                      int maxLength, bool* last) {
    const size_t limit = maxLength < 1 ? 1
                         : static_cast<size_t>(maxLength) > TEXT_REGION_CARRY
                             ? TEXT_REGION_CARRY
                             : static_cast<size_t>(maxLength);
    // What was read before comes first.
    size_t length = reader->aheadLength < capacity ? reader->aheadLength : capacity;
    std::memcpy(region, reader->ahead, length);
    reader->aheadLength -= length;
    std::memmove(reader->ahead, reader->ahead + length, reader->aheadLength);
    if (length < capacity) {
        length += readRaw(reader, region + length, capacity - length);
    }
    if (!reader->decided) {
        decideEncoding(reader, region, length);
    }
    reader->started = true;
    if (reader->atEnd && reader->aheadLength == 0) {
        *last = true;
        return length;
    }
    *last = false;
    const size_t end = regionEnd(region, length, limit, reader->encoding);
    // The rest goes back in front of whatever was read ahead.
    const size_t rest = length - end;
    std::memmove(reader->ahead + rest, reader->ahead, reader->aheadLength);
    std::memcpy(reader->ahead, region + end, rest);
    reader->aheadLength += rest;
    return end;
}

size_t cutLongPiece(const unsigned char* from, size_t available, size_t limit,
                    TextEncoding encoding) {
    return available <= limit ? available : pieceLengthAtLimit(from, limit, available, encoding);
}
