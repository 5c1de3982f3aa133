// The Windows entry: command-line mode with file arguments, the main window
// without. The result is always 0; the only message shown is the one after
// a failed save on closing the window.
// The arguments are taken in UTF-16, as the system holds them: the ANSI copy
// of the command line is made with best-fit mapping, which can turn a name
// into the name of some other file.
#include <windows.h>

#include <cstdlib>

#include "core/decoration_table.h"
#include "core/file_batch.h"
#include "platform/platform.h"
#include "settings/settings_file.h"
#include "ui/app_instance.h"
#include "ui/dll_guard.h"
#include "ui/main_window.h"

HINSTANCE appInstance;

// The settings file: the current folder's when it has one; else the one
// beside the program. Files dropped on the program's icon, Send To and
// shortcuts with an empty "Start in" start it in some other folder, so a
// portable folder's TintMark.dat would otherwise go unread. With neither,
// the current folder's name stays, and the window saves there.
static void chooseSettingsFile() {
    if (platformFileExists(SETTINGS_FILE_PATH)) {
        return;
    }
    static PathChar beside[SETTINGS_PATH_CAPACITY];
    if (platformProgramFolderFile(SETTINGS_FILE_PATH, beside, SETTINGS_PATH_CAPACITY) &&
        platformFileExists(beside)) {
        setSettingsPath(beside);
    }
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    restrictDllSearchToSystem();
    appInstance = instance;
    chooseSettingsFile();
    loadSettings();
    if (__argc <= 1 || __wargv == nullptr) {
        runMainWindow();
        return 0;
    }
    convertFiles(__argc - 1, __wargv + 1, nullptr);
    // Nothing is saved in this mode, so the keyword copies are released here.
    releaseKeywords();
    return 0;
}
