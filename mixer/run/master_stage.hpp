// The master stage of one block: master fader, master effects, master-fed
// reverbs, limiter, post-effects gain and clip test, then the output and tap
// file writes.
#pragma once

#include <cstdint>

#include "mixer/run/mix_loop.hpp"

namespace varnel {

// Returns 0, or the exit status after a fatal error (1 reverb room, 2 write).
int MasterStage(MixRun& run, int64_t s, int n);

// Runs the tap reverb, then the room reverb, on their sends (input filters
// first), adding into the return and carry buffers; with sendPeaks the send
// peaks follow the filtered sends. Returns 0 or 1.
int RunReverbs(MixRun& run, int n, bool tap, bool room, bool sendPeaks);

}  // namespace varnel
