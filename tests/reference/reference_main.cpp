// tintmark_reference INPUT OUTPUT: converts one file with the plain line
// algorithm and the keywords of "TintMark.dat" in the current directory, for
// timing and comparing against the real converter.
#include <cstdio>

#include "settings/settings_file.h"
#include "tests/reference/line_reference.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tintmark_reference INPUT OUTPUT\n");
        return 2;
    }
    loadSettings();
    return referenceDecorateFile(argv[1], argv[2]) ? 0 : 1;
}
