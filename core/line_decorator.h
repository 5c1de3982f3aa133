// Converts one text file into an HTML fragment with the table's keywords
// decorated.
#pragma once

#include <cstddef>
#include <cstdio>

#include "core/file_outcome.h"
#include "core/text_regions.h"
#include "platform/path_text.h"

// Writes the decorated text of the input to a new output, which replaces
// whatever outputPath named (a link's target) only once it is whole: on any
// failure outputPath keeps what it held. An input that cannot be opened or
// read, or is empty, gives an empty output. Returns true when the input was
// read to its end and the output written.
bool decorateFile(const PathChar* inputPath, const PathChar* outputPath);

// The same conversion, telling what became of the file: FILE_CONVERTED,
// FILE_EMPTY_INPUT, FILE_INPUT_UNREADABLE or FILE_OUTPUT_UNWRITABLE.
FileOutcome decorateFileResult(const PathChar* inputPath, const PathChar* outputPath);

// The same conversion from an open input, read to its end, to an open
// output, both binary streams not used before (a pipe, say, or standard
// input and output). Neither is closed; the output is flushed. An empty
// input gives an empty output and FILE_CONVERTED.
FileOutcome decorateStreams(FILE* input, FILE* output);

// Bytes of input taken at a time (clamped to what the converter can hold);
// the output does not depend on it. Small values let tests cross many
// region boundaries with small inputs.
void setDecoratorRegionLength(size_t length);

// How every later conversion decides a text's encoding: from the text
// itself (ENCODING_AUTO, the default), or one encoding for all.
void setDecoratorEncoding(EncodingChoice choice);
