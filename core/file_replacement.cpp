// Overview: the target's name is resolved to the file it stands for (links
// followed, a full path that reaches long paths), the temporary is created
// in that file's folder under a name nothing else holds, and, once written
// and closed, put in the target's place in one step by the platform's
// replace. Until that step the target is untouched. Costs a few system calls
// a file besides the writing; nothing is forced to the disk unless asked.
#include "core/file_replacement.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

// Of the target's last component the temporary's name keeps at most this
// many units, so that it stays within what file systems take for one
// component even where each unit becomes three bytes (UTF-16 names on a
// UTF-8 file system).
constexpr size_t TEMPORARY_LEAF_LIMIT = 64;
// The most units the suffix takes: ".tmp-", a process id and '-' and a
// counter of at most 20 digits each.
constexpr size_t TEMPORARY_SUFFIX_ROOM = sizeof ".tmp-" - 1 + 20 + 1 + 20;

// Counts the temporary names this process has tried, so that a name once
// used is never tried again, even for a later file.
static unsigned long temporaryCounter;

static bool fail(FileReplacement* replacement, ReplaceProblem problem, int systemError) {
    replacement->problem = problem;
    replacement->systemError = systemError;
    return false;
}

bool findReplacementTarget(FileReplacement* replacement, const PathChar* name, bool fullPath) {
    replacement->file = nullptr;
    replacement->temporary[0] = 0;
    replacement->problem = REPLACE_DONE;
    replacement->systemError = 0;
    const bool found = fullPath
                           ? platformResolveFile(name, replacement->target, FULL_PATH_CAPACITY)
                           : platformResolveLink(name, replacement->target, FULL_PATH_CAPACITY);
    if (!found) {
        const int reason = platformLastError();
        const size_t length = pathLength(name, FULL_PATH_CAPACITY - 1);
        std::memcpy(replacement->target, name, length * sizeof(PathChar));
        replacement->target[length] = 0;
        return fail(replacement, REPLACE_SYSTEM_ERROR, reason);
    }
    // A file the user marked read-only is left as it is, even where the user
    // could override the mark. A pipe would wait for a reader forever.
    switch (platformWritePlace(replacement->target, &replacement->model)) {
    case PLACE_WRITABLE:
        return true;
    case PLACE_READ_ONLY:
        return fail(replacement, REPLACE_READ_ONLY, 0);
    case PLACE_NOT_A_FILE:
        break;
    }
    return fail(replacement, REPLACE_NOT_A_FILE, 0);
}

// Makes "<target>.tmp-<process id>-<counter>" in temporary, the target's
// last component cut (never inside a character) where it is longer than
// TEMPORARY_LEAF_LIMIT or the whole would not fit. False when not even the
// suffix fits beside the folder.
static bool makeTemporaryName(FileReplacement* replacement) {
    char suffix[TEMPORARY_SUFFIX_ROOM + 1];
    const int suffixLength = std::snprintf(suffix, sizeof suffix, ".tmp-%lu-%lu",
                                           platformProcessId(), ++temporaryCounter);
    const PathChar* target = replacement->target;
    const size_t length = pathLength(target, FULL_PATH_CAPACITY);
    size_t leaf = length;
    while (leaf > 0 && !isPathSeparator(target[leaf - 1])) {
        --leaf;
    }
    if (leaf + static_cast<size_t>(suffixLength) >= FULL_PATH_CAPACITY) {
        return false;
    }
    size_t kept = length - leaf;
    const size_t room = FULL_PATH_CAPACITY - 1 - leaf - static_cast<size_t>(suffixLength);
    if (kept > TEMPORARY_LEAF_LIMIT || kept > room) {
        kept = TEMPORARY_LEAF_LIMIT < room ? TEMPORARY_LEAF_LIMIT : room;
        while (kept > 0 && continuesCharacter(target[leaf + kept])) {
            --kept;
        }
    }
    PathChar* temporary = replacement->temporary;
    std::memcpy(temporary, target, (leaf + kept) * sizeof(PathChar));
    for (int i = 0; i <= suffixLength; ++i) {
        temporary[leaf + kept + static_cast<size_t>(i)] = static_cast<PathChar>(suffix[i]);
    }
    return true;
}

bool openReplacement(FileReplacement* replacement) {
    // A name is taken only by a stranger's file or one a killed process of
    // this id left; a few tries step past such files, which stay as they are.
    for (int attempt = 0; attempt < 16; ++attempt) {
        if (!makeTemporaryName(replacement)) {
            return fail(replacement, REPLACE_PATH_TOO_LONG, 0);
        }
        bool nameTaken = false;
        replacement->file =
            platformCreateNewFile(replacement->temporary, &replacement->model, &nameTaken);
        if (replacement->file != nullptr) {
            return true;
        }
        fail(replacement, REPLACE_SYSTEM_ERROR, platformLastError());
        if (!nameTaken) {
            break;
        }
    }
    replacement->temporary[0] = 0;
    return false;
}

bool beginReplacement(FileReplacement* replacement, const PathChar* name) {
    return findReplacementTarget(replacement, name, false) && openReplacement(replacement);
}

bool closeWrittenFile(FILE* file, bool writeOk, bool forceToDisk, int* reason) {
    bool ok = writeOk && (!forceToDisk || platformSyncFile(file));
    *reason = ok ? 0 : platformLastError();
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        *reason = platformLastError();
    }
    return ok;
}

bool finishReplacement(FileReplacement* replacement, bool writeOk, bool forceToDisk) {
    int reason = 0;
    bool ok = closeWrittenFile(replacement->file, writeOk, forceToDisk, &reason);
    replacement->file = nullptr;
    if (ok && !platformReplaceFile(replacement->temporary, replacement->target, forceToDisk)) {
        reason = platformLastError();
        ok = false;
    }
    if (!ok) {
        fail(replacement, REPLACE_SYSTEM_ERROR, reason);
        platformRemoveFile(replacement->temporary);
    }
    replacement->temporary[0] = 0;
    return ok;
}
