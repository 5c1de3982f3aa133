// The files a batch converts: those of a drop, or those chosen in the
// system's file dialog. Paths are UTF-16 and of any length; the batch skips
// one too long to convert, never cutting it into some other file's name.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

// The dropped files, in drop order; releases the drop.
std::vector<std::wstring> droppedFiles(HDROP drop);

enum FileChoice { FILES_CHOSEN, CHOICE_CANCELLED, TOO_MANY_CHOSEN, CHOICE_FAILED };

// The system's Open dialog, several files at once, starting in `folder`
// (the system's choice when empty). It leaves the current folder alone: the
// settings file is named relative to it.
FileChoice chooseFiles(HWND owner, const std::wstring& folder, std::vector<std::wstring>* paths);

// The folder part of a path, without its last separator unless that is a
// root's ("" for a bare name).
std::wstring folderOf(const std::wstring& path);
