// The settings file's lines, shared by the reader and the save.
#pragma once

#include "core/text_writer.h"

// Writes the whole table and the option in the settings file's format.
void writeSettings(TextWriter* out);
