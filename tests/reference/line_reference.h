// The conversion written the plain way: every entry searched in every
// piece, every hit entry tried at every character. Slow, but short enough to
// check by eye; the fast decorator must give the same bytes.
#pragma once

#include "platform/path_text.h"
#include "core/text_regions.h"

// How later conversions decide a text's encoding, as setDecoratorEncoding.
void setReferenceEncoding(EncodingChoice choice);

// Converts inputPath into outputPath with the current decoration table.
// Returns true when the input was read to its end.
bool referenceDecorateFile(const PathChar* inputPath, const PathChar* outputPath);
