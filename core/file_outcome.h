// What became of one file: the decorator's result for a file it converted,
// or the batch's reason for one it left alone.
#pragma once

#include <cstdint>

enum FileOutcome : uint8_t {
    FILE_PENDING,                 // has an output path, not converted yet
    FILE_CONVERTED,               // read to its end and written
    FILE_EMPTY_INPUT,             // input of size 0: empty output written
    FILE_INPUT_UNREADABLE,        // input could not be opened or read: empty output written
    FILE_OUTPUT_UNWRITABLE,       // output could not be opened or written: nothing converted
    FILE_SKIPPED_PATH_TOO_LONG,   // input path over 255 units
    FILE_SKIPPED_NO_EXTENSION,    // no '.' after the first byte: no output name
    FILE_SKIPPED_OUTPUT_TOO_LONG, // derived output path over 255 units
    FILE_SKIPPED_SAME_FILE,       // the output would overwrite the input itself
};

// True for the outcomes of files that were skipped or could not be read.
inline bool outcomeIsFailure(FileOutcome outcome) {
    return outcome != FILE_CONVERTED && outcome != FILE_EMPTY_INPUT;
}
