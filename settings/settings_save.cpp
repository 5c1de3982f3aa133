// Overview: the table is written to a new temporary file beside the file it
// replaces (links followed), forced to the disk, then put in the old file's
// place in one step; until that step the old file is untouched, so a save
// that fails or is killed at any moment leaves the old file or the new one,
// whole. Where the folder takes no new file, the old file is written in
// place, its bytes put back on failure.
#include "settings/settings_save.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/text_writer.h"
#include "platform/platform.h"
#include "settings/settings_format.h"

SaveFailure saveFailure;

// The whole of the file at `path` in a heap block the caller frees, for
// writing back if an in-place save fails. A missing file gives true with no
// block; a file that cannot be read or held gives false.
static bool keepOldBytes(const PathChar* path, char** bytes, size_t* length) {
    *bytes = nullptr;
    *length = 0;
    FILE* file = platformOpenFile(path, "rb");
    if (file == nullptr) {
        return errno == ENOENT;
    }
    size_t capacity = 0;
    bool ok = true;
    for (;;) {
        if (*length == capacity) {
            capacity = capacity == 0 ? 4096 : capacity * 2;
            char* larger = static_cast<char*>(std::realloc(*bytes, capacity));
            if (larger == nullptr) {
                ok = false;
                break;
            }
            *bytes = larger;
        }
        const size_t got = std::fread(*bytes + *length, 1, capacity - *length, file);
        *length += got;
        if (got == 0) {
            ok = std::ferror(file) == 0;
            break;
        }
    }
    std::fclose(file);
    if (!ok) {
        std::free(*bytes);
        *bytes = nullptr;
    }
    return ok;
}

static void writeBack(const PathChar* path, const char* bytes, size_t length) {
    FILE* file = platformOpenFile(path, "wb");
    if (file != nullptr) {
        std::fwrite(bytes, 1, length, file);
        std::fclose(file);
    }
}

// The save's working paths: the file written (links resolved) and the
// temporary file beside it. Static, as they may be tens of kilobytes.
static PathChar targetPath[SETTINGS_PATH_CAPACITY];
static PathChar temporaryPath[SETTINGS_PATH_CAPACITY];
// Counts the temporary names this process has tried, so a name once used is
// never tried again, even by a later save.
static unsigned long temporaryCounter;

static void fail(SaveProblem problem, int systemError) {
    saveFailure.problem = problem;
    saveFailure.systemError = systemError;
}

// Writes the table into `file`, forced to the disk when asked, and closes
// it. False when any step failed; *reason then holds the first failing
// step's own error, not a later one's.
static bool writeAndClose(FILE* file, bool forceToDisk, int* reason) {
    TextWriter out;
    attachTextWriter(&out, file);
    writeSettings(&out);
    bool ok = flushTextWriter(&out) && (!forceToDisk || platformSyncFile(file));
    *reason = ok ? 0 : platformLastError();
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        *reason = platformLastError();
    }
    return ok;
}

// Appends the decimal digits of `value` at `text[*length]`.
static void appendNumber(PathChar* text, size_t* length, unsigned long value) {
    char digits[24];
    const int count = std::snprintf(digits, sizeof digits, "%lu", value);
    for (int i = 0; i < count; ++i) {
        text[(*length)++] = static_cast<PathChar>(digits[i]);
    }
}

// Makes "<target>.<process id>-<counter>.tmp" in temporaryPath. False when
// it does not fit.
static bool makeTemporaryName() {
    static const char SUFFIX[] = ".tmp";
    const size_t base = pathLength(targetPath, SETTINGS_PATH_CAPACITY);
    if (base + TEMPORARY_NAME_ROOM > SETTINGS_PATH_CAPACITY) {
        return false;
    }
    size_t length = base;
    std::memcpy(temporaryPath, targetPath, base * sizeof(PathChar));
    temporaryPath[length++] = '.';
    appendNumber(temporaryPath, &length, platformProcessId());
    temporaryPath[length++] = '-';
    appendNumber(temporaryPath, &length, ++temporaryCounter);
    for (const char* c = SUFFIX; *c != '\0'; ++c) {
        temporaryPath[length++] = static_cast<PathChar>(*c);
    }
    temporaryPath[length] = 0;
    return true;
}

// Opens a temporary file of a name nothing else holds, beside the target.
// Null when none can be made; saveFailure then holds the reason.
static FILE* createTemporaryFile() {
    // A name is taken only by a file of this process's id left by an older
    // process; a few tries step past such leftovers.
    for (int attempt = 0; attempt < 16; ++attempt) {
        if (!makeTemporaryName()) {
            fail(SAVE_PATH_TOO_LONG, 0);
            return nullptr;
        }
        bool nameTaken = false;
        FILE* file = platformCreateNewFile(temporaryPath, targetPath, &nameTaken);
        if (file != nullptr) {
            return file;
        }
        fail(SAVE_SYSTEM_ERROR, platformLastError());
        if (!nameTaken) {
            break;
        }
    }
    return nullptr;
}

// Writes the table over the target itself, for a folder where no new file
// can be made. The old bytes are kept first and put back if the new ones
// cannot all be written; an old file that cannot be kept is not touched.
static bool saveInPlace() {
    char* oldBytes = nullptr;
    size_t oldLength = 0;
    if (!keepOldBytes(targetPath, &oldBytes, &oldLength)) {
        fail(SAVE_SYSTEM_ERROR, platformLastError());
        return false;
    }
    FILE* file = platformOpenFile(targetPath, "wb");
    if (file == nullptr) {
        fail(SAVE_SYSTEM_ERROR, platformLastError());
        std::free(oldBytes);
        return false;
    }
    int reason = 0;
    const bool ok = writeAndClose(file, false, &reason);
    if (!ok) {
        fail(SAVE_SYSTEM_ERROR, reason);
        if (oldBytes != nullptr) {
            writeBack(targetPath, oldBytes, oldLength);
        }
    }
    std::free(oldBytes);
    return ok;
}

bool saveSettings() {
    fail(SAVE_DONE, 0);
    const PathChar* path = settingsPath();
    if (!platformResolveFile(path, targetPath, SETTINGS_PATH_CAPACITY)) {
        fail(SAVE_SYSTEM_ERROR, platformLastError());
        // setSettingsPath took only what fits.
        std::memcpy(saveFailure.path, path,
                    (pathLength(path, SETTINGS_PATH_CAPACITY - 1) + 1) * sizeof(PathChar));
        return false;
    }
    std::memcpy(saveFailure.path, targetPath, sizeof targetPath);
    // A file the user marked read-only is left as it is, even where the user
    // could override the mark.
    if (platformFileReadOnly(targetPath)) {
        fail(SAVE_READ_ONLY, 0);
        return false;
    }
    // A folder, a pipe or a device: a pipe would wait for a reader forever.
    if (!platformOrdinaryFileOrMissing(targetPath)) {
        fail(SAVE_NOT_A_FILE, 0);
        return false;
    }
    FILE* file = createTemporaryFile();
    if (file == nullptr) {
        return saveInPlace();
    }
    int reason = 0;
    bool ok = writeAndClose(file, true, &reason);
    if (ok && !platformReplaceFile(temporaryPath, targetPath)) {
        reason = platformLastError();
        ok = false;
    }
    if (!ok) {
        fail(SAVE_SYSTEM_ERROR, reason);
        platformRemoveFile(temporaryPath);
    }
    return ok;
}
