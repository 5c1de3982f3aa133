// Overview: the table is written through a file replacement
// (core/file_replacement), forced to the disk, so that a save that fails or
// is killed at any moment leaves the old file or the new one, whole: the
// settings file is the user's only copy of the table. Where the folder takes
// no new file, the old file is written in place, its bytes put back on
// failure.
#include "settings/settings_save.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/file_replacement.h"
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

// The file written (links resolved) and the temporary beside it. Static, as
// its paths may be tens of kilobytes.
static FileReplacement replacement;

static void fail(SaveProblem problem, int systemError) {
    saveFailure.problem = problem;
    saveFailure.systemError = systemError;
}

// Writes the table into `file`; false when a write failed.
static bool writeTable(FILE* file) {
    TextWriter out;
    attachTextWriter(&out, file);
    writeSettings(&out);
    return flushTextWriter(&out);
}

// Writes the table over the target itself, for a folder where no new file
// can be made. The old bytes are kept first and put back if the new ones
// cannot all be written; an old file that cannot be kept is not touched.
static bool saveInPlace() {
    const PathChar* targetPath = replacement.target;
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
    const bool ok = closeWrittenFile(file, writeTable(file), false, &reason);
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
    const bool found = findReplacementTarget(&replacement, settingsPath(), true);
    std::memcpy(saveFailure.path, replacement.target, sizeof replacement.target);
    if (!found) {
        fail(static_cast<SaveProblem>(replacement.problem), replacement.systemError);
        return false;
    }
    if (!openReplacement(&replacement)) {
        return saveInPlace();
    }
    if (!finishReplacement(&replacement, writeTable(replacement.file), true)) {
        fail(SAVE_SYSTEM_ERROR, replacement.systemError);
        return false;
    }
    return true;
}
