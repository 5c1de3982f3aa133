// Helpers shared by the unit tests and the window tests' driver: scratch
// directories, whole-file I/O and settings files as the tests write them.
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
// for no file. On Windows a full path (C:\...) may be of any length.
bool writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);
void makeDir(const std::string& path);
#ifdef _WIN32
// The same for any name, in UTF-16.
bool writeFile(const PathString& path, const std::string& bytes);
std::string readFile(const PathString& path);
bool fileExists(const PathString& path);
void makeDir(const PathString& path);
#endif
// The names in a folder, sorted, as byte strings.
std::vector<std::string> namesIn(const std::string& folder);

// Empties the decoration table, releases its copies and clears the option.
void resetTable();

// Settings files as the tests write and expect them, from the format's
// rules rather than from the program's writer.
extern const char SETTINGS_START[];        // "[TntMark set file]"
extern const char SETTINGS_END[];          // "[TntMark set file end]"
extern const char DEFAULT_ENTRY_KEYWORD[]; // もかぺち.Q, stored for an empty table

// One entry as the file holds it: four lines.
struct SettingsEntry {
    std::string keyword;
    std::string colour;
    std::string size;
    std::string style;
};

// The whole file, CR LF line ends.
std::string settingsText(bool lineBreakTags, const std::vector<SettingsEntry>& entries);
