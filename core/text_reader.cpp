#include "core/text_reader.h"

#include <cstring>

#include "platform/platform.h"

// 64-bit offsets on every platform: a long is 32 bits on Windows.
#ifdef _WIN32
#define tintmarkSeek _fseeki64
#define tintmarkTell _ftelli64
#else
#define tintmarkSeek fseeko
#define tintmarkTell ftello
#endif

static const unsigned char END_OF_TEXT = 0x1A;

bool openTextReader(TextReader* reader, const PathChar* path) {
    reader->file = platformOrdinaryFileOrMissing(path) ? platformOpenFile(path, "rb") : nullptr;
    reader->start = 0;
    reader->length = 0;
    reader->consumed = 0;
    reader->atEnd = false;
    reader->failed = false;
    if (reader->file == nullptr) {
        return false;
    }
    // The reader keeps its own buffer; a second one in stdio only copies.
    std::setvbuf(reader->file, nullptr, _IONBF, 0);
    return true;
}

int64_t textReaderFileSize(TextReader* reader) {
    if (tintmarkSeek(reader->file, 0, SEEK_END) != 0) {
        return -1;
    }
    int64_t size = tintmarkTell(reader->file);
    if (tintmarkSeek(reader->file, reader->consumed, SEEK_SET) != 0) {
        return -1;
    }
    return size;
}

static bool refill(TextReader* reader) {
    if (reader->atEnd) {
        return false;
    }
    reader->start = 0;
    reader->length = std::fread(reader->raw, 1, TEXT_READER_BUFFER, reader->file);
    if (reader->length == 0) {
        reader->failed = std::ferror(reader->file) != 0;
        reader->atEnd = true;
        return false;
    }
    return true;
}

int readTextLine(TextReader* reader, char* buffer, int capacity) {
    int stored = 0;
    const int limit = capacity - 1;
    while (stored < limit) {
        if (reader->start == reader->length && !refill(reader)) {
            break;
        }
        // Copy the plain bytes up to the next byte that needs a decision.
        const unsigned char* from = reader->raw + reader->start;
        size_t available = reader->length - reader->start;
        size_t room = static_cast<size_t>(limit - stored);
        size_t span = 0;
        size_t most = available < room ? available : room;
        while (span < most && from[span] != '\n' && from[span] != '\r' &&
               from[span] != END_OF_TEXT) {
            ++span;
        }
        std::memcpy(buffer + stored, from, span);
        stored += static_cast<int>(span);
        reader->start += span;
        reader->consumed += static_cast<int64_t>(span);
        if (span == most) {
            continue;
        }
        unsigned char c = from[span];
        if (c == END_OF_TEXT) {
            // Nothing after it can be read; the byte itself stays unread.
            reader->atEnd = true;
            break;
        }
        reader->start += 1;
        reader->consumed += 1;
        if (c == '\r') {
            // CR LF becomes LF; a CR followed by anything else stays.
            if (reader->start == reader->length) {
                refill(reader);
            }
            if (reader->start < reader->length && reader->raw[reader->start] == '\n') {
                reader->start += 1;
                reader->consumed += 1;
                c = '\n';
            }
        }
        buffer[stored++] = static_cast<char>(c);
        if (c == '\n') {
            break;
        }
    }
    if (capacity > 0) {
        buffer[stored] = '\0';
    }
    return stored;
}

bool rewindTextReader(TextReader* reader) {
    if (tintmarkSeek(reader->file, 0, SEEK_SET) != 0) {
        return false;
    }
    reader->start = 0;
    reader->length = 0;
    reader->consumed = 0;
    reader->atEnd = false;
    return true;
}

int64_t textReaderPosition(const TextReader* reader) {
    return reader->consumed;
}

void closeTextReader(TextReader* reader) {
    if (reader->file != nullptr) {
        std::fclose(reader->file);
        reader->file = nullptr;
    }
}
