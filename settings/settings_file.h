// The settings file "TintMark.dat": the decoration table and the "<BR>"
// option between runs. It is the one in the current directory unless the
// program chooses another before loading.
#pragma once

#include "platform/path_text.h"

#define TINTMARK_SETTINGS_NAME "TintMark.dat"
// The name as bytes, and as the path the file is opened by in the current
// directory.
extern const char SETTINGS_FILE_NAME[];
extern const PathChar SETTINGS_FILE_PATH[];

// Units a full path may take, terminator included: Windows paths reach
// 32767 units in the "\\?\" form; POSIX systems stop at PATH_MAX.
#ifdef _WIN32
constexpr size_t SETTINGS_PATH_CAPACITY = 32768;
#else
constexpr size_t SETTINGS_PATH_CAPACITY = 4096;
#endif

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

enum SaveProblem {
    SAVE_DONE,          // the file was written
    SAVE_READ_ONLY,     // the file is marked read-only
    SAVE_NOT_A_FILE,    // a folder, pipe or device holds the name
    SAVE_PATH_TOO_LONG, // no temporary name fits beside the file
    SAVE_SYSTEM_ERROR,  // the system refused a step: see systemError
};

// Why the latest save failed, for the window to tell the user.
struct SaveFailure {
    SaveProblem problem;
    int systemError; // errno natively, GetLastError on Windows; 0 when none
    // The full path of the file written (links followed), or the path
    // chosen when even that could not be found.
    PathChar path[SETTINGS_PATH_CAPACITY];
};
extern SaveFailure saveFailure;

// Writes the whole table and the option. The previous file survives any
// failure, and the table is left as it was, so the save may be tried again.
// Returns true when the file was written; saveFailure says why it was not.
bool saveSettings();
