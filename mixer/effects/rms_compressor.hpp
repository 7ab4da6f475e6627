// The "rms" compressor: a stereo-linked, switched gain reducer triggered by
// the RMS level of each half-cycle of the waveform.
#pragma once

#include "mixer/effects/fade_tables.hpp"
#include "mixer/effects/gain_ramp.hpp"
#include "mixer/utilities/limits.hpp"

namespace varnel {

// Per-slot memory for the whole run. A value-initialised struct ({}) is the
// state at the start of a run; the first-use flag resets the measurements
// but not the fade counters, which every trigger sets afresh anyway.
struct RmsCompState {
    float rmsL[kFxSlots], rmsR[kFxSlots];           // RMS of the last completed half-cycle
    float squaresL[kFxSlots], squaresR[kFxSlots];   // running sums of squares
    float intervalL[kFxSlots], intervalR[kFxSlots]; // samples in the running half-cycle
    double oldpolarL[kFxSlots], oldpolarR[kFxSlots];
    int attackCount[kFxSlots], releaseCount[kFxSlots];
    int passTL[kFxSlots], passTR[kFxSlots];         // consecutive quiet half-cycles
    int mode[kFxSlots];      // the `state` of each slot (kCompOff until the chain starts it)
    int firstUse[kFxSlots];  // the first-use flag of each slot
    FadeTables fades;                               // attack and release gains
};

// One strip's arguments to the compressor: its slot, its mode (the `state`,
// 0 off and untouched, 1 idle, advanced by the compressor), its samples,
// attack and release in samples, the ratio (the fixed gain reduction while
// triggered), the threshold in the slot's sample scale (compared exactly; it
// may be 2,147,483,647 on bus slots) and its first-use flag.
struct RmsCompCall {
    int slot;
    int* state;
    double* left;
    double* right;
    int attack, release;
    double ratio;
    int threshold;
    int* firstUse;
};

// Processes n frames in place. Ratios below 1 (including 0) act as 1 and fade
// lengths below 1 as 1, so no NaN or infinity can reach a sample. A slot
// outside 0..135 is left alone.
void RMSCOMPRESSOR(RmsCompState& st, const RmsCompCall& call, int n);

// Two strips (different slots) over the same n frames, with the same result
// as one RMSCOMPRESSOR call after the other; measuring both strips' levels
// in one pass is faster.
void RmsCompressorPair(RmsCompState& st, const RmsCompCall& a, const RmsCompCall& b, int n);

}  // namespace varnel
