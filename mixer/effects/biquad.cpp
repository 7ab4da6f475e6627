#include "mixer/effects/biquad.hpp"

namespace varnel {

int BiquadSide(double* x, int n, const BiquadCoefs& c, int flag, double& in1, double& in2,
               double& out1, double& out2) {
    int i = 0;
    if (flag < 2) {
        if (n < 1) return flag;
        if (flag == 0) flag = 1;         // the first sample passes unchanged
        if (n < 2) return flag;          // the seed needs two frames
        in2 = out2 = x[0];
        in1 = out1 = x[1];
        flag = 2;
        i = 2;
    }
    for (; i < n; ++i) {
        const double in = x[i];
        // Each delay's feed-forward and feedback terms are paired, so a flat
        // stage (b1 = a1, b2 = a2, b0 = 1, history in = out) returns its input
        // exactly instead of a value one rounding below it.
        const double y = c.b0 * in + (c.b1 * in1 - c.a1 * out1) + (c.b2 * in2 - c.a2 * out2);
        out2 = out1;
        out1 = y;
        in2 = in1;
        in1 = in;
        x[i] = y;
    }
    return flag;
}

}  // namespace varnel
