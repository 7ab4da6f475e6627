#include "mixer/effects/nlc_compressor.hpp"

#include <cmath>

#include "mixer/effects/gain_ramp.hpp"

namespace varnel {

namespace {

constexpr double kSixth = 0.16666666666666666;

// One side's share of the slot's memory, so both sides run the same code.
struct NlcSide {
    int& oldpolar;
    float& rms;
    float& oldrms;
    double& gamma;
    double& applied;
    float& squares;
    float& interval;
};

// `otherGamma` is the other side's latest gain; the left side runs first in
// each frame, so the right side already sees the left side's new reading.
void ProcessSample(double& sample, NlcSide s, double otherGamma, int minWindow, double ratio,
                   double threshold) {
    const int p = Polarity(sample);
    const double raw = std::fabs(sample);
    const double m = FlooredMagnitude(sample);
    s.squares = static_cast<float>(s.squares + FlooredSquare(raw));
    s.interval = s.interval + 1.0f;
    if (p != s.oldpolar && static_cast<double>(s.interval) > minWindow) {
        const float history = s.oldrms;
        s.oldrms = s.rms;
        s.rms = std::sqrt(s.squares / s.interval);
        const float level = static_cast<float>(
            (3.0 * s.rms + 2.0 * s.oldrms + static_cast<double>(history)) * kSixth);
        const double t = threshold / level;
        s.gamma = t + (1.0 - t) / ratio;
        double g = 0.5 * s.gamma + 0.5 * otherGamma;   // the sum is order-free
        if (g > 1.0) g = 1.0;
        s.applied = g;
        s.squares = 0.0f;
        s.interval = 0.0f;
    }
    sample = p * m * s.applied;
    s.oldpolar = p;
}

}  // namespace

void NonLinCOMP(NlcState& st, int slot, int n, double* left, double* right, int minWindow,
                double ratio, int threshold, int& firstUse) {
    if (slot < 0 || slot >= kFxSlots) return;
    if (firstUse == 0) {
        firstUse = 1;
        st.oldpolarL[slot] = st.oldpolarR[slot] = 0;
        st.rmsL[slot] = st.rmsR[slot] = 0.0f;
        st.oldrmsL[slot] = st.oldrmsR[slot] = 0.0f;
        st.squaresL[slot] = st.squaresR[slot] = 0.0f;
        st.intervalL[slot] = st.intervalR[slot] = 0.0f;
        st.gammaL[slot] = st.gammaR[slot] = 1.0;
        st.GrandGammaL[slot] = st.GrandGammaR[slot] = 1.0;
    }
    ratio = SafeRatio(ratio);
    const double thr = threshold;
    const NlcSide sideL{st.oldpolarL[slot], st.rmsL[slot],    st.oldrmsL[slot],
                        st.gammaL[slot],    st.GrandGammaL[slot], st.squaresL[slot],
                        st.intervalL[slot]};
    const NlcSide sideR{st.oldpolarR[slot], st.rmsR[slot],    st.oldrmsR[slot],
                        st.gammaR[slot],    st.GrandGammaR[slot], st.squaresR[slot],
                        st.intervalR[slot]};
    for (int i = 0; i < n; ++i) {
        ProcessSample(left[i], sideL, st.gammaR[slot], minWindow, ratio, thr);
        ProcessSample(right[i], sideR, st.gammaL[slot], minWindow, ratio, thr);
    }
}

}  // namespace varnel
