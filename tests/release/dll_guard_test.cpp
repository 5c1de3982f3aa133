// The DLL guard under a real loader: a DLL planted beside the program loads
// by its bare name before the guard and no longer after it, while a system
// DLL still does. Prints "ok: ..." or "FAIL: ..." per check; exits 1 on a
// failure.
#include <windows.h>

#include <cstdio>

#include "ui/dll_guard.h"

static int failures = 0;

static void check(bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what);
    failures += ok ? 0 : 1;
}

int main() {
    HMODULE planted = LoadLibraryW(L"planted_probe.dll");
    check(planted != nullptr, "the planted DLL loads from the program's folder without the guard");
    if (planted != nullptr) {
        FreeLibrary(planted);
    }
    restrictDllSearchToSystem();
    planted = LoadLibraryW(L"planted_probe.dll");
    check(planted == nullptr, "the planted DLL is not found with the guard");
    HMODULE system = LoadLibraryW(L"version.dll");
    check(system != nullptr, "a system DLL still loads with the guard");
    std::fflush(stdout);
    return failures > 0 ? 1 : 0;
}
