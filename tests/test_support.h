// Helpers shared by the unit tests: scratch directories and whole-file I/O.
#pragma once

#include <string>
#include <vector>

#include "platform/path_text.h"

// Paths in the form the program takes them (UTF-16 on Windows), from and to
// the byte strings the tests name files by: code page 932 bytes on Windows,
// so that names mean the same whatever the system's ANSI code page.
using PathString = std::basic_string<PathChar>;
PathString toPath(const std::string& bytes);
std::string fromPath(const PathChar* path);

// A fresh empty directory for one test, removed with everything in it when
// the object goes away. While `enter` is in force it is the current
// directory (the settings file is looked up there).
struct ScratchDir {
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // Path of a name inside the directory.
    std::string path(const std::string& name) const;
    void enter();

    std::string root;
    std::string previous;
};

// Whole files as byte strings, named as above; readFile gives "<missing>"
// for no file.
void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);
// The names in a folder, sorted, as byte strings.
std::vector<std::string> namesIn(const std::string& folder);

// Empties the decoration table, releases its copies and clears the option.
void resetTable();
