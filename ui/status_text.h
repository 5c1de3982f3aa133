// Text 1011 of the main window: what the latest batch did, or how far the
// running one has come. Its texts are code page 932 like the window's
// others, turned into UTF-16 explicitly.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/file_outcome.h"

struct SkippedFile {
    std::wstring name; // the last component of its path
    FileOutcome outcome;
};

// "N 件変換しました", then one line for each file skipped or failed (its name
// and why) as far as the control shows them, and "ほか N 件" for the rest.
void showBatchStatus(HWND status, int converted, const std::vector<SkippedFile>& skipped);

// "変換中 done / total" and, below, the name of the file being converted.
void showProgress(HWND status, int done, int total, const wchar_t* name);

// Why the file dialog gave no files: too many chosen for its buffer, or
// some other failure of the dialog.
void showChoiceFailure(HWND status, bool tooMany);

// The part of a path after its last separator: the name the user sees.
const wchar_t* fileNameOf(const wchar_t* path);
