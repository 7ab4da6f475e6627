// The "nlc" compressor: a threshold-and-ratio gain curve without attack or
// release ramps, whose gain changes only at zero crossings so the steps do
// not click.
#pragma once

#include "mixer/utilities/limits.hpp"

namespace varnel {

// Per-slot memory for the whole run, set up by the slot's first-use flag
// (kept here with it, 0 until the slot's first call).
struct NlcState {
    int oldpolarL[kFxSlots], oldpolarR[kFxSlots];
    float rmsL[kFxSlots], rmsR[kFxSlots];             // RMS of the last completed window
    float oldrmsL[kFxSlots], oldrmsR[kFxSlots];       // the reading before that
    double gammaL[kFxSlots], gammaR[kFxSlots];        // gain wanted by each side's last reading
    double GrandGammaL[kFxSlots], GrandGammaR[kFxSlots];   // gain applied to each side
    float squaresL[kFxSlots], squaresR[kFxSlots];     // running sums of squares
    float intervalL[kFxSlots], intervalR[kFxSlots];   // samples in the running window
    int firstUse[kFxSlots];                           // NonLinCOMP's flag of each slot
};

// Processes n frames in place. A window closes on a polarity change once it
// holds more than minWindow samples; its level (the last three readings
// weighted 3:2:1) sets that side's gain threshold/level + (1 -
// threshold/level)/ratio, and each side applies the mean of both sides'
// gains, at most 1. Ratios below 1 (including 0) act as 1 so no NaN can
// reach a sample. A slot outside 0..135 is left alone.
void NonLinCOMP(NlcState& st, int slot, int n, double* left, double* right, int minWindow,
                double ratio, int threshold, int& firstUse);

}  // namespace varnel
