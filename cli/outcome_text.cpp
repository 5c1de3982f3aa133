#include "cli/outcome_text.h"

const char* outcomeText(FileOutcome outcome) {
    switch (outcome) {
    case FILE_PENDING:
        return "not converted";
    case FILE_CONVERTED:
        return "converted";
    case FILE_EMPTY_INPUT:
        return "empty input, empty output written";
    case FILE_INPUT_UNREADABLE:
        return "cannot read the input; an empty output was written";
    case FILE_OUTPUT_UNWRITABLE:
        return "cannot write the output; skipped";
    case FILE_SKIPPED_PATH_TOO_LONG:
        return "path longer than 255 bytes; skipped";
    case FILE_SKIPPED_NO_EXTENSION:
        return "no '.' in the path to derive an output name from; skipped";
    case FILE_SKIPPED_OUTPUT_TOO_LONG:
        return "output path would be longer than 255 bytes; skipped";
    case FILE_SKIPPED_SAME_FILE:
        return "output would overwrite the input itself; skipped";
    }
    return "unknown";
}
