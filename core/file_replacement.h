// Writing a file so that its name holds, whatever happens, what it held
// before (a file or none) or the whole of what was written: the new bytes go
// to a temporary file beside it, which takes the name in one step once it
// has been written and closed without an error. A process killed part way
// leaves at most that temporary behind, under a name that says what it is.
#pragma once

#include <cstddef>
#include <cstdio>

#include "platform/path_text.h"
#include "platform/platform.h"

enum ReplaceProblem {
    REPLACE_DONE,          // nothing went wrong
    REPLACE_READ_ONLY,     // the file is marked read-only
    REPLACE_NOT_A_FILE,    // a folder, pipe or device holds the name
    REPLACE_PATH_TOO_LONG, // no temporary name fits beside the file
    REPLACE_SYSTEM_ERROR,  // the system refused a step: see systemError
};

// One file being replaced. Two full paths large: callers keep it in static
// storage.
struct FileReplacement {
    FILE* file;             // the temporary, open to write in binary; null when none is
    ReplaceProblem problem; // why the latest step failed
    int systemError;        // errno natively, GetLastError on Windows; 0 when none
    FileModel model;        // what the target held, for the temporary to start with
    // The file replaced, links followed (see findReplacementTarget); the
    // name as given (as much as fits) when even that could not be found.
    PathChar target[FULL_PATH_CAPACITY];
    PathChar temporary[FULL_PATH_CAPACITY];
};

// Finds the file that `name` (a path, or a bare name in the current folder)
// stands for and whether it may be replaced: an ordinary file or nothing,
// not marked read-only. False, with the problem, when it may not. With
// `fullPath` the target is a full path everywhere, to be shown to the user;
// without it the name is kept as given where the platform allows, which
// spares a batch of small files a look at every folder of each path.
bool findReplacementTarget(FileReplacement* replacement, const PathChar* name, bool fullPath);

// Creates and opens the temporary beside the target found, never opening a
// file that exists already (a stranger's of that name is left alone): named
// "<target>.tmp-<process id>-<counter>", the target's last component cut
// where it is long. False, with the problem, when none can be made.
bool openReplacement(FileReplacement* replacement);

// findReplacementTarget, the name kept as given where it may be, then
// openReplacement.
bool beginReplacement(FileReplacement* replacement, const PathChar* name);

// Ends a replacement whose temporary is open. When everything was written
// (writeOk), forces it to the disk when asked, closes it and puts it in the
// target's place, which keeps the target's permissions or attributes where
// the platform can. When anything failed the temporary is removed and the
// target left as it was. True when the target now holds the new bytes.
bool finishReplacement(FileReplacement* replacement, bool writeOk, bool forceToDisk);

// Forces a written file to the disk when asked, and closes it. False when
// writeOk is false or any step fails; *reason then holds the first failing
// step's error (taken at once for a failed write), not a later one's.
bool closeWrittenFile(FILE* file, bool writeOk, bool forceToDisk, int* reason);
