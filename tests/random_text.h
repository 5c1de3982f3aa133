// Seeded random cases shared by the matcher and decorator tests. They are
// drawn from the engine's raw output only: the standard distributions differ
// between libraries, and a seed must build the same case natively and under
// Wine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>

struct Random {
    explicit Random(uint64_t seed) : engine(seed) {}
    size_t below(size_t n) {
        return n == 0 ? 0 : static_cast<size_t>(engine() % n);
    }
    bool chance(unsigned percent) {
        return below(100) < percent;
    }
    std::mt19937_64 engine;
};

// Few letters, so that keywords recur and nearly recur, among Shift-JIS lead
// bytes (0x81-0x9F, 0xE0-0xFC) and 0x5C, a trail byte that is also '\'.
inline char textByte(Random& r) {
    static const unsigned char TEXT_BYTES[] = {'a',  'b',  'c',  'a',  'b',  ' ',  0x5C, 0x81,
                                               0x9F, 0x8A, 0xE0, 0xFC, 0x40, 0xFF, 0x80};
    return static_cast<char>(TEXT_BYTES[r.below(sizeof TEXT_BYTES)]);
}
