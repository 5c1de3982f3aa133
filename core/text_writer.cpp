#include "core/text_writer.h"

#include <cstring>

#include "platform/platform.h"

bool writeToFile(void* file, const char* bytes, size_t length) {
    return std::fwrite(bytes, 1, length, static_cast<FILE*>(file)) == length;
}

void attachTextWriter(TextWriter* writer, FILE* file) {
    writer->file = file;
    writer->length = 0;
    writer->capacity = TEXT_WRITER_BUFFER;
    writer->failed = false;
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

static void drain(TextWriter* writer) {
    if (writer->length == 0) {
        return;
    }
    if (!writer->failed &&
        !writer->destination(writer->destinationContext, writer->buffer, writer->length)) {
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
