#include "test_support.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "core/decoration_table.h"

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

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return "<missing>";
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool fileExists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

void resetTable() {
    releaseKeywords();
    clear();
    decorationTable.lineBreakTags = 0;
}
