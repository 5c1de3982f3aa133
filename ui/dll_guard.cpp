// The program is usually started from a downloads folder, where anyone may
// have left a DLL named like a system one. From here on, DLLs loaded on
// demand (by the shell, the input method or the common controls) come from
// the system folder only. SetDefaultDllDirectories is looked up at run time:
// systems without it still drop the current folder from the search.
#include "ui/dll_guard.h"

#include <windows.h>

void restrictDllSearchToSystem() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) {
        return;
    }
    using SetDefaultDirectories = BOOL(WINAPI*)(DWORD);
    // Through a plain function pointer type: FARPROC is not the real type.
    const auto found =
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories"));
    if (found != nullptr &&
        reinterpret_cast<SetDefaultDirectories>(found)(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        return;
    }
    SetDllDirectoryW(L"");
}
