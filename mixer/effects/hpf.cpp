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

}  // namespace

void HPF(HpfState& st, int n, [[maybe_unused]] int64_t blockStart, int slot, double* left,
         double* right, double feedback, double input, int& firstUse) {
    if (slot < 0 || slot >= kFxSlots || n < 1) return;
    Denormal(left, right, n);
    const bool seed = firstUse == 0;
    FilterSide(left, n, seed, feedback, input, st.OldXL[slot], st.OldYL[slot]);
    FilterSide(right, n, seed, feedback, input, st.OldXR[slot], st.OldYR[slot]);
    firstUse = 1;
}

}  // namespace varnel
