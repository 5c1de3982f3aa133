// The command-line converter for Linux and macOS: converts every file named
// on the command line with the keywords of "TintMark.dat" in the current
// directory, and says on stderr what it skipped.
#include <cstdio>

#include "core/decoration_table.h"
#include "core/file_batch.h"
#include "settings/settings_file.h"

static void reportSkipped(const char* inputPath, FileOutcome outcome) {
    if (outcomeIsFailure(outcome)) {
        std::fprintf(stderr, "tintmark: %s: %s\n", inputPath, outcomeText(outcome));
    }
}

int main(int argc, char** argv) {
    if (argc <= 1) {
        std::fprintf(stderr, "usage: tintmark FILE...  (writes FILE's name up to its last '.' "
                             "followed by \"html\", using TintMark.dat in the current "
                             "directory)\n");
        return 2;
    }
    loadSettings();
    const bool allConverted = convertFiles(argc - 1, argv + 1, reportSkipped);
    // Nothing is saved in this mode, so the keyword copies are released here.
    releaseKeywords();
    return allConverted ? 0 : 1;
}
