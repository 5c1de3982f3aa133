// The settings file "TintMark.dat" in the current directory: the decoration
// table and the "<BR>" option between runs.
#pragma once

#include "core/path_text.h"

#define TINTMARK_SETTINGS_NAME "TintMark.dat"
// The name as bytes, and as the path the file is opened by.
extern const char SETTINGS_FILE_NAME[];
extern const PathChar SETTINGS_FILE_PATH[];

// Empties the table, then fills it and the option from the file when it can.
void loadSettings();

// Writes the whole table and the option, then releases every keyword copy.
// The previous file survives any failure. Returns true when the file was
// written.
bool saveSettings();
