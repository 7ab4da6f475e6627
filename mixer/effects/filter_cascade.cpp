#include "mixer/effects/filter_cascade.hpp"

#include <cstdint>
#include <utility>

#include "mixer/utilities/hot_loop.hpp"

namespace varnel {

namespace {

#include "mixer/effects/filter_cascade_kernel.inc"

// Biquads fused in one loop: with the coefficients read from memory, the
// running values of a high-pass and four biquads just fit the registers.
constexpr int kGroupBiquads = 4;

// Frames interleaved per pass (16 KiB of one strip, 32 KiB of two).
constexpr int kCascadeFrames = 1024;

// Splits the stages into groups: the high-pass if it comes next, then up to
// kGroupBiquads biquads after it.
template <class Run>
void ForEachGroup(const CascadeStage* stages, int count, Run run) {
    int k = 0;
    while (k < count) {
        const bool highPass = stages[k].highPass;
        const int first = k + (highPass ? 1 : 0);
        int end = first;
        while (end < count && !stages[end].highPass && end - first < kGroupBiquads) ++end;
        run(k, highPass, end - first);
        k = end;
    }
}

// Interleaves the sides (left and right of a, then of b for a Quad) a tile
// at a time, runs every group over the tile and puts the sides back. Only
// the groups take the AVX2 build: the interleaving loops run no faster in
// it (measured).
template <class V>
void RunTiles(const CascadeStage* a, const CascadeStage* b, int count, double* const* sides, int n,
              Kernel kernel) {
    constexpr int kLanes = int(sizeof(V) / sizeof(double));
    V x[kCascadeFrames];
    for (int t = 0; t < n; t += kCascadeFrames) {
        const int m = n - t < kCascadeFrames ? n - t : kCascadeFrames;
        for (int i = 0; i < m; ++i)
            for (int k = 0; k < kLanes; ++k) x[i][k] = sides[k][t + i];
        ForEachGroup(a, count, [&](int k, bool highPass, int biquads) {
            const CascadeStage* bk = b ? b + k : nullptr;
            VARNEL_RUN(kernel, RunGroupOf, a + k, bk, highPass, biquads, +x, m);
        });
        for (int i = 0; i < m; ++i)
            for (int k = 0; k < kLanes; ++k) sides[k][t + i] = x[i][k];
    }
}

}  // namespace

void FilterCascade(const CascadeStage* stages, int count, double* left, double* right, int n,
                   Kernel kernel) {
    double* const sides[2] = {left, right};
    RunTiles<Pair>(stages, nullptr, count, sides, n, kernel);
}

void FilterCascadePair(const CascadeStage* a, const CascadeStage* b, int count, double* leftA,
                       double* rightA, double* leftB, double* rightB, int n, Kernel kernel) {
    double* const sides[4] = {leftA, rightA, leftB, rightB};
    RunTiles<Quad>(a, b, count, sides, n, kernel);
}

}  // namespace varnel
