#include "ui/file_choice.h"

#include <commdlg.h>

#include <cwchar>

#include "core/diagnostics.h"
#include "platform/platform.h"

std::vector<std::wstring> droppedFiles(HDROP drop) {
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    trace("file cnt[%d]\n", static_cast<int>(count));
    std::vector<std::wstring> paths;
    paths.reserve(count);
    for (UINT i = 0; i < count; ++i) {
        // Read in UTF-16, as the drop holds it: the ANSI copy would be made
        // with best-fit mapping.
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(static_cast<size_t>(length) + 1, L'\0');
        const UINT copied = DragQueryFileW(drop, i, &path[0], length + 1);
        path.resize(copied <= length ? copied : length);
#ifdef TINTMARK_TRACE
        char shown[4 * PATH_SLOT];
        platformPathText(path.c_str(), shown, sizeof shown);
        trace("%s\n", shown);
#endif
        paths.push_back(std::move(path));
    }
    DragFinish(drop);
    return paths;
}

// Room for the chosen names: some thousands of files. The dialog can ask
// for no more than 65535 units.
constexpr DWORD CHOICE_UNITS = 65535;

FileChoice chooseFiles(HWND owner, const std::wstring& folder, std::vector<std::wstring>* paths) {
    std::vector<wchar_t> names(CHOICE_UNITS + 1, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = L"Text (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = names.data();
    dialog.nMaxFile = CHOICE_UNITS;
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                   OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog)) {
        const DWORD error = CommDlgExtendedError();
        if (error == 0) {
            return CHOICE_CANCELLED;
        }
        return error == FNERR_BUFFERTOOSMALL ? TOO_MANY_CHOSEN : CHOICE_FAILED;
    }
    paths->clear();
    const wchar_t* first = names.data();
    const size_t firstLength = std::wcslen(first);
    // One file comes as its full path; several as their folder followed by
    // their names, each ended by a zero, the list by a second zero.
    if (dialog.nFileOffset == 0 || names[dialog.nFileOffset - 1] != L'\0') {
        paths->push_back(first);
        return FILES_CHOSEN;
    }
    std::wstring prefix = first;
    if (!prefix.empty() && prefix.back() != L'\\') {
        prefix += L'\\';
    }
    for (const wchar_t* name = first + firstLength + 1; *name != L'\0';
         name += std::wcslen(name) + 1) {
        paths->push_back(prefix + name);
    }
    return paths->empty() ? CHOICE_CANCELLED : FILES_CHOSEN;
}

std::wstring folderOf(const std::wstring& path) {
    const size_t last = path.find_last_of(L"\\/");
    if (last == std::wstring::npos) {
        return std::wstring();
    }
    // "C:" alone would name the drive's current folder, not its root.
    const bool root = last == 0 || path[last - 1] == L':';
    return path.substr(0, root ? last + 1 : last);
}
