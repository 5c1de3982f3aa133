// The line algorithm written the plain way: every entry searched in every
// line, every hit entry tried at every position. Slow, but short enough to
// check by eye; the fast decorator must give the same bytes.
#pragma once

#include "core/path_text.h"

// Converts inputPath into outputPath with the current decoration table.
// Returns true when the input was read to its end.
bool referenceDecorateFile(const PathChar* inputPath, const PathChar* outputPath);
