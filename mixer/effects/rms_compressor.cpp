#include "mixer/effects/rms_compressor.hpp"

#include <cmath>

#include "mixer/effects/gain_ramp.hpp"

namespace varnel {

namespace {

// Adds one sample to a side's half-cycle and closes the half-cycle when the
// polarity has flipped; returns true when the side's RMS level was updated.
bool Measure(double sample, double& oldpolar, float& squares, float& interval, float& rms) {
    const double p = Polarity(sample);
    squares = static_cast<float>(squares + FlooredSquare(std::fabs(sample)));
    interval = interval + 1.0f;
    bool updated = false;
    if (p != oldpolar) {
        rms = std::sqrt(squares / interval);
        squares = 0.0f;
        interval = 0.0f;
        updated = true;
    }
    oldpolar = p;
    return updated;
}

void QuietCount(bool updated, float rms, double halfThreshold, int& pass) {
    if (!updated) return;
    if (rms < halfThreshold) {
        ++pass;
    } else {
        pass = 0;
    }
}

}  // namespace

void RMSCOMPRESSOR(RmsCompState& st, int slot, int& state, int n, double* left, double* right,
                   int attack, int release, double ratio, int threshold, int& firstUse) {
    if (slot < 0 || slot >= kFxSlots) return;
    if (firstUse == 0) {
        firstUse = 1;
        st.rmsL[slot] = st.rmsR[slot] = 0.0f;
        st.squaresL[slot] = st.squaresR[slot] = 0.0f;
        st.intervalL[slot] = st.intervalR[slot] = 0.0f;
        st.oldpolarL[slot] = st.oldpolarR[slot] = 0.0;
    }
    const SwitchedLaw law = MakeLaw(attack, release, ratio, threshold);
    const double thr = law.threshold;
    int& attackCount = st.attackCount[slot];
    int& releaseCount = st.releaseCount[slot];

    for (int i = 0; i < n; ++i) {
        const bool updL = Measure(left[i], st.oldpolarL[slot], st.squaresL[slot],
                                  st.intervalL[slot], st.rmsL[slot]);
        const bool updR = Measure(right[i], st.oldpolarR[slot], st.squaresR[slot],
                                  st.intervalR[slot], st.rmsR[slot]);
        const double rmsL = st.rmsL[slot];
        const double rmsR = st.rmsR[slot];

        if (state == kCompIdle) {
            if (!(rmsL > thr || rmsR > thr)) continue;   // untouched, bit for bit
            attackCount = 1;
            releaseCount = 1;
            st.passTL[slot] = st.passTR[slot] = 0;
            state = kCompAttack;
        }

        double gain;
        if (state == kCompAttack) {
            gain = AttackStep(state, attackCount, law);
        } else if (state == kCompHolding) {
            gain = 1.0 / law.ratio;
            QuietCount(updL, st.rmsL[slot], law.halfThreshold, st.passTL[slot]);
            QuietCount(updR, st.rmsR[slot], law.halfThreshold, st.passTR[slot]);
            if (st.passTL[slot] > 3 && st.passTR[slot] > 3) state = kCompRelease;
        } else if (state == kCompRelease) {
            gain = ReleaseStep(state, releaseCount, law, rmsL < thr && rmsR < thr);
        } else {
            continue;   // off or unknown: untouched
        }
        left[i] = Polarity(left[i]) * FlooredMagnitude(left[i]) * gain;
        right[i] = Polarity(right[i]) * FlooredMagnitude(right[i]) * gain;
    }
}

}  // namespace varnel
