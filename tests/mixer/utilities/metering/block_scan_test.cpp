// The vectorisable integer helpers against their plain definitions.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "mixer/utilities/metering/block_scan.hpp"
#include "mixer/utilities/text/numbers.hpp"

using namespace varnel;

TEST(SatAdd32, MatchesTheWideSumClamped) {
    const int32_t values[] = {0,         1,          -1,         2,          -2,
                              1000,      -1000,      INT32_MAX,  INT32_MIN,  INT32_MAX - 1,
                              INT32_MIN + 1,         1 << 30,    -(1 << 30), 0x40000001,
                              -0x40000001};
    for (int32_t a : values)
        for (int32_t b : values) {
            int64_t wide = int64_t(a) + int64_t(b);
            int32_t want = wide > INT32_MAX ? INT32_MAX
                           : wide < INT32_MIN ? INT32_MIN
                                              : int32_t(wide);
            EXPECT_EQ(SatAdd32(a, b), want) << a << " + " << b;
        }
}

TEST(LargestMagnitude, IsTheLargestAbsoluteValue) {
    struct Case {
        std::vector<int32_t> x;
        double want;
    };
    const Case cases[] = {
        {{}, 0.0},
        {{0, 0, 0}, 0.0},
        {{5, -3, 2}, 5.0},
        {{-7, 3, 6}, 7.0},
        {{-3, -9, -1}, 9.0},
        {{INT32_MIN, 1}, 2147483648.0},
        {{INT32_MAX, -5}, 2147483647.0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LargestMagnitude(c.x.data(), int(c.x.size())), c.want);
}

// The block form of the output peak meter against comparing frame by frame.
TEST(PeakAndFirstPosition, SameAsFrameByFrame) {
    const std::vector<int32_t> blocks[] = {
        {}, {0, 0}, {3, -5, 5, -5}, {-9, 9, 2}, {1, 2, 3}, {INT32_MIN, INT32_MAX}, {7, -7, 8, -8, 1},
    };
    for (double start : {0.0, 5.0, 9.0, 100.0})
        for (const auto& v : blocks) {
            double peak = start, want = start;
            int64_t pos = -1, wantPos = -1;
            for (size_t i = 0; i < v.size(); ++i) {
                const double a = v[i] < 0 ? -double(v[i]) : double(v[i]);
                if (a > want) want = a, wantPos = 1000 + int64_t(i);
            }
            PeakAndFirstPosition(v.data(), int(v.size()), peak, pos, 1000);
            EXPECT_EQ(peak, want);
            EXPECT_EQ(pos, wantPos);
        }
}

// Full scale is reached at both 32-bit limits and nowhere else.
TEST(CountAtFullScale, CountsBothLimitsAndFindsTheFirst) {
    struct Case {
        std::vector<int32_t> x;
        int64_t count;
        int first;
    };
    const Case cases[] = {
        {{}, 0, -1},
        {{INT32_MAX - 1, INT32_MIN + 1, 0}, 0, -1},
        {{5, INT32_MAX, INT32_MIN, INT32_MAX}, 3, 1},
        {{INT32_MIN, 0}, 1, 0},
    };
    for (const Case& c : cases) {
        int first = -1;
        EXPECT_EQ(CountAtFullScale(c.x.data(), int(c.x.size()), first), c.count);
        EXPECT_EQ(first, c.first);
        int kept = 7;  // a first position found earlier stays
        CountAtFullScale(c.x.data(), int(c.x.size()), kept);
        EXPECT_EQ(kept, 7);
    }
}
