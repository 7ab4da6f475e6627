#include "mixer/utilities/dither_random.hpp"

namespace varnel {

void SeedDitherRandom(DitherRandom& g, unsigned seed) {
    int32_t word = seed == 0 ? 1 : int32_t(seed);
    g.state[0] = word;
    for (int i = 1; i < 31; ++i) {
        // 16807 * word mod (2^31 - 1) without overflow
        const int32_t hi = word / 127773;
        const int32_t lo = word % 127773;
        word = 16807 * lo - 2836 * hi;
        if (word < 0) word += 2147483647;
        g.state[i] = word;
    }
    g.front = 3;
    g.rear = 0;
    for (int i = 0; i < 310; ++i) NextDitherRandom(g);
}

}  // namespace varnel
