// Times the effect chain of one channel strip on a block held in memory, so
// changes to the processors can be compared without the noise of file input:
// the full chain of the standard workload (hp, band1..4, rms, lim), then each
// effect alone. Prints the best of several passes in nanoseconds per frame.
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

double TimeChain(const std::string& effects, int blocks) {
    auto fx = std::make_unique<EffectSettings>();
    const std::string text = "\nbench\n" + effects;
    std::fflush(stdout);
    ReadEffectSettings(text, "", 48000, false, 0, 1, false, false, "", *fx);
    auto ps = std::make_unique<ProcessorStates>();
    std::vector<int32_t> srcL(kBlockFrames), srcR(kBlockFrames), L(kBlockFrames), R(kBlockFrames);
    std::vector<double> wL(kBlockFrames), wR(kBlockFrames);
    MakeSignal(srcL, srcR);
    int clip = 0;
    double best = 1e30;
    for (int pass = 0; pass < 30; ++pass) {
        double total = 0;
        for (int b = 0; b < blocks; ++b) {
            std::copy(srcL.begin(), srcL.end(), L.begin());
            std::copy(srcR.begin(), srcR.end(), R.begin());
            const auto t0 = std::chrono::steady_clock::now();
            RunStripEffects(1, int64_t(b) * kBlockFrames, kBlockFrames, L.data(), R.data(),
                            wL.data(), wR.data(), *fx, *ps, 1.0, kChannelFullScale, clip);
            total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        }
        best = std::min(best, total);
    }
    return best * 1e9 / (double(blocks) * kBlockFrames);
}

}  // namespace

int main(int argc, char** argv) {
    const int blocks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 4;
    const struct {
        const char* name;
        const char* lines;
    } cases[] = {
        {"full chain", "hp\t1\t40\nband1\t1\t120\t2\t0.8\nband2\t1\t600\t-3\t1.2\n"
                       "band3\t1\t2500\t1.5\t1\nband4\t1\t9000\t-2\t0.7\nrms\t1\t-20\t10\t200\t3\n"
                       "lim\t1\t-1\n"},
        {"hp", "hp\t1\t40\n"},
        {"band1..4", "band1\t1\t120\t2\t0.8\nband2\t1\t600\t-3\t1.2\nband3\t1\t2500\t1.5\t1\n"
                     "band4\t1\t9000\t-2\t0.7\n"},
        {"rms", "rms\t1\t-20\t10\t200\t3\n"},
        {"lim", "lim\t1\t-1\n"},
        {"fxg only (convert and return)", "fxg\t1\t0\n"},
    };
    for (const auto& c : cases)
        std::printf("%-32s %7.2f ns/frame\n", c.name, TimeChain(c.lines, blocks));
    return 0;
}
