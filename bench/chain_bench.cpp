// Times the effect chain of one channel strip on a block held in memory, so
// changes to the processors can be compared without the noise of file input:
// the full chain of the standard workload (hp, band1..4, rms, lim), then each
// effect alone. The cases are timed in turn, 30 times over; each prints its
// best pass, in nanoseconds per frame.
//
//   chain_bench [blocks]      (default 4 blocks of 131072 frames per pass)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "mixer/run/effect_chain.hpp"
#include "mixer/utilities/limits.hpp"

using namespace varnel;

namespace {

// Tones, a wobbling overtone and noise near -12 dBFS at the channel scale.
void MakeSignal(std::vector<int32_t>& L, std::vector<int32_t>& R) {
    uint32_t seed = 12345;
    for (size_t i = 0; i < L.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = (double(seed >> 8) / 16777216.0 - 0.5) * 0.05;
        const double t = double(i) / 48000.0;
        const double v = 0.12 * std::sin(6.283185307179586 * 110.0 * t) +
                         0.08 * std::sin(6.283185307179586 * (660.0 + 3.0 * std::sin(t)) * t) + noise;
        L[i] = int32_t(v * kChannelFullScale);
        R[i] = int32_t(0.9 * v * kChannelFullScale);
    }
}

// One case: its settings, processor memories and buffers.
struct Case {
    const char* name;
    std::unique_ptr<EffectSettings> fx = std::make_unique<EffectSettings>();
    std::unique_ptr<ProcessorStates> ps = std::make_unique<ProcessorStates>();
    bool pair = false;
    double best = 1e30;
    int64_t start = 0;
};

// Times `blocks` blocks of the case's chain, keeping its best time per strip
// and frame. A pair case runs strips 1 and 2 (the second a little quieter)
// together, as the mixing loop does for channels with the same chain.
void TimeCase(Case& c, int blocks, const std::vector<int32_t>& srcL, const std::vector<int32_t>& srcR) {
    std::vector<int32_t> L(kBlockFrames), R(kBlockFrames), L2(kBlockFrames), R2(kBlockFrames);
    std::vector<double> wL(kBlockFrames), wR(kBlockFrames), work(4 * kBlockFrames);
    int clip = 0, clip2 = 0;
    double total = 0;
    for (int b = 0; b < blocks; ++b) {
        std::copy(srcL.begin(), srcL.end(), L.begin());
        std::copy(srcR.begin(), srcR.end(), R.begin());
        for (int i = 0; i < kBlockFrames; ++i) L2[i] = srcR[i] / 2, R2[i] = srcL[i] / 2;
        const auto t0 = std::chrono::steady_clock::now();
        if (c.pair) {
            RunStripEffectsPair({1, L.data(), R.data(), 1.0, clip},
                                {2, L2.data(), R2.data(), 1.0, clip2}, kBlockFrames,
                                work.data(), *c.fx, *c.ps, kChannelFullScale);
        } else {
            RunStripEffects(1, kBlockFrames, L.data(), R.data(), wL.data(), wR.data(),
                            *c.fx, *c.ps, 1.0, kChannelFullScale, clip);
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        c.start += kBlockFrames;
    }
    const double strips = c.pair ? 2.0 : 1.0;
    c.best = std::min(c.best, total * 1e9 / (double(blocks) * kBlockFrames * strips));
}

constexpr const char* kFullChainPair =
    "hp\t1\t40\nband1\t1\t120\t2\t0.8\nband2\t1\t600\t-3\t1.2\nband3\t1\t2500\t1.5\t1\n"
    "band4\t1\t9000\t-2\t0.7\nrms\t1\t-20\t10\t200\t3\nlim\t1\t-1\n"
    "hp\t2\t40\nband1\t2\t120\t2\t0.8\nband2\t2\t600\t-3\t1.2\nband3\t2\t2500\t1.5\t1\n"
    "band4\t2\t9000\t-2\t0.7\nrms\t2\t-20\t10\t200\t3\nlim\t2\t-1\n";

}  // namespace

int main(int argc, char** argv) {
    const int blocks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 4;
    const struct {
        const char* name;
        const char* lines;
        bool pair = false;
    } cases[] = {
        {"full chain", "hp\t1\t40\nband1\t1\t120\t2\t0.8\nband2\t1\t600\t-3\t1.2\n"
                       "band3\t1\t2500\t1.5\t1\nband4\t1\t9000\t-2\t0.7\nrms\t1\t-20\t10\t200\t3\n"
                       "lim\t1\t-1\n"},
        {"hp", "hp\t1\t40\n"},
        {"band1..4", "band1\t1\t120\t2\t0.8\nband2\t1\t600\t-3\t1.2\nband3\t1\t2500\t1.5\t1\n"
                     "band4\t1\t9000\t-2\t0.7\n"},
        {"rms", "rms\t1\t-20\t10\t200\t3\n"},
        {"lim", "lim\t1\t-1\n"},
        {"rms idle", "rms\t1\t0\t10\t200\t3\n"},
        {"rms holding", "rms\t1\t-60\t10\t200\t3\n"},
        {"fxg only (convert and return)", "fxg\t1\t0\n"},
        {"full chain, pair (per strip)", kFullChainPair, true},
        {"hp, band1..4, pair (per strip)",
         "hp\t1\t40\nband1\t1\t120\t2\t0.8\nband2\t1\t600\t-3\t1.2\nband3\t1\t2500\t1.5\t1\n"
         "band4\t1\t9000\t-2\t0.7\nhp\t2\t40\nband1\t2\t120\t2\t0.8\nband2\t2\t600\t-3\t1.2\n"
         "band3\t2\t2500\t1.5\t1\nband4\t2\t9000\t-2\t0.7\n",
         true},
        {"rms, pair (per strip)", "rms\t1\t-20\t10\t200\t3\nrms\t2\t-20\t10\t200\t3\n", true},
        {"rms idle, pair (per strip)", "rms\t1\t0\t10\t200\t3\nrms\t2\t0\t10\t200\t3\n", true},
        {"fxg only, pair (per strip)", "fxg\t1\t0\nfxg\t2\t0\n", true},
    };
    std::vector<int32_t> srcL(kBlockFrames), srcR(kBlockFrames);
    MakeSignal(srcL, srcR);
    std::vector<Case> runs;
    for (const auto& c : cases) {
        runs.push_back(Case{c.name});
        runs.back().pair = c.pair;
        const std::string script = std::string("\nbench\n") + c.lines;
        ReadEffectSettings(script, "", 48000, false, 0, 1, false, false, "", *runs.back().fx);
    }
    // Round robin, so a slow spell of a shared machine hits every case alike.
    for (int pass = 0; pass < 30; ++pass)
        for (Case& c : runs) TimeCase(c, blocks, srcL, srcR);
    for (const Case& c : runs) std::printf("%-32s %7.2f ns/frame\n", c.name, c.best);
    return 0;
}
