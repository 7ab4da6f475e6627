// First-order high-pass filter of every slot.
#pragma once

#include <cstdint>

#include "mixer/utilities/limits.hpp"

namespace varnel {

// Previous input and previous output of each side, per slot.
struct HpfState {
    double OldXL[kFxSlots], OldXR[kFxSlots], OldYL[kFxSlots], OldYR[kFxSlots];
    int firstUse[kFxSlots];   // HPF's flag of each slot, 0 until its first sample
};

// Filters n frames in place, after lifting near-zero samples (Denormal):
// y = feedback * y_prev + input * (x - x_prev). On the slot's first call
// (firstUse 0) the first sample passes unchanged and seeds both memories;
// firstUse becomes 1. A slot outside 0..135 leaves the buffers untouched.
void HPF(HpfState& st, int n, int slot, double* left, double* right, double feedback,
         double input, int& firstUse);

}  // namespace varnel
