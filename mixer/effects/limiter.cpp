#include "mixer/effects/limiter.hpp"

#include <cmath>

#include "mixer/effects/gain_ramp.hpp"
#include "mixer/utilities/hot_loop.hpp"

namespace varnel {

namespace {

constexpr double kKneeFactor = 0.89125;
constexpr double kAboveKnee = 0.125;

// Written with selects only, so the loop vectorises.
VARNEL_HOT_LOOP void LimitSide(double* x, int n, double knee) {
    for (int i = 0; i < n; ++i) {
        const double v = x[i];
        const double p = v < 0.0 ? -1.0 : 1.0;
        const double a = std::fabs(v);
        const double m = a < kFloorMagnitude ? kFloorMagnitude : a;
        const double cut = knee + (m - knee) * kAboveKnee;
        x[i] = p * (m > knee ? cut : m);
    }
}

}  // namespace

void LIMITER([[maybe_unused]] int slot, int n, double* left, double* right, int threshold) {
    const double knee = threshold * kKneeFactor;
    LimitSide(left, n, knee);
    LimitSide(right, n, knee);
}

}  // namespace varnel
