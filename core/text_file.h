// Text-mode files over binary I/O, identical on every platform: on reading,
// CR LF becomes LF (a lone CR stays) and byte 0x1A ends what can be read; on
// writing, every LF becomes CR LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr size_t TEXT_FILE_BUFFER = 32 * 1024;

struct TextReader {
    FILE* file;
    size_t start;     // next unread byte of raw
    size_t length;    // bytes held in raw
    int64_t consumed; // raw file bytes consumed so far: the exact position
    bool atEnd;       // end of file, 0x1A or a read error seen
    bool failed;      // a read error occurred
    unsigned char raw[TEXT_FILE_BUFFER];
};

struct TextWriter {
    FILE* file;
    size_t length;
    bool failed;
    char buffer[TEXT_FILE_BUFFER];
};

bool openTextReader(TextReader* reader, const char* path);

// Size of the underlying file in bytes, or -1 when it cannot be measured.
int64_t textReaderFileSize(TextReader* reader);

// Reads the next line, LF included, of at most capacity - 1 bytes, and
// terminates it. Returns the number of bytes stored; 0 when nothing is left.
int readTextLine(TextReader* reader, char* buffer, int capacity);

// Position in raw file bytes of the next byte to be read.
int64_t textReaderPosition(const TextReader* reader);

void closeTextReader(TextReader* reader);

// Opens for writing, creating or emptying the file.
bool openTextWriter(TextWriter* writer, const char* path);
// Adopts an already open binary stream.
void attachTextWriter(TextWriter* writer, FILE* file);

void writeText(TextWriter* writer, const char* bytes, size_t length);
void writeTextString(TextWriter* writer, const char* text);
void writeTextNumber(TextWriter* writer, int32_t value);

// Pushes buffered bytes to the stream; false after any write error.
bool flushTextWriter(TextWriter* writer);

// Flushes and closes; false when anything could not be written.
bool closeTextWriter(TextWriter* writer);
