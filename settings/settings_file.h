// The settings file "TintMark.dat": the decoration table and the "<BR>"
// option between runs, its format and where it is. It is the one in the
// current directory unless the program chooses another before loading;
// settings/settings_save writes it back.
#pragma once

#include "platform/path_text.h"

#define TINTMARK_SETTINGS_NAME "TintMark.dat"
// The name as bytes, and as the path the file is opened by in the current
// directory.
extern const char SETTINGS_FILE_NAME[];
extern const PathChar SETTINGS_FILE_PATH[];

// Units the settings file's path may take, terminator included.
constexpr size_t SETTINGS_PATH_CAPACITY = FULL_PATH_CAPACITY;

// Makes `path` (relative to the current directory, or full) the file that
// loadSettings reads and saveSettings writes; an empty path goes back to
// SETTINGS_FILE_PATH. A path that does not fit is refused, and the file
// chosen before stays.
bool setSettingsPath(const PathChar* path);
// The file chosen now.
const PathChar* settingsPath();

// Empties the table, then fills it and the option from the file when it can.
// Returns false when the file could not be opened or a read failed; a file
// without the start marker was read, and gives an empty table.
bool loadSettings();
