// The RMS compressor measures a chunk ahead and walks its state machine from
// half-cycle to half-cycle; these tests hold it, and the two-strip entry, to
// the plain frame-by-frame machine on signals that visit every state, block
// splits of every kind, settings changed between calls and states set from
// outside. Samples must match bit for bit, and so must every memory.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "mixer/effects/rms_compressor.hpp"

using namespace varnel;

namespace {

// The compressor as the frame-by-frame description reads, on the same memory.
void ModelRms(RmsCompState& st, int slot, int& state, int n, double* left, double* right,
              int attack, int release, double ratio, int threshold, int& firstUse) {
    if (firstUse == 0) {
        firstUse = 1;
        st.rmsL[slot] = st.rmsR[slot] = 0.0f;
        st.squaresL[slot] = st.squaresR[slot] = 0.0f;
        st.intervalL[slot] = st.intervalR[slot] = 0.0f;
        st.oldpolarL[slot] = st.oldpolarR[slot] = 0.0;
    }
    const SwitchedLaw law = MakeLaw(attack, release, ratio, threshold);
    float* squares[2] = {&st.squaresL[slot], &st.squaresR[slot]};
    float* interval[2] = {&st.intervalL[slot], &st.intervalR[slot]};
    float* rms[2] = {&st.rmsL[slot], &st.rmsR[slot]};
    double* oldpolar[2] = {&st.oldpolarL[slot], &st.oldpolarR[slot]};
    int* pass[2] = {&st.passTL[slot], &st.passTR[slot]};
    for (int i = 0; i < n; ++i) {
        double* x[2] = {&left[i], &right[i]};
        bool updated[2];
        for (int s = 0; s < 2; ++s) {
            const double p = *x[s] >= 0.0 ? 1.0 : -1.0;
            const double m = std::fabs(*x[s]);
            *squares[s] = static_cast<float>(*squares[s] + (m < 0.0001 ? 1e-8 : m * m));
            *interval[s] = *interval[s] + 1.0f;
            updated[s] = p != *oldpolar[s];
            if (updated[s]) {
                *rms[s] = std::sqrt(*squares[s] / *interval[s]);
                *squares[s] = 0.0f;
                *interval[s] = 0.0f;
            }
            *oldpolar[s] = p;
        }
        const double thr = threshold;
        if (state == kCompIdle) {
            if (!(*rms[0] > thr || *rms[1] > thr)) continue;
            st.attackCount[slot] = st.releaseCount[slot] = 1;
            *pass[0] = *pass[1] = 0;
            state = kCompAttack;
        }
        double g;
        if (state == kCompAttack) {
            g = AttackStep(state, st.attackCount[slot], law);
        } else if (state == kCompHolding) {
            g = 1.0 / law.ratio;
            for (int s = 0; s < 2; ++s)
                if (updated[s]) *pass[s] = *rms[s] < thr * 0.5 ? *pass[s] + 1 : 0;
            if (*pass[0] > 3 && *pass[1] > 3) state = kCompRelease;
        } else if (state == kCompRelease) {
            g = ReleaseStep(state, st.releaseCount[slot], law, *rms[0] < thr && *rms[1] < thr);
        } else {
            continue;
        }
        for (int s = 0; s < 2; ++s)
            *x[s] = (*x[s] >= 0.0 ? 1.0 : -1.0) * FlooredMagnitude(*x[s]) * g;
    }
}

struct Rng {
    uint64_t s;
    uint32_t Next() {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return uint32_t(s >> 33);
    }
    double Unit() { return Next() / 2147483648.0 - 1.0; }   // [-1, 1)
    int Below(int n) { return int(Next() % uint32_t(n)); }
};

// Loud and quiet stretches of tone and noise, with exact zeros, values
// below the floor, negative zeros, DC runs and a NaN-free full range.
std::vector<double> Signal(Rng& rng, int n, double scale) {
    std::vector<double> x(n);
    double phase = 0, step = 0.02, level = scale;
    for (int i = 0; i < n; ++i) {
        if (rng.Below(700) == 0) level = scale * std::pow(10.0, -2.5 * (rng.Below(100) / 100.0));
        if (rng.Below(900) == 0) step = 0.001 + 0.3 * (rng.Below(100) / 100.0);
        phase += step;
        double v = level * (0.8 * std::sin(phase) + 0.2 * rng.Unit());
        switch (rng.Below(400)) {
        case 0: v = 0.0; break;
        case 1: v = -0.0; break;
        case 2: v = 0.00005 * rng.Unit(); break;
        case 3:
            for (int k = 0; k < 300 && i < n; ++k) x[i++] = level;   // DC run
            --i;
            continue;
        default: break;
        }
        x[i] = v;
    }
    return x;
}

struct Settings {
    int attack, release;
    double ratio;
    int threshold;
};

Settings RandomSettings(Rng& rng, double scale) {
    const int attacks[] = {1, 2, 7, 64, 480, 300000};
    const int releases[] = {1, 10, 33, 200, 9600, 300000};
    const double ratios[] = {0.0, 1.0, 1.5, 3.0, 50.0};
    const double db = -40.0 + rng.Below(40);
    return {attacks[rng.Below(6)], releases[rng.Below(6)], ratios[rng.Below(5)],
            int(scale * std::pow(10.0, db / 20.0))};
}

void ExpectSameMemory(const RmsCompState& a, const RmsCompState& b, int slot) {
    EXPECT_EQ(a.rmsL[slot], b.rmsL[slot]);
    EXPECT_EQ(a.rmsR[slot], b.rmsR[slot]);
    EXPECT_EQ(a.squaresL[slot], b.squaresL[slot]);
    EXPECT_EQ(a.squaresR[slot], b.squaresR[slot]);
    EXPECT_EQ(a.intervalL[slot], b.intervalL[slot]);
    EXPECT_EQ(a.intervalR[slot], b.intervalR[slot]);
    EXPECT_EQ(a.oldpolarL[slot], b.oldpolarL[slot]);
    EXPECT_EQ(a.oldpolarR[slot], b.oldpolarR[slot]);
    EXPECT_EQ(a.attackCount[slot], b.attackCount[slot]);
    EXPECT_EQ(a.releaseCount[slot], b.releaseCount[slot]);
    EXPECT_EQ(a.passTL[slot], b.passTL[slot]);
    EXPECT_EQ(a.passTR[slot], b.passTR[slot]);
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// One strip's run in both forms, block by block.
struct Twin {
    explicit Twin(int s) : slot(s) {}
    int slot;
    std::vector<double> L, R, mL, mR;
    int state = kCompIdle, mState = kCompIdle, first = 0, mFirst = 0;
};

}  // namespace

TEST(RmsCompressorModel, MatchesFrameByFrameMachine) {
    for (int seed = 1; seed <= 60; ++seed) {
        Rng rng{uint64_t(seed) * 0x9E3779B97F4A7C15ULL};
        const double scale = seed % 2 ? 8388608.0 : 2147483648.0;
        const int n = 6000 + rng.Below(20000);
        Twin t(seed % 136);
        t.L = t.mL = Signal(rng, n, scale * 0.25);
        t.R = t.mR = Signal(rng, n, scale * 0.25);
        auto st = std::make_unique<RmsCompState>(), model = std::make_unique<RmsCompState>();
        Settings s = RandomSettings(rng, scale);
        for (int at = 0; at < n;) {
            const int sizes[] = {1, 2, 255, 256, 257, 1024, 4000};
            const int len = std::min(sizes[rng.Below(7)], n - at);
            if (rng.Below(8) == 0) s = RandomSettings(rng, scale);   // settings move mid-run
            if (rng.Below(40) == 0) t.state = t.mState = rng.Below(6);   // set from outside
            RMSCOMPRESSOR(*st, {t.slot, &t.state, &t.L[at], &t.R[at], s.attack, s.release, s.ratio, s.threshold, &t.first}, len);
            ModelRms(*model, t.slot, t.mState, len, &t.mL[at], &t.mR[at], s.attack, s.release,
                     s.ratio, s.threshold, t.mFirst);
            ASSERT_EQ(t.state, t.mState) << "seed " << seed << " at " << at;
            at += len;
        }
        EXPECT_TRUE(SameBits(t.L, t.mL)) << "seed " << seed;
        EXPECT_TRUE(SameBits(t.R, t.mR)) << "seed " << seed;
        ExpectSameMemory(*st, *model, t.slot);
    }
}

TEST(RmsCompressorModel, PairMatchesEachStripAlone) {
    for (int seed = 1; seed <= 20; ++seed) {
        Rng rng{uint64_t(seed) * 0xD1B54A32D192ED03ULL};
        const double scale = 8388608.0;
        const int n = 20000;
        Twin a(5), b(9);
        for (Twin* t : {&a, &b}) {
            t->L = t->mL = Signal(rng, n, scale * 0.25);
            t->R = t->mR = Signal(rng, n, scale * 0.25);
        }
        auto st = std::make_unique<RmsCompState>(), model = std::make_unique<RmsCompState>();
        const Settings sa = RandomSettings(rng, scale), sb = RandomSettings(rng, scale);
        for (int at = 0; at < n;) {
            const int len = std::min(1 + rng.Below(3000), n - at);
            RmsCompressorPair(*st,
                              {a.slot, &a.state, &a.L[at], &a.R[at], sa.attack, sa.release,
                               sa.ratio, sa.threshold, &a.first},
                              {b.slot, &b.state, &b.L[at], &b.R[at], sb.attack, sb.release,
                               sb.ratio, sb.threshold, &b.first},
                              len);
            ModelRms(*model, a.slot, a.mState, len, &a.mL[at], &a.mR[at], sa.attack, sa.release,
                     sa.ratio, sa.threshold, a.mFirst);
            ModelRms(*model, b.slot, b.mState, len, &b.mL[at], &b.mR[at], sb.attack, sb.release,
                     sb.ratio, sb.threshold, b.mFirst);
            at += len;
        }
        for (Twin* t : {&a, &b}) {
            EXPECT_EQ(t->state, t->mState) << "seed " << seed;
            EXPECT_TRUE(SameBits(t->L, t->mL)) << "seed " << seed;
            EXPECT_TRUE(SameBits(t->R, t->mR)) << "seed " << seed;
            ExpectSameMemory(*st, *model, t->slot);
        }
    }
}

TEST(RmsCompressorModel, IntervalStopsGrowingAtTwoToTheTwentyFour) {
    // A half-cycle already 2^24 - 3 samples long: the single-precision count
    // reaches 2^24 and stays there, so the closing RMS divides by 2^24.
    auto st = std::make_unique<RmsCompState>(), model = std::make_unique<RmsCompState>();
    for (RmsCompState* s : {st.get(), model.get()}) {
        s->intervalL[3] = s->intervalR[3] = 16777213.0f;
        s->squaresL[3] = s->squaresR[3] = 3.0e12f;
        s->oldpolarL[3] = s->oldpolarR[3] = 1.0;
    }
    std::vector<double> l(12, 1500.0), r(12, 2500.0);
    for (int i = 8; i < 12; ++i) l[i] = -1500.0;
    r[10] = r[11] = -1500.0;
    std::vector<double> ml = l, mr = r;
    int state = kCompIdle, mState = kCompIdle, first = 1, mFirst = 1;
    RMSCOMPRESSOR(*st, {3, &state, l.data(), r.data(), 10, 100, 2.0, 1000000, &first}, 12);
    ModelRms(*model, 3, mState, 12, ml.data(), mr.data(), 10, 100, 2.0, 1000000, mFirst);
    float sum = 3.0e12f;
    for (int i = 0; i < 9; ++i) sum = static_cast<float>(sum + 1500.0 * 1500.0);
    const float capped = std::sqrt(sum / 16777216.0f), uncapped = std::sqrt(sum / 16777222.0f);
    ASSERT_NE(capped, uncapped);
    EXPECT_EQ(st->rmsL[3], capped);
    EXPECT_EQ(st->intervalL[3], 3.0f);
    EXPECT_EQ(st->intervalR[3], 1.0f);
    ExpectSameMemory(*st, *model, 3);
    EXPECT_TRUE(SameBits(l, ml));
    EXPECT_TRUE(SameBits(r, mr));
}
