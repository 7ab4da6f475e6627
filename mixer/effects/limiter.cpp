#include "mixer/effects/limiter.hpp"

#include "mixer/effects/gain_ramp.hpp"

namespace varnel {

namespace {

constexpr double kKneeFactor = 0.89125;
constexpr double kAboveKnee = 0.125;

void LimitSide(double* x, int n, double knee) {
    for (int i = 0; i < n; ++i) {
        const double p = x[i] < 0.0 ? -1.0 : 1.0;
        double m = FlooredMagnitude(x[i]);
        if (m > knee) m = knee + (m - knee) * kAboveKnee;
        x[i] = p * m;
    }
}

}  // namespace

void LIMITER([[maybe_unused]] int slot, int n, double* left, double* right, int threshold) {
    const double knee = threshold * kKneeFactor;
    LimitSide(left, n, knee);
    LimitSide(right, n, knee);
}

}  // namespace varnel
