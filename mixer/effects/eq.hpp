// Strip EQ: the four peaking bands (stages 1..4), the high shelf (5) and the
// low shelf (6) of every slot, each a biquad with memory of its own.
#pragma once

#include <cstdint>

#include "mixer/utilities/limits.hpp"

namespace varnel {

constexpr int kEqStages = 8;   // stage positions per slot; 1..6 are used

// Per slot and stage: the last two inputs and outputs of each side. The
// caller owns one for the run; its first-use flags decide when it is seeded.
struct EqState {
    double in1L[kFxSlots][kEqStages], in2L[kFxSlots][kEqStages];
    double out1L[kFxSlots][kEqStages], out2L[kFxSlots][kEqStages];
    double in1R[kFxSlots][kEqStages], in2R[kFxSlots][kEqStages];
    double out1R[kFxSlots][kEqStages], out2R[kFxSlots][kEqStages];
    int firstUse[kFxSlots][kEqStages];   // EQ's flag of each slot and stage
};

// Runs stage `stage` of `slot` over n frames in place, after lifting
// near-zero samples (Denormal). `firstUse` is the flag of (stage, slot):
// 0 -> 1 -> 2 as the first and second samples are seen. A slot outside
// 0..135 or a stage outside 0..7 leaves the buffers untouched.
void EQ(EqState& st, int n, int slot, int stage, double* left, double* right, double b0, double b1, double b2, double a1, double a2, int& firstUse);

}  // namespace varnel
