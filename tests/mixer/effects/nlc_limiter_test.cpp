#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "mixer/effects/limiter.hpp"
#include "mixer/effects/nlc_compressor.hpp"

using namespace varnel;

namespace {

std::vector<double> Square(int n, int half, double amp) {
    std::vector<double> x(n);
    for (int i = 0; i < n; ++i) x[i] = (i / half) % 2 == 0 ? amp : -amp;
    return x;
}

}  // namespace

TEST(NlcCompressor, ZeroWindowClosesOnFirstFrame) {
    // One-sample readings of 4000 against 1000: level (3 x 4000) / 6 = 2000,
    // t = 0.5, gamma = 0.5 + 0.5 / 2 = 0.75 on each side. The left side still
    // averages with the right side's initial 1.0.
    auto st = std::make_unique<NlcState>();
    int first = 0;
    double l = 4000.0, r = -4000.0;
    NonLinCOMP(*st, 5, 1, &l, &r, 0, 2.0, 1000, first);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(st->rmsL[5], 4000.0f);
    EXPECT_DOUBLE_EQ(st->gammaL[5], 0.75);
    EXPECT_DOUBLE_EQ(l, 4000.0 * 0.875);
    EXPECT_DOUBLE_EQ(r, -4000.0 * 0.75);
}

TEST(NlcCompressor, SteadyLevelGivesCurveGain) {
    struct Case { double amp; double ratio; int threshold; double gamma; };
    const Case cases[] = {
        {2000.0, 2.0, 1000, 0.75},          // twice the threshold, ratio 2
        {4000.0, 4.0, 1000, 0.25 + 0.75 / 4.0},
        {1000.0, 3.0, 1000, 1.0},           // exactly at the threshold
    };
    for (const Case& c : cases) {
        std::vector<double> l = Square(4000, 10, c.amp), r = l;
        auto st = std::make_unique<NlcState>();
        int first = 0;
        NonLinCOMP(*st, 130, 4000, l.data(), r.data(), 5, c.ratio, c.threshold, first);
        EXPECT_DOUBLE_EQ(st->gammaL[130], c.gamma) << c.amp;
        EXPECT_DOUBLE_EQ(st->GrandGammaR[130], std::min(1.0, c.gamma)) << c.amp;
        EXPECT_DOUBLE_EQ(l.back(), -c.amp * c.gamma) << c.amp;
    }
}

TEST(NlcCompressor, SmoothsLastThreeReadings) {
    // Window 0: every polarity change closes a window. The level weighs the
    // newest reading 3, the one before 2 and the one before that 1.
    std::vector<double> l = {3000, 3000, -6000, -6000, 9000, 9000, -9000}, r = l;
    auto st = std::make_unique<NlcState>();
    int first = 0;
    NonLinCOMP(*st, 1, 7, l.data(), r.data(), 0, 2.0, 1000, first);
    // Windows closed at frames 0 (3000 alone), 2 (3000, -6000), 4 (-6000, 9000)
    // and 6 (9000, -9000).
    const float r1 = std::sqrt((9.0e6f + 36.0e6f) / 2.0f);
    const float r2 = std::sqrt((36.0e6f + 81.0e6f) / 2.0f);
    const float r3 = 9000.0f;
    EXPECT_EQ(st->rmsL[1], r3);
    EXPECT_EQ(st->oldrmsL[1], r2);
    const float level = static_cast<float>((3.0 * r3 + 2.0 * r2 + double(r1)) * 0.16666666666666666);
    const double t = 1000.0 / level;
    EXPECT_DOUBLE_EQ(st->gammaL[1], t + (1.0 - t) / 2.0);
}

TEST(NlcCompressor, ShortHalfCyclesMergeIntoOneWindow) {
    // Half-cycles of 4 frames at 100, 200, 300; minimum window 5: no close at
    // frames 0 (1 sample) or 4 (5 samples, not more than the window); the
    // window closes at frame 8.
    std::vector<double> l(9), r(9);
    for (int i = 0; i < 9; ++i) l[i] = r[i] = (i / 4 % 2 == 0 ? 1 : -1) * 100.0 * (i / 4 + 1);
    auto st = std::make_unique<NlcState>();
    int first = 0;
    NonLinCOMP(*st, 2, 9, l.data(), r.data(), 5, 2.0, 1000000, first);
    EXPECT_EQ(st->rmsL[2], std::sqrt(290000.0f / 9.0f));
    EXPECT_EQ(st->oldrmsL[2], 0.0f);
    EXPECT_EQ(st->intervalL[2], 0.0f);
}

TEST(NlcCompressor, RatioOneLeavesSignalExceptTinySamples) {
    std::vector<double> l = Square(3000, 7, 5000.0), r = Square(3000, 11, 20.0);
    l[100] = 0.0;
    l[101] = 0.00005;
    r[200] = -0.00002;
    const std::vector<double> inL = l, inR = r;
    auto st = std::make_unique<NlcState>();
    int first = 0;
    NonLinCOMP(*st, 0, 3000, l.data(), r.data(), 3, 1.0, 1000, first);
    for (int i = 0; i < 3000; ++i) {
        if (i == 100 || i == 101) continue;
        ASSERT_EQ(l[i], inL[i]) << i;
        if (i != 200) {
            ASSERT_EQ(r[i], inR[i]) << i;
        }
    }
    EXPECT_EQ(l[100], 0.0001);
    EXPECT_EQ(l[101], 0.0001);
    EXPECT_EQ(r[200], -0.0001);
}

TEST(NlcCompressor, DcKeepsItsFirstGain) {
    std::vector<double> l(5000, 4000.0), r(5000, 4000.0);
    auto st = std::make_unique<NlcState>();
    int first = 0;
    NonLinCOMP(*st, 3, 5000, l.data(), r.data(), 0, 2.0, 1000, first);
    EXPECT_DOUBLE_EQ(l[0], 3500.0);
    EXPECT_DOUBLE_EQ(l[4999], 3500.0);
    EXPECT_DOUBLE_EQ(r[4999], 3000.0);
}

TEST(NlcCompressor, ZeroRatioStaysFinite) {
    std::vector<double> l = Square(500, 10, 8000.0), r = l;
    auto st = std::make_unique<NlcState>();
    int first = 0;
    NonLinCOMP(*st, 3, 500, l.data(), r.data(), 0, 0.0, 1000, first);
    for (double v : l) ASSERT_TRUE(std::isfinite(v));
    EXPECT_EQ(l.back(), Square(500, 10, 8000.0).back());   // acts as ratio 1
}

TEST(Limiter, SoftKneeExamples) {
    struct Case { double in, out; int threshold; };
    const double knee = 8388608 * 0.89125;
    const Case cases[] = {
        {8000000.0, 7541803.52, 8388608},
        {-8000000.0, -7541803.52, 8388608},
        {7000000.0, 7000000.0, 8388608},
        {1.76125 * 8388608, knee + (1.76125 * 8388608 - knee) * 0.125, 8388608},
        {0.0, 0.0001, 8388608},
        {-0.0, 0.0001, 8388608},
        {-0.00002, -0.0001, 8388608},
        {2147483000.0, 2147483647 * 0.89125 + (2147483000.0 - 2147483647 * 0.89125) * 0.125,
         2147483647},
    };
    for (const Case& c : cases) {
        double l = c.in, r = -c.in;
        LIMITER(1, &l, &r, c.threshold);
        EXPECT_NEAR(l, c.out, 1e-6) << c.in;
        if (c.in != 0.0) {
            EXPECT_NEAR(r, -c.out, 1e-6) << c.in;
        }
    }
    EXPECT_NEAR(knee + (1.76125 * 8388608 - knee) * 0.125, 8388608.0, 1e-6);
}

// The limiter's builds (the one the processor runs and the baseline) agree
// bit for bit, at the knee and a few units in the last place around it, at
// the floor, on zeros, NaN and infinities, in every lane of a vector step
// and in the tail.
TEST(Limiter, BuildsAgreeBitForBit) {
    std::mt19937 gen(11);
    for (int threshold : {8388608, 2147483647, 1, 0, -1000}) {
        SCOPED_TRACE(threshold);
        const double knee = threshold * 0.89125;
        std::vector<double> x = {0.0,     -0.0,    1e-5,     -1e-5,      0.0001,   -0.0001,
                                 9.99e-5, -9.99e-5, knee,    -knee,      1.5 * knee, -1.5 * knee,
                                 3e9,     -3e9,     NAN,     -NAN,       INFINITY,  -INFINITY};
        for (int ulps = -3; ulps <= 3; ++ulps) {
            double v = knee;
            for (int k = 0; k < std::abs(ulps); ++k) v = std::nextafter(v, ulps < 0 ? -1e300 : 1e300);
            x.push_back(v);
            x.push_back(-v);
        }
        std::uniform_real_distribution<double> wide(-3e9, 3e9), near(0.999, 1.001);
        while (x.size() < 1003) {
            x.push_back(wide(gen));
            x.push_back(knee * near(gen));
        }
        std::vector<double> l1 = x, r1(x.rbegin(), x.rend()), l2 = l1, r2 = r1;
        const int n = int(x.size());
        LIMITER(n, l1.data(), r1.data(), threshold, Kernel::kBest);
        LIMITER(n, l2.data(), r2.data(), threshold, Kernel::kBaseline);
        EXPECT_EQ(std::memcmp(l1.data(), l2.data(), sizeof(double) * l1.size()), 0);
        EXPECT_EQ(std::memcmp(r1.data(), r2.data(), sizeof(double) * r1.size()), 0);
    }
}
