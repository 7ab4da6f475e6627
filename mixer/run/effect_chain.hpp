// The per-strip effect chain: positions 1 to 11, and within one position the
// fixed order hp, band1..4, hshelf, lshelf, rms, nlc, comp, lim.
#pragma once

#include <cstdint>

#include "mixer/effects/eq.hpp"
#include "mixer/effects/hpf.hpp"
#include "mixer/effects/nlc_compressor.hpp"
#include "mixer/effects/peak_compressor.hpp"
#include "mixer/effects/rev_eq.hpp"
#include "mixer/effects/rms_compressor.hpp"
#include "mixer/effects/recurse_reverb.hpp"
#include "mixer/effects/discrete_reverb.hpp"
#include "mixer/utilities/effect_settings/effect_settings.hpp"
#include "mixer/utilities/hot_loop.hpp"
#include "mixer/utilities/metering/master_rms.hpp"

namespace varnel {

// Frames per pass of the chain: both sides of a tile in work samples stay in
// the first-level cache while every effect runs over them in turn. All the
// processors are sample by sample, so the tiles give the same result as one
// pass per effect over the whole block.
constexpr int kChainTile = 1024;
// A pair's four tiles lie this many values apart; kPairWorkValues is what
// RunStripEffectsPair needs, and also holds RunStripEffects' two tiles.
constexpr int kPairTileStride = kChainTile + 16;
constexpr int kPairWorkValues = 4 * kPairTileStride;

// Every processor's per-slot memory for one run.
struct ProcessorStates {
    HpfState hpf;
    EqState eq;
    RevEqState revEq;
    RmsCompState rms;
    PeakCompState peak;
    NlcState nlc;
    RoomReverbState room;
    TapReverbState tap;
    MasterRmsState masterRms;
};

// Builds the fade tables of every slot's "rms" and "comp" laws ahead of the
// mix and freezes both sets, so the compressors only look tables up from then
// on and strips can run on several threads at once. Tables hold the gain
// law's own values, so the samples are the same with or without them.
void PrepareFadeTables(const EffectSettings& fx, ProcessorStates& ps);

// Runs the slot's enabled effects on work L/R in chain order. The master's
// limiter runs later, after the reverb returns, so it passes withLimiter false.
void RunEffectChain(int slot, int n, double* left, double* right,
                    const EffectSettings& fx, ProcessorStates& ps, bool withLimiter);

// A channel's or submix's effects on its integer block: converts to work
// samples, runs the chain and returns the result (ReturnFromEffects), one
// cache-sized tile at a time. workL/workR hold at least one tile.
void RunStripEffects(int slot, int n, int32_t* L, int32_t* R, double* workL,
                     double* workR, const EffectSettings& fx, ProcessorStates& ps, double postGain,
                     double fullScale, int& clipFlag);

// One strip's integer block and where its effects report to.
struct StripBlock {
    int slot;
    int32_t* L;
    int32_t* R;
    double postGain;
    int& clip;
};

// True when two different slots run the same effects in the same order, so
// RunStripEffectsPair can take them together.
bool SameEffectChain(int slotA, int slotB, const EffectSettings& fx);

// Two strips with the same chain (SameEffectChain): the same as
// RunStripEffects on a and then on b, with the strips' settled filters run
// side by side. `work` holds at least kPairWorkValues values.
void RunStripEffectsPair(const StripBlock& a, const StripBlock& b, int n,
                         double* work, const EffectSettings& fx, ProcessorStates& ps, double fullScale);

// Post-effects gain, clip test against ±fullScale and truncation back into
// the integer block (saturating where a value leaves the 32-bit range).
void ReturnFromEffects(double* workL, double* workR, int n, double postGain, double fullScale,
                       int& clipFlag, int32_t* outL, int32_t* outR,
                       Kernel kernel = Kernel::kBest);

}  // namespace varnel
