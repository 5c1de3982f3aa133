// The Windows entry: command-line mode with file arguments, the main window
// without. Nothing is ever reported to the user; the result is always 0.
#include <windows.h>

#include <cstdlib>

#include "core/file_batch.h"
#include "settings/settings_file.h"
#include "ui/app_instance.h"
#include "ui/dll_guard.h"
#include "ui/main_window.h"

HINSTANCE appInstance;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    restrictDllSearchToSystem();
    appInstance = instance;
    loadSettings();
    if (__argc <= 1) {
        runMainWindow();
        return 0;
    }
    convertFiles(__argc - 1, __argv + 1, nullptr);
    return 0;
}
