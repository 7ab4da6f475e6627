#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "mixer/effects/peak_compressor.hpp"
#include "mixer/effects/rms_compressor.hpp"

using namespace varnel;

namespace {

constexpr double kHalfPiTest = 1.5707963267948966;

// Square wave in half-cycles of `half` frames, starting positive; frames
// before `loudFrom` and from `loudTo` on have amplitude `quiet`, the rest `loud`.
std::vector<double> Burst(int n, int half, int loudFrom, int loudTo, double quiet, double loud) {
    std::vector<double> x(n);
    for (int i = 0; i < n; ++i) {
        const double sign = (i / half) % 2 == 0 ? 1.0 : -1.0;
        x[i] = sign * ((i >= loudFrom && i < loudTo) ? loud : quiet);
    }
    return x;
}

double AttackG(int k, int attack, double ratio) {
    return 1.0 - (1.0 - 1.0 / ratio) * std::sin(kHalfPiTest * k / attack);
}
double ReleaseG(int k, int release, double ratio) {
    return 1.0 / ratio + (1.0 - 1.0 / ratio) * std::sin(kHalfPiTest * k / release);
}

// The timeline both compressors share on the burst of the tests below
// (attack 4, release 10, ratio 4, threshold 1000, half-cycles of 8 frames):
// attack on the trigger frame and the next three, hold at 1/4 until the
// fourth quiet half-cycle closes at frame 96, release over frames 97..106
// (the last one at gain 1), idle afterwards.
struct Expected {
    int state;     // state after the frame
    double gain;   // 0 when the frame must pass untouched
};

Expected Timeline(int i, int trigger) {
    if (i < trigger) return {kCompIdle, 0.0};
    if (i < trigger + 4) return {i < trigger + 3 ? kCompAttack : kCompHolding,
                                 AttackG(i - trigger + 1, 4, 4.0)};
    if (i <= 96) return {i < 96 ? kCompHolding : kCompRelease, 0.25};
    if (i <= 106) return {i < 106 ? kCompRelease : kCompIdle, ReleaseG(i - 96, 10, 4.0)};
    return {kCompIdle, 0.0};
}

template <typename Step>
void CheckTimeline(const std::vector<double>& in, int trigger, Step step) {
    int state = kCompIdle;
    for (int i = 0; i < static_cast<int>(in.size()); ++i) {
        double l = in[i], r = -in[i];
        step(state, &l, &r);   // one frame per call: the state is seen after every frame
        const Expected e = Timeline(i, trigger);
        ASSERT_EQ(state, e.state) << "frame " << i;
        if (e.gain == 0.0) {
            ASSERT_EQ(l, in[i]) << "frame " << i;
        } else {
            ASSERT_DOUBLE_EQ(l, in[i] * e.gain) << "frame " << i;
            ASSERT_DOUBLE_EQ(r, -in[i] * e.gain) << "frame " << i;
        }
    }
}

}  // namespace

TEST(RmsCompressor, AttackHoldReleaseTimeline) {
    // Loud from the first frame: the first reading is that frame's magnitude.
    const std::vector<double> in = Burst(140, 8, 0, 64, 100.0, 2000.0);
    auto st = std::make_unique<RmsCompState>();
    int first = 0;
    CheckTimeline(in, 0, [&](int& state, double* l, double* r) {
        RMSCOMPRESSOR(*st, {12, &state, l, r, 4, 10, 4.0, 1000, &first}, 1);
    });
}

TEST(RmsCompressor, BlocksJoinSeamlessly) {
    const std::vector<double> in = Burst(400, 8, 0, 64, 100.0, 2000.0);
    std::vector<double> a = in, ar = in, b = in, br = in;
    auto sa = std::make_unique<RmsCompState>(), sb = std::make_unique<RmsCompState>();
    int stateA = 1, stateB = 1, fa = 0, fb = 0;
    RMSCOMPRESSOR(*sa, {3, &stateA, a.data(), ar.data(), 4, 10, 4.0, 1000, &fa}, 400);
    for (int s = 0; s < 400; s += 13)
        RMSCOMPRESSOR(*sb, {3, &stateB, b.data() + s, br.data() + s, 4, 10, 4.0, 1000, &fb}, std::min(13, 400 - s));
    EXPECT_EQ(a, b);
    EXPECT_EQ(stateA, stateB);
}

TEST(RmsCompressor, FirstFrameReadsItsOwnMagnitude) {
    // A level equal to the threshold does not trigger.
    auto st = std::make_unique<RmsCompState>();
    int state = kCompIdle, first = 0;
    double l = 1000.0, r = -700.0;
    RMSCOMPRESSOR(*st, {0, &state, &l, &r, 10, 100, 2.0, 1000, &first}, 1);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(st->rmsL[0], 1000.0f);
    EXPECT_EQ(st->rmsR[0], 700.0f);
    EXPECT_EQ(state, kCompIdle);
    EXPECT_EQ(l, 1000.0);
}

TEST(RmsCompressor, SinglePointAttackGoesStraightToHold) {
    auto st = std::make_unique<RmsCompState>();
    int state = kCompIdle, first = 0;
    double l = 5000.0, r = 10.0;
    RMSCOMPRESSOR(*st, {1, &state, &l, &r, 1, 100, 5.0, 1000, &first}, 1);
    EXPECT_EQ(state, kCompHolding);
    EXPECT_DOUBLE_EQ(l, 5000.0 / 5.0);
    EXPECT_DOUBLE_EQ(r, 10.0 / 5.0);
}

TEST(RmsCompressor, RatioOneKeepsGainButRunsStates) {
    const std::vector<double> in = Burst(140, 8, 0, 64, 100.0, 2000.0);
    std::vector<double> l = in, r = in;
    auto st = std::make_unique<RmsCompState>();
    int state = kCompIdle, first = 0;
    RMSCOMPRESSOR(*st, {1, &state, l.data(), r.data(), 4, 10, 1.0, 1000, &first}, 50);
    EXPECT_EQ(state, kCompHolding);
    RMSCOMPRESSOR(*st, {1, &state, l.data() + 50, r.data() + 50, 4, 10, 1.0, 1000, &first}, 90);
    EXPECT_EQ(state, kCompIdle);
    EXPECT_EQ(l, in);
}

TEST(RmsCompressor, DcReadsOnlyItsFirstSample) {
    // Above the threshold from the start: triggers and never releases.
    std::vector<double> l(10000, 2000.0), r(10000, 2000.0);
    auto st = std::make_unique<RmsCompState>();
    int state = kCompIdle, first = 0;
    RMSCOMPRESSOR(*st, {2, &state, l.data(), r.data(), 4, 10, 2.0, 1000, &first}, 10000);
    EXPECT_EQ(state, kCompHolding);
    EXPECT_EQ(l.back(), 1000.0);
    // Below at first, louder later without a polarity change: never triggers.
    std::vector<double> q(2000, 500.0);
    for (int i = 1000; i < 2000; ++i) q[i] = 5000.0;
    std::vector<double> qr = q;
    const std::vector<double> before = q;
    auto st2 = std::make_unique<RmsCompState>();
    int state2 = kCompIdle, first2 = 0;
    RMSCOMPRESSOR(*st2, {2, &state2, q.data(), qr.data(), 4, 10, 2.0, 1000, &first2}, 2000);
    EXPECT_EQ(state2, kCompIdle);
    EXPECT_EQ(q, before);
}

TEST(RmsCompressor, QuietSignalStaysBitIdentical) {
    std::vector<double> l(3000), r(3000);
    for (int i = 0; i < 3000; ++i) {
        l[i] = 999.0 * std::sin(i * 0.05) + 1e-9;   // includes values below 0.0001
        r[i] = i % 7 == 0 ? 0.0 : -998.5 * std::cos(i * 0.031);
    }
    const std::vector<double> inL = l, inR = r;
    auto st = std::make_unique<RmsCompState>();
    int state = kCompIdle, first = 0;
    RMSCOMPRESSOR(*st, {7, &state, l.data(), r.data(), 4, 10, 3.0, 1000, &first}, 3000);
    EXPECT_EQ(std::memcmp(l.data(), inL.data(), 3000 * sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(r.data(), inR.data(), 3000 * sizeof(double)), 0);
}

TEST(RmsCompressor, ZeroWhileTriggeredBecomesFloorTimesGain) {
    auto st = std::make_unique<RmsCompState>();
    int state = kCompIdle, first = 0;
    double l[2] = {4000.0, 0.0}, r[2] = {4000.0, 4000.0};
    RMSCOMPRESSOR(*st, {4, &state, l, r, 1, 10, 2.0, 1000, &first}, 2);
    EXPECT_DOUBLE_EQ(l[1], 0.0001 * 0.5);
}

TEST(RmsCompressor, BusThresholdComparedExactly) {
    // 2^31 rounds to itself in single precision and is above 2^31 - 1.
    auto st = std::make_unique<RmsCompState>();
    int state = kCompIdle, first = 0;
    double l = 2147483648.0, r = 0.0;
    RMSCOMPRESSOR(*st, {0, &state, &l, &r, 100, 100, 2.0, 2147483647, &first}, 1);
    EXPECT_EQ(state, kCompAttack);
}

TEST(RmsCompressor, ZeroRatioAndTimesStayFinite) {
    const std::vector<double> in = Burst(200, 8, 0, 64, 100.0, 2000.0);
    std::vector<double> l = in, r = in;
    auto st = std::make_unique<RmsCompState>();
    int state = kCompIdle, first = 0;
    RMSCOMPRESSOR(*st, {4, &state, l.data(), r.data(), 0, 0, 0.0, 1000, &first}, 200);
    EXPECT_EQ(l, in);   // ratio 0 acts as 1
}

TEST(PeakCompressor, AttackHoldReleaseTimeline) {
    // Quiet until frame 32, loud until 64: the burst triggers on frame 32.
    const std::vector<double> in = Burst(140, 8, 32, 64, 100.0, 2000.0);
    auto st = std::make_unique<PeakCompState>();
    CheckTimeline(in, 32, [&](int& state, double* l, double* r) {
        PEAKCOMPRESSOR(*st, 40, state, 1, l, r, 4, 10, 4.0, 1000);
    });
}

// The sides are linked, and swapping them swaps the result. The right side
// here has half-cycles of its own length, stays loud after the left (so it
// alone holds the gain down: the left's fourth quiet half-cycle closes at
// frame 88, the right's at 96) and turns loud again during the release.
TEST(PeakCompressor, SidesAreLinkedAndInterchangeable) {
    const std::vector<double> a = Burst(200, 8, 32, 56, 100.0, 2000.0);
    std::vector<double> b = Burst(200, 6, 40, 70, 300.0, 1500.0);
    for (int i = 100; i < 106; ++i) b[i] = b[i] > 0 ? 1500.0 : -1500.0;
    auto run = [](std::vector<double> l, std::vector<double> r) {
        auto st = std::make_unique<PeakCompState>();
        int state = kCompIdle;
        PEAKCOMPRESSOR(*st, 1, state, 200, l.data(), r.data(), 4, 10, 4.0, 1000);
        return std::pair{l, r};
    };
    const auto ab = run(a, b), ba = run(b, a);
    EXPECT_EQ(ab.first, ba.second);
    EXPECT_EQ(ab.second, ba.first);
    EXPECT_NE(ab.first, run(a, a).first);
}

TEST(PeakCompressor, BlocksJoinSeamlessly) {
    const std::vector<double> in = Burst(500, 8, 32, 64, 100.0, 2000.0);
    std::vector<double> a = in, ar = in, b = in, br = in;
    auto sa = std::make_unique<PeakCompState>(), sb = std::make_unique<PeakCompState>();
    int stateA = 1, stateB = 1;
    PEAKCOMPRESSOR(*sa, 9, stateA, 500, a.data(), ar.data(), 4, 10, 4.0, 1000);
    for (int s = 0; s < 500; s += 7)
        PEAKCOMPRESSOR(*sb, 9, stateB, std::min(7, 500 - s), b.data() + s, br.data() + s, 4, 10,
                       4.0, 1000);
    EXPECT_EQ(a, b);
}

TEST(PeakCompressor, SingleSampleTriggersOnItsFrame) {
    std::vector<double> l(50, 10.0), r(50, 10.0);
    l[20] = 1001.0;
    const std::vector<double> in = l;
    auto st = std::make_unique<PeakCompState>();
    int state = kCompIdle;
    PEAKCOMPRESSOR(*st, 1, state, 50, l.data(), r.data(), 5, 10, 2.0, 1000);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(l[i], in[i]);
    EXPECT_DOUBLE_EQ(l[20], 1001.0 * AttackG(1, 5, 2.0));
    EXPECT_DOUBLE_EQ(r[21], 10.0 * AttackG(2, 5, 2.0));
    EXPECT_DOUBLE_EQ(r[24], 10.0 * AttackG(5, 5, 2.0));
    EXPECT_DOUBLE_EQ(r[25], 5.0);   // DC never closes a half-cycle: holding
    EXPECT_EQ(state, kCompHolding);
}

TEST(PeakCompressor, LevelBetweenHalfAndFullThresholdHolds) {
    std::vector<double> l = Burst(5000, 8, 0, 16, 700.0, 3000.0), r = l;
    auto st = std::make_unique<PeakCompState>();
    int state = kCompIdle;
    PEAKCOMPRESSOR(*st, 1, state, 5000, l.data(), r.data(), 4, 10, 4.0, 1000);
    EXPECT_EQ(state, kCompHolding);
    EXPECT_DOUBLE_EQ(l.back(), 700.0 * 0.25);   // frame 4999 lies in a positive half-cycle
}

TEST(PeakCompressor, QuietSignalAndZerosUntouchedWhileIdle) {
    std::vector<double> l = Burst(300, 5, 0, 0, 999.0, 0.0), r(300, 0.0);
    const std::vector<double> inL = l, inR = r;
    auto st = std::make_unique<PeakCompState>();
    int state = kCompIdle;
    PEAKCOMPRESSOR(*st, 1, state, 300, l.data(), r.data(), 4, 10, 4.0, 1000);
    EXPECT_EQ(std::memcmp(l.data(), inL.data(), 300 * sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(r.data(), inR.data(), 300 * sizeof(double)), 0);
}

TEST(PeakCompressor, ZeroWhileTriggeredBecomesFloorTimesGain) {
    auto st = std::make_unique<PeakCompState>();
    int state = kCompIdle;
    double l[2] = {4000.0, 0.0}, r[2] = {0.0, -0.0};
    PEAKCOMPRESSOR(*st, 4, state, 2, l, r, 1, 10, 4.0, 1000);
    EXPECT_DOUBLE_EQ(l[1], 0.0001 * 0.25);
    EXPECT_DOUBLE_EQ(r[0], 0.0001 * AttackG(1, 1, 4.0));
    EXPECT_DOUBLE_EQ(r[1], 0.0001 * 0.25);
}

TEST(PeakCompressor, BusThresholdComparedExactly) {
    struct Case { double sample; int state; };
    const Case cases[] = {{2147483647.0, kCompIdle}, {2147483647.5, kCompAttack}};
    for (const Case& c : cases) {
        auto st = std::make_unique<PeakCompState>();
        int state = kCompIdle;
        double l = c.sample, r = 0.0;
        PEAKCOMPRESSOR(*st, 0, state, 1, &l, &r, 100, 100, 2.0, 2147483647);
        EXPECT_EQ(state, c.state) << c.sample;
    }
}

TEST(PeakCompressor, OffStateAndOtherSlotsUntouched) {
    std::vector<double> l(20, 5000.0), r(20, 5000.0);
    auto st = std::make_unique<PeakCompState>();
    int off = kCompOff;
    PEAKCOMPRESSOR(*st, 1, off, 20, l.data(), r.data(), 4, 10, 4.0, 1000);
    EXPECT_EQ(off, kCompOff);
    EXPECT_EQ(l[5], 5000.0);
    int idle = kCompIdle;
    PEAKCOMPRESSOR(*st, 136, idle, 20, l.data(), r.data(), 4, 10, 4.0, 1000);
    EXPECT_EQ(idle, kCompIdle);
    EXPECT_EQ(l[5], 5000.0);
}
