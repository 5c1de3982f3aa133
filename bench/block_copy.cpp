// tintmark_copy INPUT OUTPUT: copies a file in 64 KiB blocks, bytes as they
// are (CR LF stays CR LF). The floor the converter is timed against: reading
// the same input and writing an output with nothing done in between.
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tintmark_copy INPUT OUTPUT\n");
        return 2;
    }
    FILE* in = std::fopen(argv[1], "rb");
    if (in == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::perror(argv[2]);
        std::fclose(in);
        return 1;
    }
    static char block[64 * 1024];
    bool ok = true;
    size_t got;
    while (ok && (got = std::fread(block, 1, sizeof block, in)) > 0) {
        ok = std::fwrite(block, 1, got, out) == got;
    }
    ok = ok && !std::ferror(in);
    std::fclose(in);
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "tintmark_copy: copy failed\n");
    }
    return ok ? 0 : 1;
}
