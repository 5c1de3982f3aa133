// The batch of files to convert: input paths, their derived output paths and
// what became of each file.
#pragma once

#include <cstdint>

#include "core/file_outcome.h"
#include "platform/path_text.h"

constexpr int BATCH_SLOTS = 512;

struct FileBatch {
    PathChar inputPaths[BATCH_SLOTS][PATH_SLOT];
    PathChar outputPaths[BATCH_SLOTS][PATH_SLOT];
    FileOutcome outcomes[BATCH_SLOTS];
};

extern FileBatch fileBatch;

// Puts a path into input slot `slot` and marks the slot pending. A path over
// 255 units is not stored, never cut: the slot is marked skipped instead and
// false is returned.
bool setInputPath(int slot, const PathChar* path);

// Marks a slot skipped for a path that did not fit (used where the path
// itself is never seen, as with a drop whose path is too long).
void markInputTooLong(int slot);

// Derives outputPaths[i] for the pending slots 0 .. n - 1: the input up to and
// including its last '.' (index 0 is never examined), then "html". A slot with
// no such '.', or whose output would exceed 255 units, is marked skipped.
void makeOutputPaths(int32_t n);

// Converts the pending slots 0 .. n - 1 in order. A file whose output would
// be the input itself is skipped and left untouched.
void convertBatch(int32_t n);

// What the caller of convertFiles hears of each file, and how it ends a batch
// early. Every member may be null; `context` is handed back to each call.
struct BatchListener {
    void* context;
    // Before file `index` (of the whole call) is looked at.
    void (*starting)(void* context, int index, const PathChar* inputPath);
    // After it, with what became of it.
    void (*finished)(void* context, int index, const PathChar* inputPath, FileOutcome outcome);
    // Asked before each file: true ends the batch there, leaving that file
    // and the ones after it alone.
    bool (*stopping)(void* context);
};

// Converts any number of files, in order, in successive batches of at most
// BATCH_SLOTS (paths of any length: one over 255 units is skipped). The
// command line, the drop and the window's Convert all come through here.
// Returns true when every file was read and written and none was left out.
bool convertFiles(int count, const PathChar* const* paths, const BatchListener* listener);
