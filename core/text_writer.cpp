#include "core/text_writer.h"

#include <cstring>

#include "core/utf16.h"
#include "platform/platform.h"

bool writeToFile(void* file, const char* bytes, size_t length) {
    return std::fwrite(bytes, 1, length, static_cast<FILE*>(file)) == length;
}

// Encodes UTF-8 into UTF-16 a block at a time, on the stack of whichever
// thread writes.
template <bool BIG>
static bool writeUtf16ToFile(void* file, const char* bytes, size_t length) {
    unsigned char block[16384];
    const unsigned char* text = reinterpret_cast<const unsigned char*>(bytes);
    while (length > 0) {
        size_t taken = 0;
        const size_t encoded = encodeUtf16(text, length, BIG, block, sizeof block, &taken);
        if (std::fwrite(block, 1, encoded, static_cast<FILE*>(file)) != encoded) {
            return false;
        }
        text += taken;
        length -= taken;
    }
    return true;
}

TextDestination destinationFor(TextOutput output) {
    return output == OUTPUT_UTF16LE   ? writeUtf16ToFile<false>
           : output == OUTPUT_UTF16BE ? writeUtf16ToFile<true>
                                      : writeToFile;
}

void attachTextWriter(TextWriter* writer, FILE* file) {
    writer->file = file;
    writer->length = 0;
    writer->capacity = TEXT_WRITER_BUFFER;
    writer->failed = false;
    writer->wholeCharacters = false;
    writer->buffer = writer->storage;
    writer->destination = writeToFile;
    writer->destinationContext = file;
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

void sendTextTo(TextWriter* writer, TextDestination destination, void* context) {
    writer->destination = destination;
    writer->destinationContext = context;
}

// Hands the buffer to the destination: all of it, or, for a full buffer of
// a writer that keeps characters whole, up to its last whole one.
static void drain(TextWriter* writer, bool full = true) {
    if (writer->length == 0) {
        return;
    }
    const size_t sent =
        full && writer->wholeCharacters
            ? wholeUtf8Length(reinterpret_cast<unsigned char*>(writer->buffer), writer->length)
            : writer->length;
    if (!writer->failed && !writer->destination(writer->destinationContext, writer->buffer, sent)) {
        writer->failed = true;
    }
    writer->length -= sent;
    std::memmove(writer->buffer, writer->buffer + sent, writer->length);
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
    drain(writer, false);
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
