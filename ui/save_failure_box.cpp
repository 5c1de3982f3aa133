// The message box after a failed save, in Japanese with English. It uses the
// system's Cancel / Try Again / Continue box: Cancel is the one button that
// Escape and the box's close button also choose, so going back to the
// window, which loses nothing, is what every way of dismissing the box does,
// and it is the default button, so a stray Enter loses nothing either. The
// system words the buttons in its own language, so the text says what each
// one does in both.
#include "ui/save_failure_box.h"

#include <cwchar>

#include "settings/settings_file.h"
#include "settings/settings_save.h"

// The path, the reason and the explanation of the buttons.
static wchar_t message[SETTINGS_PATH_CAPACITY + 2048];
static wchar_t reason[1024];

static const wchar_t TITLE[] = L"TintMark";
static const wchar_t HEADLINE[] = L"設定を保存できませんでした。\r\n"
                                  L"The settings could not be saved.";
static const wchar_t CHOICES[] =
    L"[再試行 / Try Again] もう一度保存します。\r\n"
    L"    Saves again (first remove the cause).\r\n"
    L"[続行 / Continue] 保存せずに閉じます。変更は失われます。\r\n"
    L"    Closes without saving: the changes are lost.\r\n"
    L"[キャンセル / Cancel] ウィンドウに戻ります。何も失われません。\r\n"
    L"    Returns to the window: nothing is lost.";

// The path as the user knows it: without the "\\?\" prefix that lets the
// program reach long paths ("\\?\UNC\server\share" reads "\\server\share").
static const wchar_t* shownPath(const wchar_t* path, wchar_t* uncPrefix) {
    *uncPrefix = L'\0';
    if (std::wcsncmp(path, L"\\\\?\\UNC\\", 8) == 0) {
        *uncPrefix = L'\\';
        return path + 7;
    }
    if (std::wcsncmp(path, L"\\\\?\\", 4) == 0) {
        return path + 4;
    }
    return path;
}

// The system's own words for an error code, then the code itself.
static void describeSystemError(int code) {
    wchar_t text[768];
    DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(code), 0, text, sizeof text / sizeof text[0], nullptr);
    while (length > 0 &&
           (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' ')) {
        --length;
    }
    text[length] = L'\0';
    std::swprintf(reason, sizeof reason / sizeof reason[0], L"%ls%ls(エラー / error %d)", text,
                  length > 0 ? L"\r\n" : L"", code);
}

static void describeReason() {
    switch (saveFailure.problem) {
    case SAVE_READ_ONLY:
        std::swprintf(reason, sizeof reason / sizeof reason[0], L"%ls",
                      L"このファイルは読み取り専用です。\r\nThe file is read-only.");
        break;
    case SAVE_NOT_A_FILE:
        std::swprintf(reason, sizeof reason / sizeof reason[0], L"%ls",
                      L"この名前はファイルではなく、フォルダーなどのものです。\r\n"
                      L"This name belongs to a folder or something else that is not a file.");
        break;
    case SAVE_PATH_TOO_LONG:
        std::swprintf(reason, sizeof reason / sizeof reason[0], L"%ls",
                      L"パスが長すぎます。\r\nThe path is too long.");
        break;
    case SAVE_SYSTEM_ERROR:
    case SAVE_DONE:
    default:
        describeSystemError(saveFailure.systemError);
        break;
    }
}

SaveFailureChoice askAfterFailedSave(HWND window) {
    describeReason();
    wchar_t uncPrefix[2];
    const wchar_t* path = shownPath(saveFailure.path, uncPrefix);
    uncPrefix[1] = L'\0';
    std::swprintf(message, sizeof message / sizeof message[0],
                  L"%ls\r\n\r\n%ls%ls\r\n\r\n%ls\r\n\r\n%ls", HEADLINE, uncPrefix, path, reason,
                  CHOICES);
    const int answer =
        MessageBoxW(window, message, TITLE, MB_CANCELTRYCONTINUE | MB_ICONWARNING | MB_DEFBUTTON1);
    if (answer == IDTRYAGAIN) {
        return SAVE_CHOICE_RETRY;
    }
    if (answer == IDCONTINUE) {
        return SAVE_CHOICE_DISCARD;
    }
    return SAVE_CHOICE_BACK;
}
