// The command-line converter for Linux and macOS: converts every file named
// on the command line with the keywords of "TintMark.dat" in the current
// directory, and says on stderr what it skipped.
//
// Options come before the files: --help and --version print and exit 0,
// "--" ends the options so that a file named "--help" can be converted. Any
// other argument, even one that starts with '-', is a file, as it always was.
#include <cstdio>
#include <cstring>

#include "core/decoration_table.h"
#include "core/file_batch.h"
#include "settings/settings_file.h"
#include "tintmark_version.h"

static const char usageText[] =
    "usage: tintmark [--] FILE...  (writes FILE's name up to its last '.' followed by \"html\", "
    "using TintMark.dat in the current directory)\n";

static const char helpText[] =
    "Converts each FILE, plain text in code page 932, into an HTML fragment with the\n"
    "keywords of TintMark.dat in the current directory decorated. The output goes\n"
    "beside the input: its path up to and including its last '.', then \"html\".\n"
    "\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n"
    "  --         end of the options: every later argument is a file\n"
    "\n"
    "Exit status: 0 when every file was converted, 1 when one was skipped or\n"
    "could not be read (each named on stderr), 2 when no file was given.\n";

static void reportSkipped(const char* inputPath, FileOutcome outcome) {
    if (outcomeIsFailure(outcome)) {
        std::fprintf(stderr, "tintmark: %s: %s\n", inputPath, outcomeText(outcome));
    }
}

int main(int argc, char** argv) {
    int first = 1;
    while (first < argc) {
        const char* arg = argv[first];
        if (std::strcmp(arg, "--") == 0) {
            ++first;
            break;
        }
        if (std::strcmp(arg, "--help") == 0) {
            std::fputs(usageText, stdout);
            std::fputs(helpText, stdout);
            return 0;
        }
        if (std::strcmp(arg, "--version") == 0) {
            std::fputs("tintmark " TINTMARK_VERSION "\n", stdout);
            return 0;
        }
        break;
    }
    if (first >= argc) {
        std::fputs(usageText, stderr);
        return 2;
    }
    loadSettings();
    const bool allConverted = convertFiles(argc - first, argv + first, reportSkipped);
    // Nothing is saved in this mode, so the keyword copies are released here.
    releaseKeywords();
    return allConverted ? 0 : 1;
}
