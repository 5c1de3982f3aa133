// cp932_utf8_table: every one- and two-byte code of code page 932, the
// UTF-8 the program searches for in its place, and the code that UTF-8
// converts back into (as a UTF-8 settings file's keyword is), one line each
// ("8140 e38080 8140", "8790 e28592 81e0" for a character several codes
// map to, or "8120 -" for none), so that the Windows build's conversions
// (the system's own) and the native build's can be compared code by code.
#include <cstdio>

#include "core/characters.h"

namespace {

void show(const char* bytes, size_t length) {
    char utf8[16];
    size_t written = 0;
    for (size_t i = 0; i < length; ++i) {
        std::printf("%02x", static_cast<unsigned char>(bytes[i]));
    }
    if (!cp932ToUtf8(reinterpret_cast<const unsigned char*>(bytes), static_cast<int>(length), utf8,
                     sizeof utf8, &written)) {
        std::printf(" -\n");
        return;
    }
    std::printf(" ");
    for (size_t i = 0; i < written; ++i) {
        std::printf("%02x", static_cast<unsigned char>(utf8[i]));
    }
    char back[8];
    size_t backLength = 0;
    if (!utf8ToCp932(reinterpret_cast<const unsigned char*>(utf8), written, back, sizeof back,
                     &backLength)) {
        std::printf(" -\n");
        return;
    }
    std::printf(" ");
    for (size_t i = 0; i < backLength; ++i) {
        std::printf("%02x", static_cast<unsigned char>(back[i]));
    }
    std::printf("\n");
}

} // namespace

int main() {
    for (unsigned first = 0; first < 256; ++first) {
        const char one[1] = {static_cast<char>(first)};
        show(one, 1);
        if (!isCp932Lead(static_cast<unsigned char>(first))) {
            continue;
        }
        for (unsigned second = 0; second < 256; ++second) {
            const char two[2] = {static_cast<char>(first), static_cast<char>(second)};
            show(two, 2);
        }
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
