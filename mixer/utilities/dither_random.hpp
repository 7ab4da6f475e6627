// The dither's random numbers: the sequence the C library's rand() gives
// after srand(seed) (an additive-feedback generator of 31 words with taps 3
// apart, seeded by the 16807-multiplier recurrence, the first 310 results
// discarded), kept in the run's own state so the sample loop takes no lock
// on a shared generator. A test checks it against rand() itself.
#pragma once

#include <cstdint>

namespace varnel {

struct DitherRandom {
    int32_t state[31] = {};
    int front = 3;  // the word that takes the sum
    int rear = 0;   // the word added to it
};

inline int NextDitherRandom(DitherRandom& g) {
    g.state[g.front] = int32_t(uint32_t(g.state[g.front]) + uint32_t(g.state[g.rear]));
    const int result = int(uint32_t(g.state[g.front]) >> 1);
    g.front = g.front == 30 ? 0 : g.front + 1;
    g.rear = g.rear == 30 ? 0 : g.rear + 1;
    return result;
}

void SeedDitherRandom(DitherRandom& g, unsigned seed);

// x % d for a divisor fixed over many draws, by two multiplications instead
// of a division (exact for every 32-bit x and every d >= 1): the dither takes
// two remainders per frame.
struct FixedRemainder {
    uint64_t magic;
    uint32_t d;
    explicit FixedRemainder(uint32_t divisor) : magic(UINT64_MAX / divisor + 1), d(divisor) {}
    uint32_t Of(uint32_t x) const {
#if defined(__SIZEOF_INT128__)
        const uint64_t low = magic * x;
        return uint32_t((static_cast<unsigned __int128>(low) * d) >> 64);
#else
        return x % d;
#endif
    }
};

}  // namespace varnel
