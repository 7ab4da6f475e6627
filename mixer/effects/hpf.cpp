#include "mixer/effects/hpf.hpp"

#include "mixer/effects/denormal.hpp"

namespace varnel {

namespace {

void FilterSide(double* x, int n, bool seed, double feedback, double input, double& oldX,
                double& oldY) {
    int i = 0;
    if (seed) {
        oldX = oldY = x[0];
        i = 1;
    }
    for (; i < n; ++i) {
        const double in = x[i];
        const double y = feedback * oldY + input * (in - oldX);
        oldX = in;
        oldY = y;
        x[i] = y;
    }
}

// Both sides in one loop, as FilterSide on each without seeding: the two
// recursions are independent, so they overlap in the processor.
void FilterPair(double* left, double* right, int n, double feedback, double input,
                double& oldXL, double& oldYL, double& oldXR, double& oldYR) {
    double xL = oldXL, yL = oldYL, xR = oldXR, yR = oldYR;
    for (int i = 0; i < n; ++i) {
        const double inL = left[i];
        const double inR = right[i];
        yL = feedback * yL + input * (inL - xL);
        yR = feedback * yR + input * (inR - xR);
        xL = inL;
        xR = inR;
        left[i] = yL;
        right[i] = yR;
    }
    oldXL = xL, oldYL = yL, oldXR = xR, oldYR = yR;
}

}  // namespace

void HPF(HpfState& st, int n, int slot, double* left, double* right, double feedback, double input, int& firstUse) {
    if (slot < 0 || slot >= kFxSlots || n < 1) return;
    Denormal(left, right, n);
    const bool seed = firstUse == 0;
    if (seed) {
        FilterSide(left, n, seed, feedback, input, st.OldXL[slot], st.OldYL[slot]);
        FilterSide(right, n, seed, feedback, input, st.OldXR[slot], st.OldYR[slot]);
    } else {
        FilterPair(left, right, n, feedback, input, st.OldXL[slot], st.OldYL[slot],
                   st.OldXR[slot], st.OldYR[slot]);
    }
    firstUse = 1;
}

}  // namespace varnel
