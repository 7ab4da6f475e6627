#include "mixer/utilities/metering/master_rms.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace varnel;

namespace {

struct Meter {
    MasterRmsState st{};
    int first = 0;
    float winL = 0, winR = 0, sumL = 0, sumR = 0;
    void Run(const std::vector<int32_t>& l, const std::vector<int32_t>& r, float minWindow,
             int divisor = 256) {
        MasterRMS(st, first, l.data(), r.data(), winL, winR, sumL, sumR, minWindow, divisor,
                  static_cast<int>(l.size()));
    }
};

std::vector<int32_t> SquareWave(int n, int half, int32_t amp) {
    std::vector<int32_t> x(n);
    for (int i = 0; i < n; ++i) x[i] = (i / half) % 2 == 0 ? amp : -amp;
    return x;
}

}  // namespace

TEST(MasterRms, SilenceCountsNoWindow) {
    Meter m;
    const std::vector<int32_t> zeros(200000, 0);
    m.Run(zeros, zeros, 4410.0f);
    EXPECT_EQ(m.first, 1);
    EXPECT_EQ(m.winL, 0.0f);
    EXPECT_EQ(m.winR, 0.0f);
    EXPECT_EQ(m.sumL, 0.0f);
}

TEST(MasterRms, WindowsCloseOnlyPastTheMinimum) {
    // Half-cycles of 3000 frames: the change at 3000 comes too early (3001
    // samples), the one at 6000 closes frames 0..6000, then every 6000 frames.
    // Samples 4096 / 256 = 16 give an RMS of exactly 16 per window.
    struct Case { int n; float windows; };
    const Case cases[] = {{6000, 0.0f}, {6001, 1.0f}, {30000, 4.0f}, {30001, 5.0f}};
    for (const Case& c : cases) {
        Meter m;
        const std::vector<int32_t> l = SquareWave(c.n, 3000, 4096), r = SquareWave(c.n, 3000, -4096);
        m.Run(l, r, 4410.0f);
        EXPECT_EQ(m.winL, c.windows) << c.n;
        EXPECT_EQ(m.winR, c.windows) << c.n;
        EXPECT_EQ(m.sumL, 16.0f * c.windows) << c.n;
        EXPECT_EQ(m.sumR, 16.0f * c.windows) << c.n;
    }
    // A window of exactly the minimum's length is not closed either.
    Meter exact;
    exact.Run(SquareWave(6001, 3000, 4096), SquareWave(6001, 3000, 4096), 6001.0f);
    EXPECT_EQ(exact.winL, 0.0f);
}

TEST(MasterRms, ToneAcrossBlocksAveragesItsRms) {
    // 1 kHz at 44.1 kHz, amplitude 2^30 at bus scale = 2^22 at channel scale.
    const int n = 441000;
    std::vector<int32_t> tone(n);
    for (int i = 0; i < n; ++i)
        tone[i] = static_cast<int32_t>(1073741824.0 * std::sin(6.283185307179586 * 1000.0 * i / 44100.0));
    // Independent count of the closing frames: sign changes at least 4411
    // samples after the previous close.
    int expected = 0, start = 0, prev = 0;
    for (int i = 0; i < n; ++i) {
        const int p = tone[i] < 0 ? -1 : 1;
        if (p != prev && i - start + 1 > 4410) {
            ++expected;
            start = i + 1;
        }
        prev = p;
    }
    Meter m;
    for (int s = 0; s < n; s += 131072) {
        const int len = std::min(131072, n - s);
        MasterRMS(m.st, m.first, tone.data() + s, tone.data() + s, m.winL, m.winR, m.sumL,
                  m.sumR, 44100.0f / 10.0f, 256, len);
    }
    EXPECT_EQ(m.winL, static_cast<float>(expected));
    EXPECT_GE(expected, 95);
    const double average = m.sumL / m.winL;
    EXPECT_NEAR(average, 4194304.0 / std::sqrt(2.0), 4194304.0 * 1e-3);
}

TEST(MasterRms, MonoBufferMeasuredOnBothSides) {
    const std::vector<int32_t> mono = SquareWave(20000, 3000, 8192);
    Meter twice, single;
    twice.Run(mono, mono, 4410.0f);
    MasterRMS(single.st, single.first, mono.data(), nullptr, single.winL, single.winR,
              single.sumL, single.sumR, 4410.0f, 256, 20000);
    EXPECT_EQ(single.winL, twice.winL);
    EXPECT_EQ(single.winR, twice.winL);
    EXPECT_EQ(single.sumR, twice.sumL);
    EXPECT_EQ(twice.sumL, twice.sumR);
}

TEST(MasterRms, FirstUseResetsAccumulatorsAndState) {
    Meter m;
    m.winL = 7.0f;
    m.sumR = 99.0f;
    m.st.squaresL = 1e9f;
    m.st.intervalL = 1e6f;
    const std::vector<int32_t> one = {256};
    m.Run(one, one, 4410.0f);
    EXPECT_EQ(m.winL, 0.0f);
    EXPECT_EQ(m.sumR, 0.0f);
    EXPECT_EQ(m.st.squaresL, 1.0f);
    EXPECT_EQ(m.st.intervalL, 1.0f);
    m.Run(one, one, 4410.0f);   // flag now 1: accumulates
    EXPECT_EQ(m.st.intervalL, 2.0f);
}

TEST(MasterRms, DivisorTruncatesAndZeroDivisorIsSafe) {
    Meter m;
    const std::vector<int32_t> l = {-511, 511, INT32_MIN}, r = {255, -255, -1};
    m.Run(l, r, 0.0f);   // window 0: every sign change closes
    // Left: -511/256 = -1 closes at frame 0 (1), 511/256 = 1 closes (1);
    // INT32_MIN/256 = -8388608 closes alone.
    EXPECT_EQ(m.winL, 3.0f);
    EXPECT_EQ(m.sumL, 1.0f + 1.0f + 8388608.0f);
    EXPECT_EQ(m.winR, 2.0f);   // -255 and -1 share a polarity
    EXPECT_EQ(m.sumR, 0.0f);   // +-255 / 256 = 0
    Meter z;
    z.Run(l, r, 0.0f, 0);   // acts as divisor 1
    EXPECT_EQ(z.sumL, 511.0f + 511.0f + 2147483648.0f);
}
