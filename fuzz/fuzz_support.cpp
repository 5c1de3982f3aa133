#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

static char scratch[256];

static void removeScratch() {
    DIR* dir = opendir(scratch);
    if (dir != nullptr) {
        char path[512];
        while (const dirent* entry = readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                std::snprintf(path, sizeof path, "%s/%s", scratch, entry->d_name);
                unlink(path);
            }
        }
        closedir(dir);
    }
    rmdir(scratch);
}

const char* scratchDir() {
    if (scratch[0] != '\0') {
        return scratch;
    }
    // A run script names its own directory, so that what a crashed process
    // leaves behind is removed with it.
    const char* base = std::getenv("TINTMARK_FUZZ_SCRATCH");
    struct stat info;
    if (base == nullptr || base[0] == '\0') {
        base = "/dev/shm";
        if (stat(base, &info) != 0 || !S_ISDIR(info.st_mode) || access(base, W_OK) != 0) {
            base = std::getenv("TMPDIR");
            if (base == nullptr || base[0] == '\0') {
                base = "/tmp";
            }
        }
    }
    std::snprintf(scratch, sizeof scratch, "%s/tintmark-fuzz-XXXXXX", base);
    if (mkdtemp(scratch) == nullptr) {
        std::perror("tintmark fuzz: cannot make a scratch directory");
        std::abort();
    }
    std::atexit(removeScratch);
    return scratch;
}

void scratchPath(char* buffer, size_t capacity, const char* name) {
    std::snprintf(buffer, capacity, "%s/%s", scratchDir(), name);
}

void fuzzFail(const char* what) {
    std::fprintf(stderr, "\n*** tintmark fuzz: %s\n", what);
    std::fflush(stderr);
    __builtin_trap();
}

uint8_t ByteReader::byte() {
    if (size == 0) {
        return 0;
    }
    --size;
    return *data++;
}

uint16_t ByteReader::word() {
    const uint16_t high = byte();
    return static_cast<uint16_t>(high << 8 | byte());
}

int32_t ByteReader::int32() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value = value << 8 | byte();
    }
    return static_cast<int32_t>(value);
}

size_t ByteReader::take(size_t wanted, const uint8_t** bytes) {
    const size_t count = wanted < size ? wanted : size;
    *bytes = data;
    data += count;
    size -= count;
    return count;
}

bool writeFileRepeated(const char* path, const uint8_t* bytes, size_t size, int count) {
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    bool ok = true;
    for (int i = 0; i < count && size > 0; ++i) {
        ok = ok && std::fwrite(bytes, 1, size, file) == size;
    }
    return std::fclose(file) == 0 && ok;
}

int compareFiles(const char* first, const char* second, long* offset) {
    static unsigned char bufferA[1 << 16];
    static unsigned char bufferB[1 << 16];
    *offset = 0;
    FILE* a = std::fopen(first, "rb");
    FILE* b = std::fopen(second, "rb");
    constexpr int COMPARING = 2;
    int result = a == nullptr || b == nullptr ? -1 : COMPARING;
    while (result == COMPARING) {
        const size_t readA = std::fread(bufferA, 1, sizeof bufferA, a);
        const size_t readB = std::fread(bufferB, 1, sizeof bufferB, b);
        const size_t common = readA < readB ? readA : readB;
        size_t i = 0;
        while (i < common && bufferA[i] == bufferB[i]) {
            ++i;
        }
        *offset += static_cast<long>(i);
        if (std::ferror(a) || std::ferror(b)) {
            result = -1;
        } else if (i < common || readA != readB) {
            result = 1;
        } else if (readA == 0) {
            result = 0;
        }
    }
    if (a != nullptr) {
        std::fclose(a);
    }
    if (b != nullptr) {
        std::fclose(b);
    }
    return result;
}
