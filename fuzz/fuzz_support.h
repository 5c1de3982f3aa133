// Helpers shared by the fuzz targets: a private scratch directory per
// process, a reader that carves a fuzz input into fields, and file helpers.
#pragma once

#include <cstddef>
#include <cstdint>

// An empty directory of this process's own, made on first use in
// $TINTMARK_FUZZ_SCRATCH, else in /dev/shm when there is one, else in $TMPDIR
// or /tmp, and removed with its files when the process exits normally.
const char* scratchDir();

// scratchDir() joined with `name`.
void scratchPath(char* buffer, size_t capacity, const char* name);

// Reports a broken property with the input's context and stops the run so
// the fuzzer records the input.
[[noreturn]] void fuzzFail(const char* what);

// Fields taken from the front of the input; past its end every read gives 0.
struct ByteReader {
    const uint8_t* data;
    size_t size;

    uint8_t byte();
    uint16_t word();
    int32_t int32();
    // Up to `wanted` bytes, fewer at the end of the input.
    size_t take(size_t wanted, const uint8_t** bytes);
};

// Writes `count` copies of the bytes to a file; false on any error.
bool writeFileRepeated(const char* path, const uint8_t* bytes, size_t size, int count);

// Compares two files byte for byte: 0 when equal, 1 when they differ (the
// first differing offset goes to `offset`), -1 when either cannot be read.
int compareFiles(const char* first, const char* second, long* offset);
