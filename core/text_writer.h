// Writing a text file as a text-mode file writes, identically on every
// platform: every LF becomes CR LF. A writer holds its text in a buffer and
// hands it, when the buffer is full or flushed, to its destination: a file,
// or whatever its owner puts in its place (a pipeline lane that must wait
// for its turn at a file shared with others).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/path_text.h"

constexpr size_t TEXT_WRITER_BUFFER = 64 * 1024;

// Short copies move whole blocks: one of SHORT_COPY_LIMIT bytes for anything
// up to that length, else blocks of SHORT_COPY_BLOCK. Their sources and
// destinations must stay readable and writable SHORT_COPY_LIMIT - 1 bytes
// past the end of what is copied.
constexpr size_t SHORT_COPY_BLOCK = 32;
constexpr size_t SHORT_COPY_LIMIT = 2 * SHORT_COPY_BLOCK;

// Where a writer's text goes: true when all `length` bytes went.
using TextDestination = bool (*)(void* context, const char* bytes, size_t length);

struct TextWriter {
    FILE* file; // the file written, closed by closeTextWriter
    size_t length;
    size_t capacity; // bytes of text `buffer` takes before it is written out
    bool failed;
    // A full buffer goes out up to its last whole UTF-8 character, the rest
    // staying for the next: for a destination that encodes characters.
    bool wholeCharacters;
    char* buffer;                // `storage`, or a larger buffer from useTextWriterBuffer
    TextDestination destination; // writeToFile with `file`, unless replaced
    void* destinationContext;
    // TEXT_WRITER_BUFFER bytes of text, and room for writeShortBytes to copy
    // in whole blocks past the end of what it appends.
    char storage[TEXT_WRITER_BUFFER + SHORT_COPY_LIMIT];
};

// The destination of a writer on a file: context is the FILE.
bool writeToFile(void* file, const char* bytes, size_t length);

// How a conversion's text goes to its file: as the bytes it is, or, for a
// text read from UTF-16 and worked on in its UTF-8 form (core/utf16), in
// UTF-16 of one byte order again.
enum TextOutput : uint8_t {
    OUTPUT_BYTES,
    OUTPUT_UTF16LE,
    OUTPUT_UTF16BE,
};

// The destination for `output`: context is the FILE. One that encodes
// takes whole characters only (see TextWriter::wholeCharacters).
TextDestination destinationFor(TextOutput output);

// Opens for writing, creating or emptying the file.
bool openTextWriter(TextWriter* writer, const PathChar* path);
// Adopts an already open binary stream.
void attachTextWriter(TextWriter* writer, FILE* file);
// Buffers in `buffer` instead, which holds capacity + SHORT_COPY_LIMIT bytes;
// for a writer whose text must be held back until its turn comes.
void useTextWriterBuffer(TextWriter* writer, char* buffer, size_t capacity);
// Hands the text to `destination` from now on.
void sendTextTo(TextWriter* writer, TextDestination destination, void* context);

void writeText(TextWriter* writer, const char* bytes, size_t length);

void writeBytesSlowly(TextWriter* writer, const char* bytes, size_t length);

// Copies `length` bytes in whole blocks; see SHORT_COPY_LIMIT.
inline void copyShort(char* to, const char* from, size_t length) {
    if (length <= SHORT_COPY_LIMIT) {
        std::memcpy(to, from, SHORT_COPY_LIMIT);
        return;
    }
    size_t done = 0;
    do {
        std::memcpy(to + done, from + done, SHORT_COPY_BLOCK);
        done += SHORT_COPY_BLOCK;
    } while (done < length);
}

// Appends bytes as they are, for text known to hold no LF (or whose line
// ends are already CR LF): the same result as writeText without the search.
// Made for the many short pieces of a conversion, copied in whole blocks (see
// SHORT_COPY_LIMIT): no call and little branching.
inline void writeShortBytes(TextWriter* writer, const char* bytes, size_t length) {
    if (length <= writer->capacity - writer->length) {
        copyShort(writer->buffer + writer->length, bytes, length);
        writer->length += length;
    } else {
        writeBytesSlowly(writer, bytes, length);
    }
}

// Two writeShortBytes in one: the text before a keyword and the keyword as
// decorated.
inline void writeShortPair(TextWriter* writer, const char* first, size_t firstLength,
                           const char* second, size_t secondLength) {
    if (firstLength + secondLength <= writer->capacity - writer->length) {
        char* to = writer->buffer + writer->length;
        copyShort(to, first, firstLength);
        copyShort(to + firstLength, second, secondLength);
        writer->length += firstLength + secondLength;
    } else {
        writeBytesSlowly(writer, first, firstLength);
        writeBytesSlowly(writer, second, secondLength);
    }
}
void writeTextString(TextWriter* writer, const char* text);
void writeTextNumber(TextWriter* writer, int32_t value);

// Pushes buffered bytes to the stream; false after any write error.
bool flushTextWriter(TextWriter* writer);

// Flushes and closes; false when anything could not be written.
bool closeTextWriter(TextWriter* writer);
