// The DLL guard under a real loader: a DLL planted beside the program loads
// by its bare name before the guard and no longer after it, while the same
// DLL named by its full path, and a system DLL, still load. The full-path
// loads show that the planted DLL can load at all, so that its bare name
// failing is the guard's doing and not, say, a dependency that is missing.
// Prints "ok: ..." or "FAIL: ..." per check, with the loader's error for a
// load that failed; exits 1 on a failure.
#include <windows.h>

#include <cstdio>
#include <string>

#include "ui/dll_guard.h"

static int failures = 0;

static void check(bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what);
    failures += ok ? 0 : 1;
}

// Loads a DLL and unloads it again, so that the next load searches afresh
// rather than finding the module already in the process. Says whether it
// loaded; the loader's error is printed when it did not.
static bool loads(const std::wstring& name) {
    HMODULE module = LoadLibraryW(name.c_str());
    if (module == nullptr) {
        std::printf("  (LoadLibraryW(\"%ls\"): error %lu)\n", name.c_str(),
                    static_cast<unsigned long>(GetLastError()));
        return false;
    }
    FreeLibrary(module);
    return true;
}

static std::wstring programFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length == MAX_PATH) {
        return std::wstring();
    }
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

int main() {
    const std::wstring bare = L"planted_probe.dll";
    const std::wstring folder = programFolder();
    check(!folder.empty(), "the program knows its folder");
    const std::wstring full = folder + bare;

    check(loads(full), "the planted DLL loads by its full path without the guard");
    check(loads(bare), "the planted DLL loads by its bare name from the program's folder "
                       "without the guard");
    restrictDllSearchToSystem();
    check(!loads(bare), "the planted DLL is not found by its bare name with the guard");
    check(loads(full), "the planted DLL still loads by its full path with the guard");
    check(loads(L"version.dll"), "a system DLL still loads with the guard");
    std::fflush(stdout);
    return failures > 0 ? 1 : 0;
}
