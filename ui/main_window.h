// The main window: the keyword list, its buttons, the "<BR>" check box and
// the drop target.
#pragma once

#include <windows.h>

// Runs the main window from template 101 as a modal dialog with no owner and
// returns when it has been destroyed.
void runMainWindow();

INT_PTR CALLBACK MainWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
