// Random paths through the batch's output naming, filled the way the command
// line (setInputPath for every path) and the drop handler (markInputTooLong
// for a path that does not fit) fill it, compared with the naming rule
// written out plainly here.
#include <cstdio>
#include <cstring>

#include "cli/outcome_text.h"
#include "core/file_batch.h"
#include "fuzz/fuzz_support.h"
#include "platform/platform.h"

namespace {

constexpr size_t INPUT_LIMIT = 1 << 16;
char pathBytes[INPUT_LIMIT + 1];
const char* paths[INPUT_LIMIT + 2];

struct Expected {
    FileOutcome outcome;
    char output[PATH_SLOT + 8];
};

// The input up to and including its last '.' after the first byte, then
// "html"; no such '.', or a path or a name over 255 bytes, is skipped.
Expected expectedFor(const char* path) {
    Expected expected{FILE_PENDING, {}};
    const size_t length = std::strlen(path);
    if (length > static_cast<size_t>(MAX_PATH_LENGTH)) {
        expected.outcome = FILE_SKIPPED_PATH_TOO_LONG;
        return expected;
    }
    size_t dot = 0;
    for (size_t d = 1; d < length; ++d) {
        if (path[d] == '.') {
            dot = d;
        }
    }
    if (dot == 0) {
        expected.outcome = FILE_SKIPPED_NO_EXTENSION;
    } else if (dot + 1 + 4 > static_cast<size_t>(MAX_PATH_LENGTH)) {
        expected.outcome = FILE_SKIPPED_OUTPUT_TOO_LONG;
    } else {
        std::memcpy(expected.output, path, dot + 1);
        std::memcpy(expected.output + dot + 1, "html", 5);
    }
    return expected;
}

struct SlotCopy {
    FileOutcome outcome;
    char input[PATH_SLOT];
    char output[PATH_SLOT];
};

SlotCopy copySlot(int slot) {
    SlotCopy copy;
    copy.outcome = fileBatch.outcomes[slot];
    std::memcpy(copy.input, fileBatch.inputPaths[slot], PATH_SLOT);
    std::memcpy(copy.output, fileBatch.outputPaths[slot], PATH_SLOT);
    return copy;
}

bool slotUnchanged(int slot, const SlotCopy& copy) {
    return copy.outcome == fileBatch.outcomes[slot] &&
           std::memcmp(copy.input, fileBatch.inputPaths[slot], PATH_SLOT) == 0 &&
           std::memcmp(copy.output, fileBatch.outputPaths[slot], PATH_SLOT) == 0;
}

[[noreturn]] void failAt(int slot, const char* path, const char* what) {
    std::fprintf(stderr, "slot %d, path of %zu bytes: outcome %d (%s)\n", slot, std::strlen(path),
                 fileBatch.outcomes[slot], outcomeText(fileBatch.outcomes[slot]));
    fuzzFail(what);
}

void checkSlot(int slot, const char* path) {
    const Expected expected = expectedFor(path);
    const FileOutcome outcome = fileBatch.outcomes[slot];
    if (outcome != expected.outcome) {
        std::fprintf(stderr, "expected outcome %d (%s)\n", expected.outcome,
                     outcomeText(expected.outcome));
        failAt(slot, path, "a path got the wrong outcome");
    }
    const char* input = fileBatch.inputPaths[slot];
    if (std::memchr(input, '\0', PATH_SLOT) == nullptr) {
        failAt(slot, path, "an input slot is not terminated");
    }
    if (outcome == FILE_SKIPPED_PATH_TOO_LONG) {
        if (input[0] != '\0') {
            failAt(slot, path, "a path too long to hold left bytes in its slot");
        }
        return;
    }
    if (std::strcmp(input, path) != 0) {
        failAt(slot, path, "an input slot does not hold its path");
    }
    if (outcome != FILE_PENDING) {
        return;
    }
    const char* output = fileBatch.outputPaths[slot];
    if (std::memchr(output, '\0', PATH_SLOT) == nullptr) {
        failAt(slot, path, "an output slot is not terminated");
    }
    if (std::strlen(output) > static_cast<size_t>(MAX_PATH_LENGTH)) {
        failAt(slot, path, "an output path is longer than 255 bytes");
    }
    if (std::strcmp(output, expected.output) != 0) {
        failAt(slot, path, "an output path differs from the naming rule");
    }
    // "page.html" names itself; the conversion must see that and skip it.
    if (std::strcmp(output, input) == 0 && !platformSameFile(input, output)) {
        failAt(slot, path, "an output that is its own input is not seen as the same file");
    }
}

} // namespace

// Input layout: a flags byte (bit 0 fill as the drop handler does, bit 1
// derive the names twice, bit 2 first ask for a batch of no files), then the
// paths, separated by zero bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const uint8_t flags = data[0];
    size = size - 1 > INPUT_LIMIT ? INPUT_LIMIT : size - 1;
    std::memcpy(pathBytes, data + 1, size);
    pathBytes[size] = '\0';
    int count = 0;
    paths[count++] = pathBytes;
    for (size_t i = 0; i < size; ++i) {
        if (pathBytes[i] == '\0') {
            paths[count++] = pathBytes + i + 1;
        }
    }

    // Successive batches of at most BATCH_SLOTS paths, as convertFiles and
    // the drop handler make them.
    for (int first = 0; first < count; first += BATCH_SLOTS) {
        const int n = count - first < BATCH_SLOTS ? count - first : BATCH_SLOTS;
        for (int i = 0; i < n; ++i) {
            const char* path = paths[first + i];
            const bool fits = std::strlen(path) <= static_cast<size_t>(MAX_PATH_LENGTH);
            if (flags & 1 && !fits) {
                markInputTooLong(i);
            } else if (setInputPath(i, path) != fits) {
                failAt(i, path, "setInputPath's result disagrees with the path's length");
            }
        }
        if (flags & 4) {
            const SlotCopy slot0 = copySlot(0);
            makeOutputPaths(0);
            makeOutputPaths(flags & 8 ? -1 : INT32_MIN);
            if (!slotUnchanged(0, slot0)) {
                fuzzFail("a batch of no files changed slot 0");
            }
        }
        const SlotCopy after = copySlot(n < BATCH_SLOTS ? n : 0);
        makeOutputPaths(n);
        if (flags & 2) {
            makeOutputPaths(n);
        }
        if (n < BATCH_SLOTS && !slotUnchanged(n, after)) {
            fuzzFail("deriving names changed a slot past the batch");
        }
        for (int i = 0; i < n; ++i) {
            checkSlot(i, paths[first + i]);
        }
    }
    return 0;
}
