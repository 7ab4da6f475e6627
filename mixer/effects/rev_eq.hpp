// The second-order filters on the reverb inputs. Stages: 0 tap-reverb
// high-pass, 1 tap-reverb low-pass, 2 room-reverb high-pass, 3 room-reverb
// low-pass.
#pragma once

#include <cstdint>

namespace varnel {

constexpr int kRevEqStages = 4;

struct RevEqState {
    double in1L[kRevEqStages], in2L[kRevEqStages], out1L[kRevEqStages], out2L[kRevEqStages];
    double in1R[kRevEqStages], in2R[kRevEqStages], out1R[kRevEqStages], out2R[kRevEqStages];
    int firstUse[kRevEqStages];   // Rev_EQ's flag of each stage
};

// The same biquad and start-up as EQ, with memory indexed by stage alone.
// A stage outside 0..3 leaves the buffers untouched.
void Rev_EQ(RevEqState& st, int n, int stage, double* left, double* right,
            double b0, double b1, double b2, double a1, double a2, int& firstUse);

}  // namespace varnel
