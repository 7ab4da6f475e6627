// The "lim" effect: a memoryless soft limiter. Everything up to a knee about
// 1 dB under the threshold passes; the excess above the knee is cut 8:1.
#pragma once

#include "mixer/utilities/hot_loop.hpp"

namespace varnel {

// Processes n frames of both sides in place. Magnitudes below 0.0001 are
// written back as +-0.0001 (a zero as +0.0001).
void LIMITER(int n, double* left, double* right, int threshold,
             Kernel kernel = Kernel::kBest);

// How far LIMITER with this threshold turns down a sample of the given
// magnitude, in dB (0 at or below the knee). The reduction grows with the
// magnitude, so the largest sample of a stretch meets its largest reduction.
double LimiterReductiondB(double magnitude, int threshold);

}  // namespace varnel
