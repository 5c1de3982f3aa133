// Windows side of the platform seams.
#include "platform/platform.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <io.h>
#include <mbstring.h>

bool platformDebugOutputAvailable() {
    return true;
}

bool platformDebugOutputListening() {
    if (IsDebuggerPresent()) {
        return true;
    }
    // A debug-output viewer that is not a debugger reads the lines through
    // this shared buffer; it exists only while such a viewer runs.
    HANDLE buffer = OpenFileMappingA(FILE_MAP_READ, FALSE, "DBWIN_BUFFER");
    if (buffer == nullptr) {
        return false;
    }
    CloseHandle(buffer);
    return true;
}

void platformDebugOutput(const char* text) {
    OutputDebugStringA(text);
}

static bool fileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    BOOL ok = GetFileInformationByHandle(handle, info);
    CloseHandle(handle);
    return ok != FALSE;
}

bool platformSameFile(const char* first, const char* second) {
    // File names ignore case here, so page.HTML and page.html are one file.
    // The multibyte comparison leaves the trail bytes of double-byte
    // characters alone.
    if (_mbsicmp(reinterpret_cast<const unsigned char*>(first),
                 reinterpret_cast<const unsigned char*>(second)) == 0) {
        return true;
    }
    // Other spellings of one file: trailing dots or blanks, short names,
    // hard links.
    BY_HANDLE_FILE_INFORMATION a;
    BY_HANDLE_FILE_INFORMATION b;
    if (!fileIdentity(first, &a) || !fileIdentity(second, &b)) {
        return false;
    }
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

bool platformSyncFile(FILE* file) {
    return std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

bool platformReplaceFile(const char* source, const char* target) {
    return MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool platformFileReadOnly(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool platformOrdinaryFileOrMissing(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
