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
