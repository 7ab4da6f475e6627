// Direct-form-I biquad core shared by the EQ stages and the reverb input
// filters. Coefficients arrive already divided by a0.
#pragma once

namespace varnel {

struct BiquadCoefs {
    double b0, b1, b2, a1, a2;
};

// Filters one side in place and returns the stage's new first-use flag.
// Start-up: a stage at flag 0 passes its first sample unchanged (flag 1);
// the first two samples it ever sees pass unchanged and seed the history
// (flag 2); from the third sample on every sample is filtered. A call that
// finds flag 1 seeds from its own first two frames. A call at flag 1 with a
// single frame passes it unchanged and keeps flag 1, there being no second
// frame to seed from. Both sides of a stage are called with the same flag.
int BiquadSide(double* x, int n, const BiquadCoefs& c, int flag, double& in1, double& in2,
               double& out1, double& out2);

// One side's history, by reference into the caller's state tables.
struct BiquadHistory {
    double& in1;
    double& in2;
    double& out1;
    double& out2;
};

// Both sides of a stage: the same as BiquadSide on the left and then on the
// right with the same flag, but one loop carries both recursions, so the two
// independent chains overlap in the processor.
int BiquadPair(double* left, double* right, int n, const BiquadCoefs& c, int flag,
               BiquadHistory l, BiquadHistory r);

}  // namespace varnel
