#include "mixer/effects/peak_compressor.hpp"

#include <algorithm>

#include "mixer/effects/gain_ramp.hpp"

namespace varnel {

namespace {

// Closes a side's half-cycle on a polarity change: the running peak becomes
// the last peak and the next half-cycle starts empty.
void ClosePeak(bool changed, double& newpeak, double& oldpeak) {
    if (!changed) return;
    oldpeak = newpeak;
    newpeak = 0.0;
}

}  // namespace

void PEAKCOMPRESSOR(PeakCompState& st, int slot, int& state, int n, double* left, double* right,
                    int attack, int release, double ratio, int threshold) {
    if (slot < 0 || slot >= kFxSlots) return;
    SwitchedLaw law = MakeLaw(attack, release, ratio, threshold);
    law.attackGains = FindFade(st.fades, law.attack, law.ratio, false);
    law.releaseGains = FindFade(st.fades, law.release, law.ratio, true);
    const double thr = law.threshold;
    const double holdGain = 1.0 / law.ratio;   // full reduction while holding
    int& attackCount = st.attackCount[slot];
    int& releaseCount = st.releaseCount[slot];
    double& newL = st.newpeakL[slot];
    double& newR = st.newpeakR[slot];
    double& oldL = st.oldpeakL[slot];
    double& oldR = st.oldpeakR[slot];
    double prevL = st.oldpolarL[slot];
    double prevR = st.oldpolarR[slot];

    for (int i = 0; i < n; ++i) {
        const double pL = Polarity(left[i]);
        const double pR = Polarity(right[i]);
        const double mL = FlooredMagnitude(left[i]);
        const double mR = FlooredMagnitude(right[i]);
        const bool changedL = pL != prevL;
        const bool changedR = pR != prevR;
        prevL = pL;
        prevR = pR;

        if (state == kCompIdle) {
            if (!(mL > thr || mR > thr)) continue;   // untouched, bit for bit
            state = kCompAttack;
            attackCount = 1;
            releaseCount = 1;
            st.passTL[slot] = st.passTR[slot] = 0;
            newL = newR = oldL = oldR = 0.0;
        }

        double gain;
        if (state == kCompAttack) {
            newL = std::max(newL, mL);
            newR = std::max(newR, mR);
            gain = AttackStep(state, attackCount, law);
        } else if (state == kCompHolding) {
            gain = holdGain;
            newL = std::max(newL, mL);
            newR = std::max(newR, mR);
            if (changedL) st.passTL[slot] = newL < law.halfThreshold ? st.passTL[slot] + 1 : 0;
            if (changedR) st.passTR[slot] = newR < law.halfThreshold ? st.passTR[slot] + 1 : 0;
            ClosePeak(changedL, newL, oldL);
            ClosePeak(changedR, newR, oldR);
            if (st.passTL[slot] > 3 && st.passTR[slot] > 3) state = kCompRelease;
        } else if (state == kCompRelease) {
            newL = std::max(newL, mL);
            newR = std::max(newR, mR);
            ClosePeak(changedL, newL, oldL);
            ClosePeak(changedR, newR, oldR);
            gain = ReleaseStep(state, releaseCount, law, oldL < thr && oldR < thr);
        } else {
            continue;   // off or unknown: untouched
        }
        left[i] = pL * mL * gain;
        right[i] = pR * mR * gain;
    }
    if (n > 0) {
        st.oldpolarL[slot] = prevL;
        st.oldpolarR[slot] = prevR;
    }
}

}  // namespace varnel
