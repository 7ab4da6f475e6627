// One channel's share of a block after its effects: the fader and the peak
// meters, which touch only the channel's own tables, and the sums into the
// buses and reverb sends, which every channel adds into and so run on one
// thread in channel order.
#pragma once

#include <cstdint>

#include "mixer/run/mix_loop.hpp"

namespace varnel {

// True when the channel is still playing and its track has begun by the
// block's end.
bool PlaysInBlock(const InputStage& in, int ch, int64_t s, int n);

// The next channel after ch that plays in the block, or trackCount + 1.
int NextPlaying(const MixRun& run, int ch, int64_t s, int n);

// True when channel ch and channel next (the next that plays) have the same
// effect chain, so their chains run side by side as a pair.
bool PairsWithNext(const MixRun& run, int ch, int next);

// The channel's fader (AUTOMATE, lifting it to bus scale) and its peak
// meters; vcaGain holds the block's VCA curves (null without an active VCA).
void FadeChannelBlock(MixRun& run, int ch, int64_t s, int n, int32_t* L, int32_t* R,
                      const double* vcaGain);

// Adds the faded channel into its buses and reverb sends.
void SumChannelBlock(MixRun& run, int ch, int n, const int32_t* L, const int32_t* R);

}  // namespace varnel
