#include "ui/status_text.h"

#include <cstdio>

#include "ui/cp932_text.h"

// The texts, as code page 932 bytes.
// Formats, kept literal so that the compiler checks their arguments.
#define CONVERTED_COUNT                                                                            \
    "%d \x8C\x8F\x95\xCF\x8A\xB7\x82\xB5\x82\xDC\x82\xB5\x82\xBD" // %d 件変換しました
#define MORE_FILES "\x82\xD9\x82\xA9 %d \x8C\x8F"                 // ほか %d 件
#define PROGRESS "\x95\xCF\x8A\xB7\x92\x86 %d / %d"               // 変換中 %d / %d
static const char NAME_SEPARATOR[] = "\x81\x46";                  // ：
static const char TOO_MANY_TEXT[] = // 選んだファイルが多すぎる
    "\x91\x49\x82\xF1\x82\xBE\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x91\xBD\x82\xB7\x82\xAC\x82"
    "\xE9";
static const char CHOICE_FAILED_TEXT[] = // ファイルを選べない
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x91\x49\x82\xD7\x82\xC8\x82\xA2";

// Why a file was not converted, in the few words a line has room for.
static const char* reasonText(FileOutcome outcome) {
    switch (outcome) {
    case FILE_SKIPPED_NO_EXTENSION:
        return "\x8F\x6F\x97\xCD\x96\xBC\x82\xC8\x82\xB5"; // 出力名なし
    case FILE_SKIPPED_SAME_FILE:
        return "\x8F\x6F\x97\xCD\x90\xE6\x82\xAA\x93\xFC\x97\xCD\x82\xC6\x93\xAF\x82\xB6"; // 出力先が入力と同じ
    case FILE_SKIPPED_PATH_TOO_LONG:
        return "\x83\x70\x83\x58\x82\xAA\x92\xB7\x82\xB7\x82\xAC\x82\xE9"; // パスが長すぎる
    case FILE_SKIPPED_OUTPUT_TOO_LONG:
        return "\x8F\x6F\x97\xCD\x83\x70\x83\x58\x82\xAA\x92\xB7\x82\xB7\x82\xAC\x82\xE9"; // 出力パスが長すぎる
    case FILE_INPUT_UNREADABLE:
        return "\x93\xC7\x82\xDD\x8D\x9E\x82\xDF\x82\xC8\x82\xA2"; // 読み込めない
    case FILE_OUTPUT_UNWRITABLE:
        return "\x8F\x6F\x97\xCD\x82\xF0\x8F\x91\x82\xAB\x8D\x9E\x82\xDF\x82\xC8\x82\xA2"; // 出力を書き込めない
    case FILE_PENDING:
    case FILE_CONVERTED:
    case FILE_EMPTY_INPUT:
        break;
    }
    return "\x96\xA2\x95\xCF\x8A\xB7"; // 未変換
}

static std::wstring wide(const char* bytes) {
    wchar_t text[256];
    cp932ToText(bytes, text, 256);
    return text;
}

static std::wstring convertedLine(int converted) {
    char bytes[64];
    std::snprintf(bytes, sizeof bytes, CONVERTED_COUNT, converted);
    return wide(bytes);
}

static std::wstring moreLine(int more) {
    char bytes[64];
    std::snprintf(bytes, sizeof bytes, MORE_FILES, more);
    return wide(bytes);
}

// The flags the static control draws its text with (SS_LEFT, SS_NOPREFIX,
// SS_EDITCONTROL), so that what is measured here is what it shows.
constexpr UINT STATUS_FORMAT =
    DT_LEFT | DT_EXPANDTABS | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL;

struct Measure {
    HWND status;
    HDC dc;
    HGDIOBJ before;
    RECT client;
};

static bool fits(const Measure& measure, const std::wstring& text) {
    RECT needed = {0, 0, measure.client.right, 0};
    DrawTextW(measure.dc, text.c_str(), -1, &needed, STATUS_FORMAT | DT_CALCRECT);
    return needed.bottom <= measure.client.bottom;
}

void showBatchStatus(HWND status, int converted, const std::vector<SkippedFile>& skipped) {
    Measure measure{status, GetDC(status), nullptr, {}};
    measure.before =
        SelectObject(measure.dc, reinterpret_cast<HFONT>(SendMessageW(status, WM_GETFONT, 0, 0)));
    GetClientRect(status, &measure.client);
    const std::wstring separator = wide(NAME_SEPARATOR);
    std::wstring text = convertedLine(converted);
    const int count = static_cast<int>(skipped.size());
    int shown = 0;
    // Each line is kept when it fits together with the line that would
    // count the files left after it.
    for (; shown < count; ++shown) {
        const SkippedFile& file = skipped[static_cast<size_t>(shown)];
        std::wstring longer =
            text + L"\r\n" + file.name + separator + wide(reasonText(file.outcome));
        const int left = count - shown - 1;
        if (!fits(measure, left > 0 ? longer + L"\r\n" + moreLine(left) : longer)) {
            break;
        }
        text.swap(longer);
    }
    if (shown < count) {
        text += L"\r\n" + moreLine(count - shown);
    }
    SelectObject(measure.dc, measure.before);
    ReleaseDC(status, measure.dc);
    SetWindowTextW(status, text.c_str());
}

void showProgress(HWND status, int done, int total, const wchar_t* name) {
    char bytes[64];
    std::snprintf(bytes, sizeof bytes, PROGRESS, done, total);
    const std::wstring text = wide(bytes) + L"\r\n" + name;
    wchar_t shown[512] = {};
    GetWindowTextW(status, shown, 512);
    // Setting the same text again would only make it flicker.
    if (text != shown) {
        SetWindowTextW(status, text.c_str());
    }
}

void showChoiceFailure(HWND status, bool tooMany) {
    SetWindowTextW(status, wide(tooMany ? TOO_MANY_TEXT : CHOICE_FAILED_TEXT).c_str());
}

const wchar_t* fileNameOf(const wchar_t* path) {
    const wchar_t* name = path;
    for (const wchar_t* at = path; *at != L'\0'; ++at) {
        if (*at == L'\\' || *at == L'/') {
            name = at + 1;
        }
    }
    return name;
}
