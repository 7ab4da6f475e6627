#include "mixer/effects/denormal.hpp"

namespace varnel {

namespace {

// Written as two selects rather than branches so the loop vectorises; NaN
// fails every comparison and passes unchanged, as before.
void LiftSide(double* x, int n) {
    for (int i = 0; i < n; ++i) {
        const double v = x[i];
        const double up = (v >= 0.0 && v < 0.0001) ? 0.0001 : v;
        x[i] = (v < 0.0 && v > -0.0001) ? -0.0001 : up;
    }
}

}  // namespace

void Denormal(double* left, double* right, int n) {
    LiftSide(left, n);
    LiftSide(right, n);
}

}  // namespace varnel
