// The "comp" compressor: the switched, stereo-linked gain law of the RMS
// compressor, triggered by the instantaneous sample magnitude and released
// by the peak of each half-cycle.
#pragma once

#include "mixer/effects/fade_tables.hpp"
#include "mixer/effects/gain_ramp.hpp"
#include "mixer/utilities/limits.hpp"

namespace varnel {

// Per-slot memory for the whole run; value-initialise it ({}) once per run,
// there is no first-use flag.
struct PeakCompState {
    double oldpolarL[kFxSlots], oldpolarR[kFxSlots];   // last polarity of the previous block
    int attackCount[kFxSlots], releaseCount[kFxSlots];
    double newpeakL[kFxSlots], newpeakR[kFxSlots];     // peak of the running half-cycle
    double oldpeakL[kFxSlots], oldpeakR[kFxSlots];     // peak of the last completed half-cycle
    int passTL[kFxSlots], passTR[kFxSlots];            // consecutive quiet half-cycles
    int mode[kFxSlots];   // the `state` of each slot (kCompOff until the chain starts it)
    FadeTables fades;                                  // attack and release gains
};

// Processes n frames in place; `state` as for RMSCOMPRESSOR. Ratios below 1
// act as 1 and fade lengths below 1 as 1. A slot outside 0..135 is left alone.
void PEAKCOMPRESSOR(PeakCompState& st, int slot, int& state, int n, double* left, double* right,
                    int attack, int release, double ratio, int threshold);

}  // namespace varnel
