#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <vector>

#include "mixer/effects/denormal.hpp"
#include "mixer/effects/eq.hpp"
#include "mixer/effects/hpf.hpp"
#include "mixer/effects/rev_eq.hpp"

using namespace varnel;

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kRate = 48000.0;
constexpr double kAmp = 1.0e6;

struct Coefs {
    double b0, b1, b2, a1, a2;
};

// Designs computed here from the textbook formulas, independently of the
// settings reader.
void ShelfIntermediates(double gainDb, double f, double q, double& A, double& w0,
                        double& alpha) {
    A = std::pow(10.0, gainDb / 40.0);
    w0 = kTwoPi * f / kRate;
    alpha = std::sin(w0) / (2.0 * q);
}

Coefs Peaking(double f, double gainDb, double q) {
    double A, w0, alpha;
    ShelfIntermediates(gainDb, f, q, A, w0, alpha);
    const double a0 = 1.0 + alpha / A;
    return {(1.0 + alpha * A) / a0, -2.0 * std::cos(w0) / a0, (1.0 - alpha * A) / a0,
            -2.0 * std::cos(w0) / a0, (1.0 - alpha / A) / a0};
}

Coefs HighShelf(double f, double gainDb, double q) {
    double A, w0, alpha;
    ShelfIntermediates(gainDb, f, q, A, w0, alpha);
    const double c = std::cos(w0), s = 2.0 * std::sqrt(A) * alpha;
    const double a0 = (A + 1) - (A - 1) * c + s;
    return {A * ((A + 1) + (A - 1) * c + s) / a0, -2 * A * ((A - 1) + (A + 1) * c) / a0,
            A * ((A + 1) + (A - 1) * c - s) / a0, 2 * ((A - 1) - (A + 1) * c) / a0,
            ((A + 1) - (A - 1) * c - s) / a0};
}

Coefs LowShelf(double f, double gainDb, double q) {
    double A, w0, alpha;
    ShelfIntermediates(gainDb, f, q, A, w0, alpha);
    const double c = std::cos(w0), s = 2.0 * std::sqrt(A) * alpha;
    const double a0 = (A + 1) + (A - 1) * c + s;
    return {A * ((A + 1) - (A - 1) * c + s) / a0, 2 * A * ((A - 1) - (A + 1) * c) / a0,
            A * ((A + 1) - (A - 1) * c - s) / a0, -2 * ((A - 1) + (A + 1) * c) / a0,
            ((A + 1) + (A - 1) * c - s) / a0};
}

Coefs ReverbFilter(double f, bool highPass) {
    const double w0 = kTwoPi * f / kRate, alpha = std::sin(w0) / 2.0, c = std::cos(w0);
    const double a0 = 1.0 + alpha;
    if (highPass) return {(1 + c) / (2 * a0), -(1 + c) / a0, (1 + c) / (2 * a0), -2 * c / a0,
                          (1 - alpha) / a0};
    return {(1 - c) / (2 * a0), (1 - c) / a0, (1 - c) / (2 * a0), -2 * c / a0, (1 - alpha) / a0};
}

double BiquadResponseDb(const Coefs& c, double f) {
    const std::complex<double> z1 = std::polar(1.0, -kTwoPi * f / kRate);
    const auto h = (c.b0 + c.b1 * z1 + c.b2 * z1 * z1) / (1.0 + c.a1 * z1 + c.a2 * z1 * z1);
    return 20.0 * std::log10(std::abs(h));
}

void HpCoefs(double f, double& feedback, double& input) {
    const double rc = 1.0 / (kTwoPi * f), dt = 1.0 / kRate;
    input = rc / (rc + dt);
    feedback = (kRate - 4.0 * f) / kRate;
}

double HpResponseDb(double feedback, double input, double f) {
    const std::complex<double> z1 = std::polar(1.0, -kTwoPi * f / kRate);
    return 20.0 * std::log10(std::abs(input * (1.0 - z1) / (1.0 - feedback * z1)));
}

std::vector<double> Sine(double f, int n) {
    std::vector<double> x(n);
    for (int i = 0; i < n; ++i) x[i] = kAmp * std::sin(kTwoPi * f * i / kRate);
    return x;
}

// Steady-state gain of a sine burst: two seconds, measured over the last
// second, which holds a whole number of cycles for integer frequencies.
template <typename Run>
double MeasuredGainDb(double f, Run run) {
    const int n = 2 * static_cast<int>(kRate);
    std::vector<double> l = Sine(f, n), r = Sine(f, n);
    for (int s = 0; s < n; s += 4096) run(std::min(4096, n - s), l.data() + s, r.data() + s);
    double si = 0, co = 0;
    for (int i = n / 2; i < n; ++i) {
        si += l[i] * std::sin(kTwoPi * f * i / kRate);
        co += l[i] * std::cos(kTwoPi * f * i / kRate);
    }
    const double amp = 2.0 / (n / 2) * std::hypot(si, co);
    return 20.0 * std::log10(amp / kAmp);
}

const double kProbeFreqs[] = {50, 200, 1000, 4000, 12000};

}  // namespace

TEST(Denormal, LiftsOnlyValuesNearZero) {
    struct Case { double in, out; };
    const Case cases[] = {{0.0, 0.0001},       {-0.0, 0.0001},        {0.00005, 0.0001},
                          {-0.00005, -0.0001}, {0.0001, 0.0001},      {-0.0001, -0.0001},
                          {0.5, 0.5},          {-3.0, -3.0},          {1e-300, 0.0001}};
    for (const Case& c : cases) {
        double l = c.in, r = -c.in;
        Denormal(&l, &r, 1);
        EXPECT_EQ(l, c.out) << c.in;
        EXPECT_EQ(r, (-c.in == 0.0) ? 0.0001 : -c.out) << c.in;
    }
}

TEST(HighPass, FirstSamplePassesThenRecursion) {
    auto st = std::make_unique<HpfState>();
    double fb, in;
    HpCoefs(100.0, fb, in);
    double l[3] = {1000.0, 3000.0, 2500.0}, r[3] = {-5.0, 0.0, 7.0};
    int flag = 0;
    HPF(*st, 3, 9, l, r, fb, in, flag);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(l[0], 1000.0);
    const double y1 = fb * 1000.0 + in * (3000.0 - 1000.0);
    EXPECT_EQ(l[1], y1);
    EXPECT_EQ(l[2], fb * y1 + in * (2500.0 - 3000.0));
    EXPECT_EQ(r[0], -5.0);
    EXPECT_EQ(r[1], fb * -5.0 + in * (0.0001 + 5.0));   // a zero enters as +0.0001
}

TEST(HighPass, MagnitudeMatchesFirstOrderResponse) {
    for (double corner : {80.0, 500.0}) {
        double fb, in;
        HpCoefs(corner, fb, in);
        for (double f : kProbeFreqs) {
            auto st = std::make_unique<HpfState>();
            int flag = 0;
            const double got = MeasuredGainDb(f, [&](int n, double* l, double* r) {
                HPF(*st, n, 3, l, r, fb, in, flag);
            });
            EXPECT_NEAR(got, HpResponseDb(fb, in, f), 0.01) << corner << " Hz at " << f;
        }
    }
}

TEST(HighPass, RemovesDc) {
    auto st = std::make_unique<HpfState>();
    double fb, in;
    HpCoefs(100.0, fb, in);
    std::vector<double> l(20000, 1.0e6), r(20000, -2.0e6);
    int flag = 0;
    HPF(*st, 20000, 0, l.data(), r.data(), fb, in, flag);
    EXPECT_LT(std::fabs(l.back()), 1e-6);
    EXPECT_LT(std::fabs(r.back()), 1e-6);
}

TEST(HighPass, BlocksJoinSeamlessly) {
    double fb, in;
    HpCoefs(150.0, fb, in);
    std::vector<double> whole = Sine(300, 5000), wholeR = Sine(700, 5000);
    std::vector<double> parts = whole, partsR = wholeR;
    auto a = std::make_unique<HpfState>(), b = std::make_unique<HpfState>();
    int fa = 0, fbFlag = 0;
    HPF(*a, 5000, 1, whole.data(), wholeR.data(), fb, in, fa);
    for (int s = 0; s < 5000; s += 333)
        HPF(*b, std::min(333, 5000 - s), 1, parts.data() + s, partsR.data() + s, fb, in, fbFlag);
    EXPECT_EQ(whole, parts);
    EXPECT_EQ(wholeR, partsR);
}

TEST(Equaliser, MagnitudeMatchesBiquadResponse) {
    struct Case { const char* name; int stage; Coefs c; };
    const Case cases[] = {
        {"band +6 dB 1 kHz Q1", 1, Peaking(1000, 6, 1)},
        {"band -9 dB 250 Hz Q2", 2, Peaking(250, -9, 2)},
        {"band +12 dB 5 kHz Q0.7", 4, Peaking(5000, 12, 0.7)},
        {"high shelf +6 dB 3 kHz", 5, HighShelf(3000, 6, 0.7)},
        {"low shelf -6 dB 200 Hz", 6, LowShelf(200, -6, 0.7)},
    };
    for (const Case& k : cases) {
        for (double f : kProbeFreqs) {
            auto st = std::make_unique<EqState>();
            int flag = 0;
            const double got = MeasuredGainDb(f, [&](int n, double* l, double* r) {
                EQ(*st, n, 130, k.stage, l, r, k.c.b0, k.c.b1, k.c.b2, k.c.a1, k.c.a2, flag);
            });
            EXPECT_NEAR(got, BiquadResponseDb(k.c, f), 0.01) << k.name << " at " << f;
        }
    }
}

TEST(Equaliser, ReverbInputFiltersMatchResponse) {
    struct Case { int stage; bool highPass; double f; };
    const Case cases[] = {{0, true, 100}, {1, false, 8000}, {2, true, 400}, {3, false, 2000}};
    for (const Case& k : cases) {
        const Coefs c = ReverbFilter(k.f, k.highPass);
        for (double f : kProbeFreqs) {
            auto st = std::make_unique<RevEqState>();
            int flag = 0;
            const double got = MeasuredGainDb(f, [&](int n, double* l, double* r) {
                Rev_EQ(*st, n, k.stage, l, r, c.b0, c.b1, c.b2, c.a1, c.a2, flag);
            });
            EXPECT_NEAR(got, BiquadResponseDb(c, f), 0.01) << k.stage << " at " << f;
        }
    }
}

TEST(Equaliser, FirstTwoSamplesPassThirdIsFiltered) {
    const Coefs c = Peaking(1000, 12, 1);
    auto st = std::make_unique<EqState>();
    double l[4] = {100.0, -200.0, 300.0, 50.0}, r[4] = {1.0, 2.0, 3.0, 4.0};
    int flag = 0;
    EQ(*st, 4, 7, 2, l, r, c.b0, c.b1, c.b2, c.a1, c.a2, flag);
    EXPECT_EQ(flag, 2);
    EXPECT_EQ(l[0], 100.0);
    EXPECT_EQ(l[1], -200.0);
    const double y2 = c.b2 * 100.0 + c.b1 * -200.0 + c.b0 * 300.0 - c.a1 * -200.0 - c.a2 * 100.0;
    EXPECT_DOUBLE_EQ(l[2], y2);
    EXPECT_DOUBLE_EQ(l[3], c.b2 * -200.0 + c.b1 * 300.0 + c.b0 * 50.0 - c.a1 * y2 - c.a2 * -200.0);
    EXPECT_EQ(r[0], 1.0);
    EXPECT_EQ(r[1], 2.0);
}

TEST(Equaliser, FlatBandReturnsItsInputExactly) {
    const Coefs c = Peaking(1000, 0, 0.3);
    auto st = std::make_unique<EqState>();
    double l[6] = {-4023154, -4055491, -34483, 405579, 2377754, -3859982};
    double r[6] = {1, 2, 3, 4, 5, 6};
    const double before[6] = {-4023154, -4055491, -34483, 405579, 2377754, -3859982};
    int flag = 0;
    EQ(*st, 6, 7, 1, l, r, c.b0, c.b1, c.b2, c.a1, c.a2, flag);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(l[i], before[i]) << i;
}

TEST(Equaliser, SingleFrameFirstCallSeedsFromNextCall) {
    const Coefs c = Peaking(2000, -6, 2);
    auto st = std::make_unique<RevEqState>();
    int flag = 0;
    double l1 = 10.0, r1 = 20.0;
    Rev_EQ(*st, 1, 1, &l1, &r1, c.b0, c.b1, c.b2, c.a1, c.a2, flag);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(l1, 10.0);
    double l1b = 15.0, r1b = 25.0;   // another single frame: still nothing to seed from
    Rev_EQ(*st, 1, 1, &l1b, &r1b, c.b0, c.b1, c.b2, c.a1, c.a2, flag);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(l1b, 15.0);
    double l[3] = {30.0, 40.0, 50.0}, r[3] = {1.0, 2.0, 3.0};
    Rev_EQ(*st, 3, 1, l, r, c.b0, c.b1, c.b2, c.a1, c.a2, flag);
    EXPECT_EQ(flag, 2);
    EXPECT_EQ(l[0], 30.0);
    EXPECT_EQ(l[1], 40.0);
    EXPECT_DOUBLE_EQ(l[2], c.b2 * 30.0 + c.b1 * 40.0 + c.b0 * 50.0 - c.a1 * 40.0 - c.a2 * 30.0);
}

TEST(Equaliser, ZeroDecibelBandPassesSignal) {
    const Coefs c = Peaking(1000, 0, 1.5);
    EXPECT_EQ(c.b0, 1.0);
    EXPECT_EQ(c.b1, c.a1);
    EXPECT_EQ(c.b2, c.a2);
    std::vector<double> l = Sine(440, 9000), r = Sine(3000, 9000);
    std::vector<double> inL = l, inR = r;
    Denormal(inL.data(), inR.data(), 9000);   // the band sees the lifted input
    auto st = std::make_unique<EqState>();
    int flag = 0;
    EQ(*st, 9000, 0, 3, l.data(), r.data(), c.b0, c.b1, c.b2, c.a1, c.a2, flag);
    for (int i = 0; i < 9000; ++i) {
        ASSERT_EQ(l[i], inL[i]) << i;
        ASSERT_EQ(r[i], inR[i]) << i;
    }
}

TEST(Equaliser, StagesAndSlotsKeepSeparateMemory) {
    const Coefs c = Peaking(500, 9, 1);
    std::vector<double> a = Sine(700, 2000), ar = a, b = a, br = a;
    auto one = std::make_unique<EqState>(), two = std::make_unique<EqState>();
    int f1 = 0, f2 = 0, fOther = 0;
    EQ(*one, 2000, 5, 1, a.data(), ar.data(), c.b0, c.b1, c.b2, c.a1, c.a2, f1);
    // Another stage and slot run in between must not disturb stage 1 of slot 5.
    std::vector<double> noise(2000, 12345.0), noiseR = noise;
    EQ(*two, 2000, 6, 1, noise.data(), noiseR.data(), c.b0, c.b1, c.b2, c.a1, c.a2, fOther);
    EQ(*two, 2000, 5, 2, noise.data(), noiseR.data(), c.b0, c.b1, c.b2, c.a1, c.a2, fOther);
    EQ(*two, 2000, 5, 1, b.data(), br.data(), c.b0, c.b1, c.b2, c.a1, c.a2, f2);
    EXPECT_EQ(a, b);
}

TEST(Equaliser, OutOfRangeIndicesLeaveBuffersAlone) {
    double l[2] = {0.0, 5.0}, r[2] = {0.0, 6.0};
    auto st = std::make_unique<EqState>();
    auto rs = std::make_unique<RevEqState>();
    auto hs = std::make_unique<HpfState>();
    int flag = 0;
    EQ(*st, 2, 136, 1, l, r, 1, 0, 0, 0, 0, flag);
    EQ(*st, 2, 1, 8, l, r, 1, 0, 0, 0, 0, flag);
    Rev_EQ(*rs, 2, 4, l, r, 1, 0, 0, 0, 0, flag);
    HPF(*hs, 2, -1, l, r, 1, 1, flag);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(l[0], 0.0);
    EXPECT_EQ(r[1], 6.0);
}
