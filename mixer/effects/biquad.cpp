#include "mixer/effects/biquad.hpp"

namespace varnel {

namespace {

// One filtered sample; moves the history on.
inline double BiquadStep(const BiquadCoefs& c, double in, double& in1, double& in2,
                         double& out1, double& out2) {
    // Each delay's feed-forward and feedback terms are paired, so a flat
    // stage (b1 = a1, b2 = a2, b0 = 1, history in = out) returns its input
    // exactly instead of a value one rounding below it.
    const double y = c.b0 * in + (c.b1 * in1 - c.a1 * out1) + (c.b2 * in2 - c.a2 * out2);
    out2 = out1;
    out1 = y;
    in2 = in1;
    in1 = in;
    return y;
}

}  // namespace

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
    for (; i < n; ++i) x[i] = BiquadStep(c, x[i], in1, in2, out1, out2);
    return flag;
}

int BiquadPair(double* left, double* right, int n, const BiquadCoefs& c, int flag,
               BiquadHistory l, BiquadHistory r) {
    // Start-up frames are few; the shared loop is only for settled stages.
    if (flag < 2) {
        BiquadSide(left, n, c, flag, l.in1, l.in2, l.out1, l.out2);
        return BiquadSide(right, n, c, flag, r.in1, r.in2, r.out1, r.out2);
    }
    double lIn1 = l.in1, lIn2 = l.in2, lOut1 = l.out1, lOut2 = l.out2;
    double rIn1 = r.in1, rIn2 = r.in2, rOut1 = r.out1, rOut2 = r.out2;
    for (int i = 0; i < n; ++i) {
        left[i] = BiquadStep(c, left[i], lIn1, lIn2, lOut1, lOut2);
        right[i] = BiquadStep(c, right[i], rIn1, rIn2, rOut1, rOut2);
    }
    l.in1 = lIn1, l.in2 = lIn2, l.out1 = lOut1, l.out2 = lOut2;
    r.in1 = rIn1, r.in2 = rIn2, r.out1 = rOut1, r.out2 = rOut2;
    return flag;
}

}  // namespace varnel
