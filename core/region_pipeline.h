// Reads a file in regions that can be decorated apart and decorates them on
// up to two lanes (threads), writing the results out in the file's order.
// What a piece becomes is handed in, so that this file knows nothing of
// keywords or tags.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/text_writer.h"
#include "core/text_regions.h"

constexpr int PIPELINE_LANES = 2;
// The output a region is held in before its turn to be written comes.
constexpr size_t SLOT_OUTPUT = 512 * 1024;

// Decorates one piece (pieceLength bytes, zero-terminated, ending with its
// only LF if it holds one, read in `encoding`) into `out`. `lane` (0 ..
// PIPELINE_LANES - 1) is the lane calling: two lanes may call at once, each
// with its own number.
typedef void (*PieceStep)(TextWriter* out, const char* piece, int pieceLength, int lane,
                          TextEncoding encoding);

// Readies what decorating pieces of `encoding` takes. Called once for each
// encoding the input's regions come in, before the first of its pieces, and
// never beside another call of itself; the other lane may be decorating
// pieces of the other encoding meanwhile.
typedef void (*EncodingStep)(TextEncoding encoding);

struct PipelineResult {
    bool writeOk;
    bool anyPiece; // the input gave at least one piece
    // The file's last piece, zero-terminated, and the encoding it was read in.
    char lastPiece[PIECE_LENGTH + 1];
    TextEncoding lastEncoding;
};

// Where the decorated text goes.
struct PipelineOutput {
    FILE* file;
    TextOutput form; // the form the text takes in the file
    // Ask the system to write a large output to the disk as it grows, not
    // all at its end: for an output that will replace an old file, which
    // the replacing step then frees behind those writes.
    bool writeBackEarly;
};

// Decorates every piece of `regions` (opened on a file of inputSize bytes,
// -1 when unknown) with `step` into `output`, readying each encoding with
// `ready` first. Two lanes are used when `twoLanes` allows and the input is
// larger than a region; each of the output slots takes slotCapacity bytes
// (at most SLOT_OUTPUT).
void runRegionPipeline(TextRegionReader* regions, const PipelineOutput& output, int64_t inputSize,
                       PieceStep step, EncodingStep ready, bool twoLanes, size_t slotCapacity,
                       PipelineResult* result);

// Bytes of input taken at a time (clamped to what a lane can hold).
void setPipelineRegionLength(size_t length);
