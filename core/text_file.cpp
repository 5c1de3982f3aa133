#include "core/text_file.h"

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
    reader->length = std::fread(reader->raw, 1, TEXT_FILE_BUFFER, reader->file);
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

int64_t textReaderPosition(const TextReader* reader) {
    return reader->consumed;
}

void closeTextReader(TextReader* reader) {
    if (reader->file != nullptr) {
        std::fclose(reader->file);
        reader->file = nullptr;
    }
}

void attachTextWriter(TextWriter* writer, FILE* file) {
    writer->file = file;
    writer->length = 0;
    writer->capacity = TEXT_FILE_BUFFER;
    writer->failed = false;
    writer->buffer = writer->storage;
    writer->beforeWrite = nullptr;
    writer->beforeWriteContext = nullptr;
    if (file != nullptr) {
        std::setvbuf(file, nullptr, _IONBF, 0);
    }
}

bool openTextWriter(TextWriter* writer, const PathChar* path) {
    attachTextWriter(writer, platformOpenFile(path, "wb"));
    return writer->file != nullptr;
}

void useTextWriterBuffer(TextWriter* writer, char* buffer, size_t capacity) {
    writer->buffer = buffer;
    writer->capacity = capacity;
}

static void drain(TextWriter* writer) {
    if (writer->length == 0) {
        return;
    }
    if (writer->beforeWrite != nullptr) {
        void (*beforeWrite)(void*) = writer->beforeWrite;
        writer->beforeWrite = nullptr;
        beforeWrite(writer->beforeWriteContext);
    }
    if (!writer->failed &&
        std::fwrite(writer->buffer, 1, writer->length, writer->file) != writer->length) {
        writer->failed = true;
    }
    writer->length = 0;
}

void writeText(TextWriter* writer, const char* bytes, size_t length) {
    while (length > 0) {
        // Leave room for the CR that an LF takes with it.
        if (writer->length + 2 > writer->capacity) {
            drain(writer);
        }
        size_t room = writer->capacity - writer->length - 1;
        size_t most = length < room ? length : room;
        const void* newline = std::memchr(bytes, '\n', most);
        size_t plain =
            newline ? static_cast<size_t>(static_cast<const char*>(newline) - bytes) : most;
        std::memcpy(writer->buffer + writer->length, bytes, plain);
        writer->length += plain;
        bytes += plain;
        length -= plain;
        if (newline) {
            writer->buffer[writer->length++] = '\r';
            writer->buffer[writer->length++] = '\n';
            bytes += 1;
            length -= 1;
        }
    }
}

void writeBytesSlowly(TextWriter* writer, const char* bytes, size_t length) {
    while (length > 0) {
        if (writer->length == writer->capacity) {
            drain(writer);
        }
        const size_t room = writer->capacity - writer->length;
        const size_t most = length < room ? length : room;
        std::memcpy(writer->buffer + writer->length, bytes, most);
        writer->length += most;
        bytes += most;
        length -= most;
    }
}

void writeTextString(TextWriter* writer, const char* text) {
    writeText(writer, text, std::strlen(text));
}

void writeTextNumber(TextWriter* writer, int32_t value) {
    char digits[16];
    int length = std::snprintf(digits, sizeof digits, "%d", static_cast<int>(value));
    writeText(writer, digits, static_cast<size_t>(length));
}

bool flushTextWriter(TextWriter* writer) {
    drain(writer);
    return !writer->failed;
}

bool closeTextWriter(TextWriter* writer) {
    bool ok = flushTextWriter(writer);
    if (writer->file != nullptr) {
        ok = std::fclose(writer->file) == 0 && ok;
        writer->file = nullptr;
    }
    return ok;
}
