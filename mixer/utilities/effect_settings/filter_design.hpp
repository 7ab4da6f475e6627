// Coefficient design for the filter family: the first-order high-pass filter,
// the peaking bands, the two shelves and the reverb input filters. All
// coefficients are computed once while the effect settings are read.
#pragma once

namespace varnel {

constexpr double kTwoPi = 6.283185307179586;

// One second-order stage, already normalised by a0.
struct Biquad {
    double b0, b1, b2, a1, a2;
};

// First-order high-pass filter: y = feedback * y_prev + input * (x - x_prev).
struct HighPassCoeffs {
    double input;     // a = RC / (RC + dt)
    double feedback;  // b = (rate - 4 f) / rate
};

HighPassCoeffs HighPassCoefficients(double freq, double rate);

// Intermediate values shared by the band and shelf designs.
void EQSetA(double gainDb, double freq, double rate, double q, double& A, double& w0,
            double& alpha);

Biquad PeakingBand(double freq, double gainDb, double q, double rate);
Biquad HighShelf(double freq, double gainDb, double q, double rate);
Biquad LowShelf(double freq, double gainDb, double q, double rate);

// Second-order reverb input filters with Q = 1.
Biquad ReverbHighPass(double freq, double rate);
Biquad ReverbLowPass(double freq, double rate);

}  // namespace varnel
