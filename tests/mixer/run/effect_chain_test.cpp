#include "mixer/run/effect_chain.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mixer/effects/limiter.hpp"
#include "mixer/utilities/limits.hpp"
#include "mixer/utilities/text/numbers.hpp"

using namespace varnel;

namespace {

// The full filter and dynamics chain on channels 1 and 2; channel 2's order
// lines break the filters into runs (band3, hp, rms, then the rest).
constexpr const char* kEffects =
    "\nmix\n"
    "hp\t1\t40\nband1\t1\t120\t4\t0.8\nband2\t1\t600\t-3\t1.2\nband3\t1\t2500\t1.5\t1\n"
    "band4\t1\t9000\t-2\t0.7\nhshelf\t1\t8000\t2\t0.7\nlshelf\t1\t100\t-4\t0.7\n"
    "rms\t1\t-30\t2\t20\t3\nlim\t1\t-6\n"
    "hp\t2\t40\nband1\t2\t120\t4\t0.8\nband2\t2\t600\t-3\t1.2\nband3\t2\t2500\t1.5\t1\n"
    "band4\t2\t9000\t-2\t0.7\nhshelf\t2\t8000\t2\t0.7\nlshelf\t2\t100\t-4\t0.7\n"
    "rms\t2\t-30\t2\t20\t3\nlim\t2\t-6\n"
    "order\tband3\t2\t1\norder\thp\t2\t5\norder\trms\t2\t6\n"
    // Channel 3: channel 1's chain with settings of its own.
    "hp\t3\t80\nband1\t3\t200\t-4\t0.6\nband2\t3\t900\t3\t2\nband3\t3\t3000\t-1.5\t1\n"
    "band4\t3\t7000\t2\t0.9\nhshelf\t3\t6000\t-2\t0.7\nlshelf\t3\t150\t4\t0.7\n"
    "rms\t3\t-24\t1\t40\t5\nlim\t3\t-3\n";

struct Chain {
    std::unique_ptr<EffectSettings> fx = std::make_unique<EffectSettings>();
    std::unique_ptr<ProcessorStates> ps = std::make_unique<ProcessorStates>();
    Chain() {
        testing::internal::CaptureStdout();
        ReadEffectSettings(kEffects, "", 48000, false, 0, 3, false, false, "", *fx);
        testing::internal::GetCapturedStdout();
    }
};

// Each effect over the whole span in the given order, as the chain is
// documented to run, then the return to integers.
void Reference(Chain& c, int slot, const std::vector<int>& order, int n, int32_t* L,
               int32_t* R, int& clip) {
    const EffectSettings& fx = *c.fx;
    ProcessorStates& ps = *c.ps;
    std::vector<double> wL(L, L + n), wR(R, R + n);
    for (int e : order) {
        if (e == kHp) {
            HPF(ps.hpf, n, slot, wL.data(), wR.data(), fx.hpFeedback[slot], fx.hpInput[slot],
                ps.hpf.firstUse[slot]);
        } else if (e <= kLshelf) {
            const int k = e - kBand1 + 1;
            const Biquad& q = fx.eq[k][slot];
            EQ(ps.eq, n, slot, k, wL.data(), wR.data(), q.b0, q.b1, q.b2, q.a1, q.a2,
               ps.eq.firstUse[slot][k]);
        } else if (e == kRms) {
            int& mode = ps.rms.mode[slot];
            if (mode == kCompOff) mode = kCompIdle;   // an "rms" line starts it idle
            RMSCOMPRESSOR(ps.rms,
                          {slot, &mode, wL.data(), wR.data(), fx.rmsAttack[slot],
                           fx.rmsRelease[slot], fx.rmsRatio[slot], fx.rmsThresh[slot],
                           &ps.rms.firstUse[slot]},
                          n);
        } else if (e == kLim) {
            LIMITER(n, wL.data(), wR.data(), fx.limThresh[slot]);
        }
    }
    ReturnFromEffects(wL.data(), wR.data(), n, 1.0, kChannelFullScale, clip, L, R);
}

// Bursts loud enough to trigger the compressor and quiet stretches that let
// it release, so every state of the chain is crossed.
void Signal(std::vector<int32_t>& L, std::vector<int32_t>& R, int64_t start) {
    for (size_t i = 0; i < L.size(); ++i) {
        const double t = double(start + int64_t(i)) / 48000.0;
        const double env = std::fmod(t, 0.5) < 0.2 ? 0.9 : 0.01;
        L[i] = int32_t(env * kChannelFullScale * std::sin(6.283185307179586 * 220.0 * t));
        R[i] = int32_t(env * kChannelFullScale * std::sin(6.283185307179586 * 330.0 * t + 1.0));
    }
}

}  // namespace

// The chain runs in cache-sized tiles with settled filters fused; the
// samples, the clip flag and the memories carried into the next block are
// those of each effect run over the whole block in turn.
TEST(EffectChain, TilesAndFusedFiltersMatchWholeBlockOrder) {
    const std::vector<int> order1 = {kHp, kBand1, kBand2, kBand3, kBand4, kHshelf, kLshelf, kRms, kLim};
    const std::vector<int> order2 = {kBand3, kHp, kRms, kBand1, kBand2, kBand4, kHshelf, kLshelf, kLim};
    for (int slot : {1, 2}) {
        SCOPED_TRACE("slot " + std::to_string(slot));
        Chain tiled, whole;
        int64_t s = 0;
        int clipTiled = 0, clipWhole = 0;
        // A first block of one frame (the filters' start-up), odd lengths and a full block.
        for (int n : {1, 2, 1500, 3, kBlockFrames, 40000}) {
            std::vector<int32_t> L(static_cast<size_t>(n)), R(static_cast<size_t>(n));
            Signal(L, R, s);
            std::vector<int32_t> L2 = L, R2 = R;
            std::vector<double> wL(kBlockFrames), wR(kBlockFrames);
            RunStripEffects(slot, n, L.data(), R.data(), wL.data(), wR.data(), *tiled.fx,
                            *tiled.ps, 1.0, kChannelFullScale, clipTiled);
            Reference(whole, slot, slot == 1 ? order1 : order2, n, L2.data(), R2.data(), clipWhole);
            ASSERT_EQ(L, L2) << "block at " << s;
            ASSERT_EQ(R, R2) << "block at " << s;
            s += n;
        }
        EXPECT_EQ(clipTiled, clipWhole);
        EXPECT_EQ(tiled.ps->rms.mode[slot], whole.ps->rms.mode[slot]);
        EXPECT_EQ(tiled.ps->eq.out1L[slot][3], whole.ps->eq.out1L[slot][3]);
        EXPECT_EQ(tiled.ps->hpf.OldYR[slot], whole.ps->hpf.OldYR[slot]);
    }
}

// Two channels with the same chain run side by side give what each gives
// alone: samples, clip flags and the memories carried on.
TEST(EffectChain, PairedStripsMatchEachAlone) {
    Chain single, paired;
    EXPECT_TRUE(SameEffectChain(1, 3, *single.fx));
    EXPECT_FALSE(SameEffectChain(1, 2, *single.fx));   // channel 2's order differs
    EXPECT_FALSE(SameEffectChain(1, 1, *single.fx));
    int clip1 = 0, clip3 = 0, pclip1 = 0, pclip3 = 0;
    int64_t s = 0;
    std::vector<double> wL(kBlockFrames), wR(kBlockFrames);
    for (int n : {1, 2, 1500, 3, kBlockFrames, 40000}) {
        std::vector<int32_t> L1(static_cast<size_t>(n)), R1(static_cast<size_t>(n));
        std::vector<int32_t> L3(static_cast<size_t>(n)), R3(static_cast<size_t>(n));
        Signal(L1, R1, s);
        Signal(L3, R3, s + 777);
        std::vector<int32_t> PL1 = L1, PR1 = R1, PL3 = L3, PR3 = R3;
        RunStripEffects(1, n, L1.data(), R1.data(), wL.data(), wR.data(), *single.fx,
                        *single.ps, 1.0, kChannelFullScale, clip1);
        RunStripEffects(3, n, L3.data(), R3.data(), wL.data(), wR.data(), *single.fx,
                        *single.ps, 1.0, kChannelFullScale, clip3);
        RunStripEffectsPair({1, PL1.data(), PR1.data(), 1.0, pclip1},
                            {3, PL3.data(), PR3.data(), 1.0, pclip3}, n, wL.data(),
                            *paired.fx, *paired.ps, kChannelFullScale);
        ASSERT_EQ(L1, PL1) << "block at " << s;
        ASSERT_EQ(R1, PR1) << "block at " << s;
        ASSERT_EQ(L3, PL3) << "block at " << s;
        ASSERT_EQ(R3, PR3) << "block at " << s;
        s += n;
    }
    EXPECT_EQ(clip1, pclip1);
    EXPECT_EQ(clip3, pclip3);
    for (int slot : {1, 3}) {
        EXPECT_EQ(single.ps->rms.mode[slot], paired.ps->rms.mode[slot]);
        EXPECT_EQ(single.ps->eq.out1R[slot][6], paired.ps->eq.out1R[slot][6]);
        EXPECT_EQ(single.ps->hpf.OldYL[slot], paired.ps->hpf.OldYL[slot]);
    }
}

TEST(EffectChain, ReturnConvertsEverySampleAsTruncToInt32) {
    // Edges of the 32-bit range, fractions both ways, NaN and infinities, at
    // every position of a four-sample step and in the tail after the last,
    // in both builds of the return.
    const double values[] = {0.0, -0.0, 0.7, -0.7, 1.5, -1.5, 2147483646.9, 2147483647.0,
                             2147483647.5, 4.0e9, -2147483647.9, -2147483648.0, -2147483649.0,
                             -4.0e9, std::nan(""), -std::nan(""), INFINITY, -INFINITY, 123456.75};
    const int count = int(sizeof values / sizeof values[0]);
    for (Kernel kernel : {Kernel::kBest, Kernel::kBaseline})
        for (int n : {1, 3, 4, 5, 19, 23}) {
            for (int shift = 0; shift < 4; ++shift) {
                std::vector<double> L(n), R(n);
                for (int i = 0; i < n; ++i) {
                    L[i] = values[(i + shift) % count];
                    R[i] = values[(i * 7 + shift) % count];
                }
                std::vector<int32_t> outL(n), outR(n);
                int clip = 1;   // already flagged: stays flagged
                std::vector<double> wL = L, wR = R;
                ReturnFromEffects(wL.data(), wR.data(), n, 1.0, kBusFullScale, clip, outL.data(),
                                  outR.data(), kernel);
                EXPECT_EQ(clip, 1);
                for (int i = 0; i < n; ++i) {
                    ASSERT_EQ(outL[i], TruncToInt32(L[i])) << "n " << n << " frame " << i;
                    ASSERT_EQ(outR[i], TruncToInt32(R[i])) << "n " << n << " frame " << i;
                }
            }
        }
    EXPECT_EQ(TruncToInt32(std::nan("")), 0);
    EXPECT_EQ(TruncToInt32(4.0e9), 2147483647);
    EXPECT_EQ(TruncToInt32(-4.0e9), -2147483647 - 1);
    EXPECT_EQ(TruncToInt32(-1.5), -1);
}

// The clip test after the post-effects gain, in both builds of the return:
// one sample beyond +-full scale, on either side, at any position of a
// four-sample step or in the tail, raises the flag; a sample exactly at full
// scale and NaN do not. The gained samples are written back and converted.
TEST(EffectChain, ReturnClipTestAfterPostGain) {
    const double fs = kBusFullScale;
    for (Kernel kernel : {Kernel::kBest, Kernel::kBaseline})
        for (int n : {1, 4, 7, 9})
            for (int at = 0; at < n; ++at)
                for (int side = 0; side < 2; ++side)
                    for (double v : {fs * 1.0000001, -fs * 1.0000001, fs, -fs, double(NAN)}) {
                        std::vector<double> in[2] = {std::vector<double>(n, 1000.25),
                                                     std::vector<double>(n, -1000.25)};
                        in[side][at] = v / 2.0;   // doubled by the gain below
                        std::vector<double> L = in[0], R = in[1];
                        std::vector<int32_t> outL(n), outR(n);
                        int clip = 0;
                        ReturnFromEffects(L.data(), R.data(), n, 2.0, fs, clip, outL.data(),
                                          outR.data(), kernel);
                        const bool beyond = v > fs || v < -fs;
                        EXPECT_EQ(clip, beyond ? 1 : 0) << "n " << n << " at " << at << " v " << v;
                        for (int i = 0; i < n; ++i) {
                            const double l = in[0][i] * 2.0, r = in[1][i] * 2.0;
                            ASSERT_TRUE(L[i] == l || (std::isnan(L[i]) && std::isnan(l)));
                            ASSERT_TRUE(R[i] == r || (std::isnan(R[i]) && std::isnan(r)));
                            ASSERT_EQ(outL[i], TruncToInt32(l));
                            ASSERT_EQ(outR[i], TruncToInt32(r));
                        }
                    }
}
