// Consecutive settled filter stages of one strip (the first-order high-pass
// and the EQ biquads) run in one pass over the samples. Each stage's
// recursion waits on its previous output, so running the stages one after the
// other leaves the processor idle most of the time; interleaving them, with
// left and right in one register pair, keeps several recursions in flight.
// Every stage does the same operations in the same order as when it runs on
// its own (input lift, then its filter), so the results are the same bit for
// bit.
#pragma once

#include "mixer/utilities/hot_loop.hpp"

namespace varnel {

constexpr int kMaxCascadeStages = 8;

struct CascadeStage {
    bool highPass;
    // High-pass: c[0] feedback, c[1] input. Biquad: b0, b1, b2, a1, a2.
    double c[5];
    // High-pass: old input, old output. Biquad: in1, in2, out1, out2.
    double* left[4];
    double* right[4];
};

// Runs `count` (at most kMaxCascadeStages) settled stages over n frames in
// place, as if each ran over all n frames in turn: a high-pass whose first
// call is behind it, a biquad whose history is seeded.
void FilterCascade(const CascadeStage* stages, int count, double* left, double* right, int n,
                   Kernel kernel = Kernel::kBest);

// Two strips whose stage lists are of the same kinds, side by side in wide
// registers: the same as FilterCascade on a and then on b.
void FilterCascadePair(const CascadeStage* a, const CascadeStage* b, int count, double* leftA,
                       double* rightA, double* leftB, double* rightB, int n,
                       Kernel kernel = Kernel::kBest);

}  // namespace varnel
