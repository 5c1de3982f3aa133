#include "core/file_batch.h"

#include <cstdio>
#include <cstring>

#include "core/diagnostics.h"
#include "core/line_decorator.h"
#include "platform/platform.h"

FileBatch fileBatch;

static const PathChar OUTPUT_EXTENSION[] = PATH_TEXT("html");
constexpr int OUTPUT_EXTENSION_LENGTH =
    static_cast<int>(sizeof OUTPUT_EXTENSION / sizeof(PathChar)) - 1;

// A path as trace shows it.
static void tracePath(const PathChar* path) {
#ifdef TINTMARK_TRACE
    char text[4 * PATH_SLOT];
    platformPathText(path, text, sizeof text);
    trace("%s\n", text);
#else
    (void)path;
#endif
}

bool setInputPath(int slot, const PathChar* path) {
    const size_t length = pathLength(path, PATH_SLOT);
    if (length > static_cast<size_t>(MAX_PATH_LENGTH)) {
        // Cutting it would name some other file.
        markInputTooLong(slot);
        return false;
    }
    std::memcpy(fileBatch.inputPaths[slot], path, length * sizeof(PathChar));
    fileBatch.inputPaths[slot][length] = 0;
    fileBatch.outcomes[slot] = FILE_PENDING;
    return true;
}

void markInputTooLong(int slot) {
    fileBatch.inputPaths[slot][0] = '\0';
    fileBatch.outcomes[slot] = FILE_SKIPPED_PATH_TOO_LONG;
}

void makeOutputPaths(int32_t n) {
    for (int32_t i = 0; i < n && i < BATCH_SLOTS; ++i) {
        if (fileBatch.outcomes[i] != FILE_PENDING) {
            continue;
        }
        const PathChar* input = fileBatch.inputPaths[i];
        // A slot always holds a terminator; the cap guards a slot filled by hand.
        const int length = static_cast<int>(pathLength(input, PATH_SLOT - 1));
        // The last '.' anywhere in the path, directories included; index 0
        // is never examined.
        int dot = 0;
        for (int d = length; d >= 1; --d) {
            if (input[d] == '.') {
                dot = d;
                break;
            }
        }
        if (dot == 0) {
            fileBatch.outcomes[i] = FILE_SKIPPED_NO_EXTENSION;
            continue;
        }
        const int outputLength = dot + 1 + OUTPUT_EXTENSION_LENGTH;
        if (outputLength > MAX_PATH_LENGTH) {
            fileBatch.outcomes[i] = FILE_SKIPPED_OUTPUT_TOO_LONG;
            continue;
        }
        PathChar* output = fileBatch.outputPaths[i];
        std::memcpy(output, input, static_cast<size_t>(dot + 1) * sizeof(PathChar));
        std::memcpy(output + dot + 1, OUTPUT_EXTENSION,
                    static_cast<size_t>(OUTPUT_EXTENSION_LENGTH + 1) * sizeof(PathChar));
        tracePath(output);
    }
}

// Converts slot i when it is still pending.
static void convertSlot(int32_t i) {
    if (fileBatch.outcomes[i] != FILE_PENDING) {
        return;
    }
    // Opening the output would empty the input before it is read.
    if (platformSameFile(fileBatch.inputPaths[i], fileBatch.outputPaths[i])) {
        fileBatch.outcomes[i] = FILE_SKIPPED_SAME_FILE;
        return;
    }
    fileBatch.outcomes[i] = decorateFileResult(fileBatch.inputPaths[i], fileBatch.outputPaths[i]);
}

void convertBatch(int32_t n) {
    for (int32_t i = 0; i < n && i < BATCH_SLOTS; ++i) {
        convertSlot(i);
    }
}

// The slots are filled and named a batch at a time, as before, but converted
// one by one so that the listener hears of each file as it happens and can
// stop between two files.
bool convertFiles(int count, const PathChar* const* paths, const BatchListener* listener) {
    static const BatchListener silent = {nullptr, nullptr, nullptr, nullptr};
    const BatchListener& hear = listener != nullptr ? *listener : silent;
    bool allDone = true;
    for (int first = 0; first < count; first += BATCH_SLOTS) {
        const int n = count - first < BATCH_SLOTS ? count - first : BATCH_SLOTS;
        for (int i = 0; i < n; ++i) {
            setInputPath(i, paths[first + i]);
        }
        makeOutputPaths(n);
        for (int i = 0; i < n; ++i) {
            if (hear.stopping != nullptr && hear.stopping(hear.context)) {
                return false;
            }
            const PathChar* path = paths[first + i];
            if (hear.starting != nullptr) {
                hear.starting(hear.context, first + i, path);
            }
            convertSlot(i);
            const FileOutcome outcome = fileBatch.outcomes[i];
            allDone = allDone && !outcomeIsFailure(outcome);
            if (hear.finished != nullptr) {
                hear.finished(hear.context, first + i, path, outcome);
            }
        }
    }
    return allDone;
}
