#include "mixer/effects/denormal.hpp"

namespace varnel {

namespace {

void LiftSide(double* x, int n) {
    for (int i = 0; i < n; ++i) {
        const double v = x[i];
        if (v >= 0.0 && v < 0.0001) {
            x[i] = 0.0001;
        } else if (v < 0.0 && v > -0.0001) {
            x[i] = -0.0001;
        }
    }
}

}  // namespace

void Denormal(double* left, double* right, int n) {
    LiftSide(left, n);
    LiftSide(right, n);
}

}  // namespace varnel
