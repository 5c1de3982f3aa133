// Drives the real tintmark.exe from outside, the way a user would: starts it
// in a prepared working directory, reads and works its windows through
// window messages, closes it and checks the settings file and converted
// files byte for byte.
//
// Usage: gui_driver GROUP TINTMARK_EXE WORK_DIR
// GROUP is list, editor, full, drop, save or place (or pose, for screenshots). WORK_DIR is a Unix
// path (the driver runs under Wine, where it is Z:\...); each scenario gets its own subdirectory.
// The drop group needs a drag source playing the file manager (xdnd_drop.py), which the calling
// script runs beside it.
//
// Across processes Wine answers the ANSI text messages in UTF-16, so texts
// are read with the W messages and turned into code page 932 bytes here.
#include "gui_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Group {
    const char* name;
    void (*run)();
};

const Group GROUPS[] = {
    {"list", gui::runListGroup},   {"editor", gui::runEditorGroup}, {"full", gui::runFullGroup},
    {"drop", gui::runDropGroup},   {"pose", gui::runPoseGroup},     {"save", gui::runSaveGroup},
    {"place", gui::runPlaceGroup},
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: gui_driver GROUP TINTMARK_EXE WORK_DIR\n");
        return 2;
    }
    const Group* group = nullptr;
    for (const Group& g : GROUPS) {
        if (std::strcmp(g.name, argv[1]) == 0) {
            group = &g;
        }
    }
    if (group == nullptr) {
        std::fprintf(stderr, "unknown group %s\n", argv[1]);
        return 2;
    }
    gui::programPath = argv[2][0] == '/' ? gui::toDos(argv[2]) : argv[2];
    gui::workUnix = argv[3];
    makeDir(gui::toDos(gui::workUnix));
    // Wine gives the driver and the program it starts the same code page.
    const char* expectedCodePage = std::getenv("TINTMARK_EXPECT_ACP");
    std::printf("ANSI code page %u\n", GetACP());
    gui::scenario = "code page";
    gui::check(expectedCodePage == nullptr ||
                   GetACP() == static_cast<UINT>(std::strtoul(expectedCodePage, nullptr, 10)),
               "ANSI code page %u, expected %s", GetACP(), expectedCodePage);
    group->run();
    std::printf("%d passed, %d failed\n", gui::passed, gui::failed);
    return gui::failed == 0 && gui::passed > 0 ? 0 : 1;
}
