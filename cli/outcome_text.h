// What the command line says on stderr about a file it did not convert.
#pragma once

#include "core/file_outcome.h"

// A short English description of an outcome.
const char* outcomeText(FileOutcome outcome);
