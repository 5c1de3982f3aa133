#pragma once

#include <windows.h>

// The instance handle given to WinMain, for the dialogs' templates.
extern HINSTANCE appInstance;
