// Converts one text file into an HTML fragment with the table's keywords
// decorated.
#pragma once

#include <cstddef>
#include <cstdio>

#include "platform/path_text.h"
#include "core/text_regions.h"

enum DecorateResult {
    DECORATE_DONE,              // input read to its end
    DECORATE_EMPTY_INPUT,       // input of size 0; the output exists and is empty
    DECORATE_INPUT_UNREADABLE,  // input could not be opened or read
    DECORATE_OUTPUT_UNWRITABLE, // output could not be opened or written
};

// Opens the input, then the output (created or emptied), and writes the
// decorated text. Returns true when the input was read to its end.
bool decorateFile(const PathChar* inputPath, const PathChar* outputPath);

// The same conversion, telling what went wrong.
DecorateResult decorateFileResult(const PathChar* inputPath, const PathChar* outputPath);

// The same conversion from an open input, read to its end, to an open
// output, both binary streams not used before (a pipe, say, or standard
// input and output). Neither is closed; the output is flushed. An empty
// input gives an empty output and DECORATE_DONE.
DecorateResult decorateStreams(FILE* input, FILE* output);

// Bytes of input taken at a time (clamped to what the converter can hold);
// the output does not depend on it. Small values let tests cross many
// region boundaries with small inputs.
void setDecoratorRegionLength(size_t length);

// How every later conversion decides a text's encoding: from the text
// itself (ENCODING_AUTO, the default), or one encoding for all.
void setDecoratorEncoding(EncodingChoice choice);
