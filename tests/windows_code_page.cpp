// Prints the ANSI code page this process was given, so that a test run
// under a chosen locale can show which code page it really had.
#include <windows.h>

#include <cstdio>

int main() {
    std::printf("%u\n", GetACP());
    return 0;
}
