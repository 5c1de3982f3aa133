// Windows side of the platform seams.
#include "platform/platform.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <io.h>

bool platformDebugOutputAvailable() {
    return true;
}

// Under Wine the debug channel "debugstr" prints every debugger-output line
// to the terminal, so it counts as a reader when WINEDEBUG switches it on
// ("+debugstr", "+all", "trace+debugstr"; later items override earlier).
static bool wineDebugChannelOn() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr) {
        return false;
    }
    char setting[1024];
    const DWORD length = GetEnvironmentVariableA("WINEDEBUG", setting, sizeof setting);
    if (length == 0 || length >= sizeof setting) {
        return length != 0; // too long to read: better to send than to lose
    }
    bool on = false;
    for (char* item = setting; item != nullptr;) {
        char* next = std::strchr(item, ',');
        if (next != nullptr) {
            *next++ = '\0';
        }
        const char* sign = std::strpbrk(item, "+-");
        if (sign != nullptr &&
            (std::strcmp(sign + 1, "all") == 0 || std::strcmp(sign + 1, "debugstr") == 0)) {
            on = *sign == '+';
        }
        item = next;
    }
    return on;
}

bool platformDebugOutputListening() {
    if (IsDebuggerPresent() || wineDebugChannelOn()) {
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

FILE* platformOpenFile(const wchar_t* path, const char* mode) {
    wchar_t wideMode[8] = {};
    for (int i = 0; i < 7 && mode[i] != '\0'; ++i) {
        wideMode[i] = static_cast<wchar_t>(static_cast<unsigned char>(mode[i]));
    }
    return _wfopen(path, wideMode);
}

bool platformRemoveFile(const wchar_t* path) {
    return DeleteFileW(path) != FALSE;
}

void platformPathText(const wchar_t* path, char* text, size_t capacity) {
    if (capacity == 0) {
        return;
    }
    // No best fit: a name must never read as some other name, even here.
    const int length = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, path, -1, text,
                                           static_cast<int>(capacity), "?", nullptr);
    if (length == 0) {
        text[0] = '\0';
    }
    text[capacity - 1] = '\0';
}

static bool fileIdentity(const wchar_t* path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE handle = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    BOOL ok = GetFileInformationByHandle(handle, info);
    CloseHandle(handle);
    return ok != FALSE;
}

bool platformSameFile(const wchar_t* first, const wchar_t* second) {
    // File names ignore case here, so page.HTML and page.html are one file;
    // the comparison is the file system's own, by code point, not by locale.
    if (CompareStringOrdinal(first, -1, second, -1, TRUE) == CSTR_EQUAL) {
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

void platformStartWriteback(FILE*) {
    // The system's lazy writer starts on written data by itself.
}

bool platformReplaceFile(const wchar_t* source, const wchar_t* target, bool forceToDisk) {
    // ReplaceFileW keeps the old file's attributes and security descriptor,
    // but needs an old file; a plain move serves only where there is none.
    if (GetFileAttributesW(target) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() == ERROR_FILE_NOT_FOUND) {
        return MoveFileExW(source, target, forceToDisk ? MOVEFILE_WRITE_THROUGH : 0) != FALSE;
    }
    return ReplaceFileW(target, source, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                        nullptr) != FALSE;
}

// The final path of what `path` names, links followed ("\\?\C:\..." form,
// which also reaches paths longer than MAX_PATH).
static bool finalPath(const wchar_t* path, wchar_t* out, size_t capacity) {
    HANDLE handle = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const DWORD length = GetFinalPathNameByHandleW(handle, out, static_cast<DWORD>(capacity),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    const DWORD reason = GetLastError();
    CloseHandle(handle);
    if (length == 0) {
        SetLastError(reason);
        return false;
    }
    if (length >= capacity) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return true;
}

// Units a path may take in the "\\?\" form, terminator included.
constexpr size_t LONG_PATH_CAPACITY = 32768;

bool platformResolveFile(const wchar_t* name, wchar_t* resolved, size_t capacity) {
    if (finalPath(name, resolved, capacity)) {
        return true;
    }
    if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        return false;
    }
    // Nothing (or a link to nothing) of that name: it goes in its folder.
    const size_t nameLength = std::wcslen(name);
    size_t leaf = nameLength;
    while (leaf > 0 && !isPathSeparator(name[leaf - 1])) {
        --leaf;
    }
    static wchar_t folder[LONG_PATH_CAPACITY];
    if (leaf == 0) {
        std::wcscpy(folder, L".");
    } else {
        // A root keeps its separator (C:\ and \\?\C:\ as much as a lone \);
        // any other folder is named without it.
        size_t folderLength = leaf - 1;
        if (folderLength == 0 || name[folderLength - 1] == L':') {
            folderLength = leaf;
        }
        if (folderLength >= LONG_PATH_CAPACITY) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return false;
        }
        std::wmemcpy(folder, name, folderLength);
        folder[folderLength] = L'\0';
    }
    if (!finalPath(folder, resolved, capacity)) {
        return false;
    }
    size_t length = std::wcslen(resolved);
    const bool separated = length > 0 && resolved[length - 1] == L'\\';
    if (length + 1 + (nameLength - leaf) >= capacity) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    if (!separated) {
        resolved[length++] = L'\\';
    }
    std::wcscpy(resolved + length, name + leaf);
    return true;
}

bool platformFileExists(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool platformProgramFolderFile(const wchar_t* name, wchar_t* path, size_t capacity) {
    // The program may sit deeper than MAX_PATH: the whole range is asked for.
    // A result that fills the buffer was cut short.
    static wchar_t module[LONG_PATH_CAPACITY];
    const DWORD length = GetModuleFileNameW(nullptr, module, LONG_PATH_CAPACITY);
    if (length == 0) {
        return false;
    }
    if (length >= LONG_PATH_CAPACITY) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    size_t folder = length; // up to and including the last separator
    while (folder > 0 && !isPathSeparator(module[folder - 1])) {
        --folder;
    }
    if (folder == 0) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    // Past MAX_PATH units a path opens only in the "\\?\" form, which the
    // module's path (full, with backslashes) takes as it is.
    const size_t nameLength = std::wcslen(name);
    const wchar_t* prefix = L"";
    size_t skipped = 0;
    const bool prefixed =
        std::wcsncmp(module, L"\\\\?\\", 4) == 0 || std::wcsncmp(module, L"\\\\.\\", 4) == 0;
    if (folder + nameLength >= MAX_PATH && !prefixed) {
        if (module[0] == L'\\' && module[1] == L'\\') {
            prefix = L"\\\\?\\UNC\\"; // "\\server\share" becomes "\\?\UNC\server\share"
            skipped = 2;
        } else {
            prefix = L"\\\\?\\";
        }
    }
    const size_t prefixLength = std::wcslen(prefix);
    if (prefixLength + folder - skipped + nameLength >= capacity) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    std::wmemcpy(path, prefix, prefixLength);
    std::wmemcpy(path + prefixLength, module + skipped, folder - skipped);
    std::wcscpy(path + prefixLength + folder - skipped, name);
    return true;
}

FILE* platformCreateNewFile(const wchar_t* path, const FileModel* model, bool* nameTaken) {
    *nameTaken = false;
    // The attributes a user sets by hand; ReplaceFileW carries them over on
    // Windows, but not every implementation of it does.
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    const DWORD old = model != nullptr && model->exists ? model->mode : INVALID_FILE_ATTRIBUTES;
    if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        const DWORD kept = old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        if (kept != 0) {
            attributes = kept;
        }
    }
    HANDLE handle = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD reason = GetLastError();
        *nameTaken = reason == ERROR_FILE_EXISTS || reason == ERROR_ALREADY_EXISTS;
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd == -1) {
        CloseHandle(handle);
        DeleteFileW(path);
        return nullptr;
    }
    FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) {
        _close(fd);
        DeleteFileW(path);
    }
    return file;
}

int platformLastError() {
    return static_cast<int>(GetLastError());
}

unsigned long platformProcessId() {
    return GetCurrentProcessId();
}

WritePlace platformWritePlace(const wchar_t* path, FileModel* model) {
    const DWORD attributes = GetFileAttributesW(path);
    if (model != nullptr) {
        model->exists = false;
    }
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return PLACE_WRITABLE;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return PLACE_NOT_A_FILE;
    }
    if (model != nullptr) {
        *model = FileModel{true, attributes, 0, 0};
    }
    return (attributes & FILE_ATTRIBUTE_READONLY) != 0 ? PLACE_READ_ONLY : PLACE_WRITABLE;
}

bool platformResolveLink(const wchar_t* name, wchar_t* resolved, size_t capacity) {
    // ReplaceFileW and long paths want the full path.
    return platformResolveFile(name, resolved, capacity);
}

bool platformOrdinaryFileOrMissing(const wchar_t* path) {
    DWORD attributes = GetFileAttributesW(path);
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
