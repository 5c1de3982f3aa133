// Saving the settings file: the table written so that the file is always
// either the old one or the new one, whole, and why a save failed.
#pragma once

#include <cstddef>

#include "core/file_replacement.h"
#include "settings/settings_file.h"

enum SaveProblem {
    SAVE_DONE = REPLACE_DONE,                   // the file was written
    SAVE_READ_ONLY = REPLACE_READ_ONLY,         // the file is marked read-only
    SAVE_NOT_A_FILE = REPLACE_NOT_A_FILE,       // a folder, pipe or device holds the name
    SAVE_PATH_TOO_LONG = REPLACE_PATH_TOO_LONG, // no temporary name fits beside the file
    SAVE_SYSTEM_ERROR = REPLACE_SYSTEM_ERROR,   // the system refused a step: see systemError
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
