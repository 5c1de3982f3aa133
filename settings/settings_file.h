// The settings file "TintMark.dat" in the current directory: the decoration
// table and the "<BR>" option between runs.
#pragma once

extern const char SETTINGS_FILE_NAME[];

// Empties the table, then fills it and the option from the file when it can.
void loadSettings();

// Writes the whole table and the option, then releases every keyword copy.
// The previous file survives any failure. Returns true when the file was
// written.
bool saveSettings();
