// The settings file "TintMark.dat": the decoration table and the "<BR>"
// option between runs, its format and where it is. It is the one in the
// current directory unless the program chooses another before loading;
// settings/settings_save writes it back.
#pragma once

#include <cstdint>

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
//
// The file is read as UTF-8 when it begins with EF BB BF, or when its bytes
// of 0x80 or more are all well-formed UTF-8 (a code page 932 file of
// half-width katakana alone may be: ﾃｱ is C3 B1); else as code page 932.
// The table stays in code page 932: a UTF-8 keyword or colour is converted
// exactly, or, with a character code page 932 cannot hold, kept as it is
// and marked (KEPT_KEYWORD, KEPT_COLOUR). The table's settingsForm tells the
// save to write the file the same way.
bool loadSettings();

// The line, counted from 1, of entry `index`'s keyword in the file; its
// colour is on the next. Every entry takes four lines after the two that
// open the file.
int32_t settingsKeywordLine(int32_t index);
