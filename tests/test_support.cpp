#include "test_support.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "core/decoration_table.h"
#include "platform/platform.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    fs::path base = fs::temp_directory_path();
    for (;;) {
        fs::path candidate = base / ("tintmark-test-" + std::to_string(random() % 1000000000));
        if (fs::create_directory(candidate)) {
            root = candidate.string();
            break;
        }
    }
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    if (!previous.empty()) {
        fs::current_path(previous, ignored);
    }
    // Restore write permission so that read-only test files can be removed.
    for (auto& entry : fs::recursive_directory_iterator(root, ignored)) {
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root, ignored);
}

std::string ScratchDir::path(const std::string& name) const {
    return (fs::path(root) / name).string();
}

void ScratchDir::enter() {
    previous = fs::current_path().string();
    fs::current_path(root);
}

#ifdef _WIN32
PathString toPath(const std::string& bytes) {
    if (bytes.empty()) {
        return PathString();
    }
    const int size = static_cast<int>(bytes.size());
    const int units = MultiByteToWideChar(932, 0, bytes.data(), size, nullptr, 0);
    PathString path(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(932, 0, bytes.data(), size, &path[0], units);
    return path;
}

std::string fromPath(const PathChar* path) {
    const int size = WideCharToMultiByte(932, 0, path, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return std::string();
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(932, 0, path, -1, &bytes[0], size, nullptr, nullptr);
    bytes.resize(static_cast<size_t>(size - 1));
    return bytes;
}
#else
PathString toPath(const std::string& bytes) {
    return bytes;
}

std::string fromPath(const PathChar* path) {
    return path;
}
#endif

// A full Windows path past the 259 units Windows opens otherwise takes the
// \\?\ prefix, with which '/' is no longer a separator.
static PathString reachable(const PathString& path) {
#ifdef _WIN32
    if (path.size() >= MAX_PATH && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) {
        PathString full = L"\\\\?\\" + path;
        for (wchar_t& c : full) {
            c = c == L'/' ? L'\\' : c;
        }
        return full;
    }
#endif
    return path;
}

static bool writeAt(const PathString& path, const std::string& bytes) {
    FILE* out = platformOpenFile(reachable(path).c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    ok = std::fclose(out) == 0 && ok;
    return ok;
}

static std::string readAt(const PathString& path) {
    FILE* in = platformOpenFile(reachable(path).c_str(), "rb");
    if (in == nullptr) {
        return "<missing>";
    }
    std::string bytes;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        bytes.append(buffer, got);
    }
    std::fclose(in);
    return bytes;
}

static bool existsAt(const PathString& path) {
    std::error_code ignored;
    return fs::exists(fs::path(reachable(path)), ignored);
}

static void makeDirAt(const PathString& path) {
    std::error_code ignored;
    fs::create_directory(fs::path(reachable(path)), ignored);
}

bool writeFile(const std::string& path, const std::string& bytes) {
    return writeAt(toPath(path), bytes);
}

std::string readFile(const std::string& path) {
    return readAt(toPath(path));
}

bool fileExists(const std::string& path) {
    return existsAt(toPath(path));
}

void makeDir(const std::string& path) {
    makeDirAt(toPath(path));
}

#ifdef _WIN32
bool writeFile(const PathString& path, const std::string& bytes) {
    return writeAt(path, bytes);
}

std::string readFile(const PathString& path) {
    return readAt(path);
}

bool fileExists(const PathString& path) {
    return existsAt(path);
}

void makeDir(const PathString& path) {
    makeDirAt(path);
}
#endif

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(toPath(folder)))) {
        names.push_back(fromPath(entry.path().filename().c_str()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

void resetTable() {
    releaseKeywords();
    clear();
    decorationTable.lineBreakTags = 0;
}

const char SETTINGS_START[] = "[TntMark set file]";
const char SETTINGS_END[] = "[TntMark set file end]";
const char DEFAULT_ENTRY_KEYWORD[] = "\x82\xE0\x82\xA9\x82\xD8\x82\xBF.Q";

std::string settingsText(bool lineBreakTags, const std::vector<SettingsEntry>& entries) {
    std::string out = std::string(SETTINGS_START) + "\r\n" + (lineBreakTags ? "1" : "0") + "\r\n";
    for (const SettingsEntry& e : entries) {
        out += e.keyword + "\r\n" + e.colour + "\r\n" + e.size + "\r\n" + e.style + "\r\n";
    }
    return out + SETTINGS_END + "\r\n";
}
