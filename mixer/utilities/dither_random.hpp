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

}  // namespace varnel
