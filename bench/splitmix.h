// splitmix64: small, fast, and the same everywhere (unlike the standard
// distributions), so a seed names one corpus or one table.
#pragma once

#include <cstdint>

struct Random {
    uint64_t state;
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    unsigned below(unsigned n) {
        return static_cast<unsigned>((next() >> 11) % n);
    }
    int between(int low, int high) { // inclusive
        return low + static_cast<int>(below(static_cast<unsigned>(high - low + 1)));
    }
    bool percent(unsigned p) {
        return below(100) < p;
    }
};
