#include "mixer/utilities/effect_settings/filter_design.hpp"

#include <cmath>

namespace varnel {

HighPassCoeffs HighPassCoefficients(double freq, double rate) {
    double rc = 1.0 / (kTwoPi * freq);
    double dt = 1.0 / rate;
    return {rc / (rc + dt), (rate - 4.0 * freq) / rate};
}

void EQSetA(double gainDb, double freq, double rate, double q, double& A, double& w0,
            double& alpha) {
    A = std::pow(10.0, gainDb / 40.0);
    w0 = kTwoPi * freq / rate;
    alpha = std::sin(w0) / (2.0 * q);
}

Biquad PeakingBand(double freq, double gainDb, double q, double rate) {
    double A, w0, alpha;
    EQSetA(gainDb, freq, rate, q, A, w0, alpha);
    double a0 = 1.0 + alpha / A;
    double c2 = -2.0 * std::cos(w0) / a0;
    return {(1.0 + alpha * A) / a0, c2, (1.0 - alpha * A) / a0, c2, (1.0 - alpha / A) / a0};
}

Biquad HighShelf(double freq, double gainDb, double q, double rate) {
    double A, w0, alpha;
    EQSetA(gainDb, freq, rate, q, A, w0, alpha);
    double c = std::cos(w0);
    double s = 2.0 * std::sqrt(A) * alpha;
    double a0 = (A + 1.0) - (A - 1.0) * c + s;
    return {A * ((A + 1.0) + (A - 1.0) * c + s) / a0,
            -2.0 * A * ((A - 1.0) + (A + 1.0) * c) / a0,
            A * ((A + 1.0) + (A - 1.0) * c - s) / a0,
            2.0 * ((A - 1.0) - (A + 1.0) * c) / a0,
            ((A + 1.0) - (A - 1.0) * c - s) / a0};
}

Biquad LowShelf(double freq, double gainDb, double q, double rate) {
    double A, w0, alpha;
    EQSetA(gainDb, freq, rate, q, A, w0, alpha);
    double c = std::cos(w0);
    double s = 2.0 * std::sqrt(A) * alpha;
    double a0 = (A + 1.0) + (A - 1.0) * c + s;
    return {A * ((A + 1.0) - (A - 1.0) * c + s) / a0,
            2.0 * A * ((A - 1.0) - (A + 1.0) * c) / a0,
            A * ((A + 1.0) - (A - 1.0) * c - s) / a0,
            -2.0 * ((A - 1.0) + (A + 1.0) * c) / a0,
            ((A + 1.0) + (A - 1.0) * c - s) / a0};
}

namespace {

// Shared denominator of the two Q = 1 reverb filters.
struct ReverbBase {
    double c, a0, a1, a2;
};

ReverbBase ReverbDenominator(double freq, double rate) {
    double w0 = kTwoPi * freq / rate;
    double alpha = std::sin(w0) / 2.0;
    double c = std::cos(w0);
    double a0 = 1.0 + alpha;
    return {c, a0, -2.0 * c / a0, (1.0 - alpha) / a0};
}

}  // namespace

Biquad ReverbHighPass(double freq, double rate) {
    ReverbBase d = ReverbDenominator(freq, rate);
    double edge = (1.0 + d.c) / (2.0 * d.a0);
    return {edge, -(1.0 + d.c) / d.a0, edge, d.a1, d.a2};
}

Biquad ReverbLowPass(double freq, double rate) {
    ReverbBase d = ReverbDenominator(freq, rate);
    double edge = (1.0 - d.c) / (2.0 * d.a0);
    return {edge, (1.0 - d.c) / d.a0, edge, d.a1, d.a2};
}

}  // namespace varnel
