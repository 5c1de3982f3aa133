// The one message the program shows: the save on closing failed, and the
// user chooses what happens next.
#pragma once

#include <windows.h>

enum SaveFailureChoice {
    SAVE_CHOICE_RETRY,   // save again
    SAVE_CHOICE_DISCARD, // close without saving; the changes are lost
    SAVE_CHOICE_BACK,    // back to the window, nothing lost
};

// Shows why the latest save failed (settings/settings_file.h's saveFailure),
// owned by `window`, and returns the user's choice.
SaveFailureChoice askAfterFailedSave(HWND window);
