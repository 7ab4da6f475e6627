#include "mixer/effects/rev_eq.hpp"

#include "mixer/effects/biquad.hpp"
#include "mixer/effects/denormal.hpp"

namespace varnel {

void Rev_EQ(RevEqState& st, int n, int stage,
            double* left, double* right, double b0, double b1, double b2, double a1, double a2,
            int& firstUse) {
    if (stage < 0 || stage >= kRevEqStages || n < 1) return;
    Denormal(left, right, n);
    const BiquadCoefs c{b0, b1, b2, a1, a2};
    const int flag = firstUse;
    BiquadSide(left, n, c, flag, st.in1L[stage], st.in2L[stage], st.out1L[stage],
               st.out2L[stage]);
    firstUse = BiquadSide(right, n, c, flag, st.in1R[stage], st.in2R[stage], st.out1R[stage],
                          st.out2R[stage]);
}

}  // namespace varnel
