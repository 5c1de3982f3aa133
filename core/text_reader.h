// Reading a text file line by line as a text-mode file reads, identically
// on every platform: CR LF becomes LF (a lone CR stays) and byte 0x1A ends
// what can be read. The settings file is read so; conversions read in
// regions (core/text_regions).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/path_text.h"

constexpr size_t TEXT_READER_BUFFER = 64 * 1024;

struct TextReader {
    FILE* file;
    size_t start;     // next unread byte of raw
    size_t length;    // bytes held in raw
    int64_t consumed; // raw file bytes consumed so far: the exact position
    bool atEnd;       // end of file, 0x1A or a read error seen
    bool failed;      // a read error occurred
    unsigned char raw[TEXT_READER_BUFFER];
};

bool openTextReader(TextReader* reader, const PathChar* path);

// Size of the underlying file in bytes, or -1 when it cannot be measured.
int64_t textReaderFileSize(TextReader* reader);

// Reads the next line, LF included, of at most capacity - 1 bytes, and
// terminates it. Returns the number of bytes stored; 0 when nothing is left.
int readTextLine(TextReader* reader, char* buffer, int capacity);

// Goes back to the file's start, to read it again; false when it cannot.
bool rewindTextReader(TextReader* reader);

// Position in raw file bytes of the next byte to be read.
int64_t textReaderPosition(const TextReader* reader);

void closeTextReader(TextReader* reader);
