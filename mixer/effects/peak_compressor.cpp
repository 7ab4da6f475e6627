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
    ratio = SafeRatio(ratio);
    attack = SafeSpan(attack);
    release = SafeSpan(release);
    const double thr = threshold;
    const double halfThr = thr * 0.5;
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
            const int k = attackCount;
            gain = AttackGain(k, attack, ratio);
            if (k < attack) {
                attackCount = k + 1;
            } else {
                state = kCompHolding;
            }
        } else if (state == kCompHolding) {
            gain = 1.0 / ratio;
            newL = std::max(newL, mL);
            newR = std::max(newR, mR);
            if (changedL) st.passTL[slot] = newL < halfThr ? st.passTL[slot] + 1 : 0;
            if (changedR) st.passTR[slot] = newR < halfThr ? st.passTR[slot] + 1 : 0;
            ClosePeak(changedL, newL, oldL);
            ClosePeak(changedR, newR, oldR);
            if (st.passTL[slot] > 3 && st.passTR[slot] > 3) state = kCompRelease;
        } else if (state == kCompRelease) {
            newL = std::max(newL, mL);
            newR = std::max(newR, mR);
            ClosePeak(changedL, newL, oldL);
            ClosePeak(changedR, newR, oldR);
            const int k = releaseCount;
            gain = ReleaseGain(k, release, ratio);
            if (oldL < thr && oldR < thr) {
                releaseCount = k + 1;
            } else if (k > 0) {
                releaseCount = k - 1;
            }
            if (releaseCount > release) state = kCompIdle;
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
