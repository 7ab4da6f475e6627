// Edits applied to every stored entry of every fader, in slot order.
#pragma once

#include "adjuster/fader_model.hpp"

namespace ostrand {

// The largest entry time, starting from 0 (so never below 0).
float FindMax(const EntryTable& times, const EntryCounts& counts);

// The smallest entry time, starting from `start`.
float FindMin(const EntryTable& times, const EntryCounts& counts, float start);

// Every time += d (ramps unchanged).
void MoveTimes(EntryTable& times, const EntryCounts& counts, double d);

// Every time and every ramp *= k. The caller checks the range of k.
void ScaleTimes(EntryTable& times, EntryTable& ramps, const EntryCounts& counts, double k);

// Every level += g (dB).
void AdjustVolumes(EntryTable& levels, const EntryCounts& counts, double g);

}  // namespace ostrand
