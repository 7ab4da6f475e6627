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
        const double y = c.b2 * in2 + c.b1 * in1 + c.b0 * in - c.a1 * out1 - c.a2 * out2;
        out2 = out1;
        out1 = y;
        in2 = in1;
        in1 = in;
        x[i] = y;
    }
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
        const double inL = left[i];
        const double inR = right[i];
        const double yL = c.b2 * lIn2 + c.b1 * lIn1 + c.b0 * inL - c.a1 * lOut1 - c.a2 * lOut2;
        const double yR = c.b2 * rIn2 + c.b1 * rIn1 + c.b0 * inR - c.a1 * rOut1 - c.a2 * rOut2;
        lOut2 = lOut1;
        lOut1 = yL;
        lIn2 = lIn1;
        lIn1 = inL;
        left[i] = yL;
        rOut2 = rOut1;
        rOut1 = yR;
        rIn2 = rIn1;
        rIn1 = inR;
        right[i] = yR;
    }
    l.in1 = lIn1, l.in2 = lIn2, l.out1 = lOut1, l.out2 = lOut2;
    r.in1 = rIn1, r.in2 = rIn2, r.out1 = rOut1, r.out2 = rOut2;
    return flag;
}

}  // namespace varnel
