#include "mixer/effects/rms_compressor.hpp"

#include <cmath>

#include "mixer/effects/gain_ramp.hpp"

namespace varnel {

namespace {

// One side's running half-cycle, held in registers for the length of a call.
struct HalfCycle {
    double oldpolar;
    float squares, interval, rms;

    // Adds one sample and closes the half-cycle when the polarity has
    // flipped; returns true when the RMS level was updated.
    bool Measure(double sample) {
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
};

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
    SwitchedLaw law = MakeLaw(attack, release, ratio, threshold);
    law.attackGains = FindFade(st.fades, law.attack, law.ratio, false);
    law.releaseGains = FindFade(st.fades, law.release, law.ratio, true);
    const double thr = law.threshold;
    const double holdGain = 1.0 / law.ratio;   // full reduction while holding
    HalfCycle l{st.oldpolarL[slot], st.squaresL[slot], st.intervalL[slot], st.rmsL[slot]};
    HalfCycle r{st.oldpolarR[slot], st.squaresR[slot], st.intervalR[slot], st.rmsR[slot]};
    int mode = state;
    int attackCount = st.attackCount[slot], releaseCount = st.releaseCount[slot];
    int passL = st.passTL[slot], passR = st.passTR[slot];

    for (int i = 0; i < n; ++i) {
        const bool updL = l.Measure(left[i]);
        const bool updR = r.Measure(right[i]);
        const double rmsL = l.rms;
        const double rmsR = r.rms;

        if (mode == kCompIdle) {
            if (!(rmsL > thr || rmsR > thr)) continue;   // untouched, bit for bit
            attackCount = 1;
            releaseCount = 1;
            passL = passR = 0;
            mode = kCompAttack;
        }

        double gain;
        if (mode == kCompAttack) {
            gain = AttackStep(mode, attackCount, law);
        } else if (mode == kCompHolding) {
            gain = holdGain;
            QuietCount(updL, l.rms, law.halfThreshold, passL);
            QuietCount(updR, r.rms, law.halfThreshold, passR);
            if (passL > 3 && passR > 3) mode = kCompRelease;
        } else if (mode == kCompRelease) {
            gain = ReleaseStep(mode, releaseCount, law, rmsL < thr && rmsR < thr);
        } else {
            continue;   // off or unknown: untouched
        }
        left[i] = Polarity(left[i]) * FlooredMagnitude(left[i]) * gain;
        right[i] = Polarity(right[i]) * FlooredMagnitude(right[i]) * gain;
    }

    st.oldpolarL[slot] = l.oldpolar, st.squaresL[slot] = l.squares;
    st.intervalL[slot] = l.interval, st.rmsL[slot] = l.rms;
    st.oldpolarR[slot] = r.oldpolar, st.squaresR[slot] = r.squares;
    st.intervalR[slot] = r.interval, st.rmsR[slot] = r.rms;
    state = mode;
    st.attackCount[slot] = attackCount, st.releaseCount[slot] = releaseCount;
    st.passTL[slot] = passL, st.passTR[slot] = passR;
}

}  // namespace varnel
