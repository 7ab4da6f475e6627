#include "mixer/utilities/effect_settings/filter_design.hpp"

#include <gtest/gtest.h>

#include <cmath>

using namespace varnel;

namespace {
constexpr double k2Pi = 6.283185307179586;

void ExpectBiquad(const Biquad& got, double b0, double b1, double b2, double a1, double a2) {
    EXPECT_DOUBLE_EQ(got.b0, b0);
    EXPECT_DOUBLE_EQ(got.b1, b1);
    EXPECT_DOUBLE_EQ(got.b2, b2);
    EXPECT_DOUBLE_EQ(got.a1, a1);
    EXPECT_DOUBLE_EQ(got.a2, a2);
}
}  // namespace

TEST(FilterDesign, HighPassCoefficients) {
    HighPassCoeffs c = HighPassCoefficients(100.0, 44100.0);
    double rc = 1.0 / (k2Pi * 100.0);
    EXPECT_DOUBLE_EQ(c.input, rc / (rc + 1.0 / 44100.0));
    EXPECT_DOUBLE_EQ(c.feedback, 43700.0 / 44100.0);
    EXPECT_DOUBLE_EQ(HighPassCoefficients(11025.0, 44100.0).feedback, 0.0);
}

TEST(FilterDesign, EQSetA) {
    double A, w0, alpha;
    EQSetA(6.0, 1000.0, 48000.0, 0.5, A, w0, alpha);
    EXPECT_DOUBLE_EQ(A, std::pow(10.0, 0.15));
    EXPECT_DOUBLE_EQ(w0, k2Pi * 1000.0 / 48000.0);
    EXPECT_DOUBLE_EQ(alpha, std::sin(k2Pi / 48.0));  // sin(w0) / (2 * 0.5)
}

TEST(FilterDesign, PeakingBandMatchesFormulas) {
    double A = std::pow(10.0, 15.0 / 40.0), w = k2Pi * 1000.0 / 44100.0;
    double al = std::sin(w) / 1.4, a0 = 1 + al / A;
    ExpectBiquad(PeakingBand(1000.0, 15.0, 0.7, 44100.0), (1 + al * A) / a0, -2 * std::cos(w) / a0,
                 (1 - al * A) / a0, -2 * std::cos(w) / a0, (1 - al / A) / a0);
}

TEST(FilterDesign, ZeroGainBandIsTransparent) {
    Biquad b = PeakingBand(2500.0, 0.0, 2.0, 44100.0);
    EXPECT_DOUBLE_EQ(b.b0, 1.0);
    EXPECT_DOUBLE_EQ(b.b1, b.a1);
    EXPECT_DOUBLE_EQ(b.b2, b.a2);
}

TEST(FilterDesign, ShelvesMatchFormulas) {
    double A = std::pow(10.0, -4.0 / 40.0), w = k2Pi * 8000.0 / 48000.0;
    double al = std::sin(w) / 2.0, c = std::cos(w), s = 2 * std::sqrt(A) * al;
    double h0 = (A + 1) - (A - 1) * c + s;
    ExpectBiquad(HighShelf(8000.0, -4.0, 1.0, 48000.0), A * ((A + 1) + (A - 1) * c + s) / h0,
                 -2 * A * ((A - 1) + (A + 1) * c) / h0, A * ((A + 1) + (A - 1) * c - s) / h0,
                 2 * ((A - 1) - (A + 1) * c) / h0, ((A + 1) - (A - 1) * c - s) / h0);
    double l0 = (A + 1) + (A - 1) * c + s;
    ExpectBiquad(LowShelf(8000.0, -4.0, 1.0, 48000.0), A * ((A + 1) - (A - 1) * c + s) / l0,
                 2 * A * ((A - 1) - (A + 1) * c) / l0, A * ((A + 1) - (A - 1) * c - s) / l0,
                 -2 * ((A - 1) + (A + 1) * c) / l0, ((A + 1) + (A - 1) * c - s) / l0);
}

TEST(FilterDesign, ReverbFiltersAtQuarterRate) {
    // w0 = pi/2: cos 0, alpha 1/2, a0 3/2.
    Biquad hp = ReverbHighPass(11025.0, 44100.0);
    Biquad lp = ReverbLowPass(11025.0, 44100.0);
    const double e = 1e-15;
    EXPECT_NEAR(hp.b0, 1.0 / 3.0, e);
    EXPECT_NEAR(hp.b1, -2.0 / 3.0, e);
    EXPECT_NEAR(hp.b2, 1.0 / 3.0, e);
    EXPECT_NEAR(lp.b0, 1.0 / 3.0, e);
    EXPECT_NEAR(lp.b1, 2.0 / 3.0, e);
    for (const Biquad& b : {hp, lp}) {
        EXPECT_NEAR(b.a1, 0.0, e);
        EXPECT_NEAR(b.a2, 1.0 / 3.0, e);
    }
}

TEST(FilterDesign, ReverbFiltersMatchFormulas) {
    double w = k2Pi * 200.0 / 44100.0, al = std::sin(w) / 2, c = std::cos(w), a0 = 1 + al;
    ExpectBiquad(ReverbHighPass(200.0, 44100.0), (1 + c) / (2 * a0), -(1 + c) / a0,
                 (1 + c) / (2 * a0), -2 * c / a0, (1 - al) / a0);
    ExpectBiquad(ReverbLowPass(200.0, 44100.0), (1 - c) / (2 * a0), (1 - c) / a0,
                 (1 - c) / (2 * a0), -2 * c / a0, (1 - al) / a0);
}
