#include "mixer/effects/eq.hpp"

#include "mixer/effects/biquad.hpp"
#include "mixer/effects/denormal.hpp"

namespace varnel {

void EQ(EqState& st, int n, int slot, int stage, double* left, double* right, double b0, double b1, double b2, double a1, double a2,
        int& firstUse) {
    if (slot < 0 || slot >= kFxSlots || stage < 0 || stage >= kEqStages || n < 1) return;
    Denormal(left, right, n);
    const BiquadCoefs c{b0, b1, b2, a1, a2};
    firstUse = BiquadPair(left, right, n, c, firstUse,
                          {st.in1L[slot][stage], st.in2L[slot][stage], st.out1L[slot][stage],
                           st.out2L[slot][stage]},
                          {st.in1R[slot][stage], st.in2R[slot][stage], st.out1R[slot][stage],
                           st.out2R[slot][stage]});
}

}  // namespace varnel
