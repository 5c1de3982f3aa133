// The main window: the keyword list, its buttons, the "<BR>" check box, the
// drop target, Convert and the status of the latest batch.
#pragma once

#include <windows.h>

// Runs the main window from template 101 as a modal dialog with no owner and
// returns when it has been destroyed.
void runMainWindow();

// The dialog procedure; its state comes as DialogBoxParamW's parameter.
INT_PTR CALLBACK MainWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
