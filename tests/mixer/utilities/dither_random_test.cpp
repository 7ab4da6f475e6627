#include "mixer/utilities/dither_random.hpp"

#include <cstdlib>

#include <gtest/gtest.h>

using namespace varnel;

TEST(DitherRandom, SameSequenceAsTheCLibraryGenerator) {
#if defined(__GLIBC__)
    for (unsigned seed : {0u, 1u, 42u, 1234u, 3599u}) {
        DitherRandom g;
        SeedDitherRandom(g, seed);
        std::srand(seed);
        for (int i = 0; i < 5000; ++i) ASSERT_EQ(NextDitherRandom(g), std::rand()) << seed << " " << i;
    }
#else
    GTEST_SKIP() << "the sequence is checked against this C library's rand only";
#endif
}

TEST(DitherRandom, ValuesAreNonNegative31Bit) {
    DitherRandom g;
    SeedDitherRandom(g, 7);
    for (int i = 0; i < 10000; ++i) {
        int v = NextDitherRandom(g);
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 2147483647);
    }
}

TEST(FixedRemainder, MatchesTheRemainderOperator) {
    const uint32_t divisors[] = {1, 2, 3, 5, 9, 17, 33, 65537, 1000003, 0x7FFFFFFF, 0xFFFFFFFF};
    DitherRandom g;
    SeedDitherRandom(g, 99);
    for (uint32_t d : divisors) {
        const FixedRemainder r(d);
        for (uint32_t x : {0u, 1u, d - 1, d, d + 1, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu})
            ASSERT_EQ(r.Of(x), x % d) << x << " % " << d;
        for (int i = 0; i < 20000; ++i) {
            const uint32_t x = uint32_t(NextDitherRandom(g)) * 2u + uint32_t(i & 1);
            ASSERT_EQ(r.Of(x), x % d) << x << " % " << d;
        }
    }
}
