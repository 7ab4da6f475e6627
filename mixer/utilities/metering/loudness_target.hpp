// The loudness target of a two-pass run ("lufs" and "tpmax"): what was asked,
// what the first pass measured, and the gain chosen from it. One plain
// struct, handed to every report writer, so each shows the same figures.
#pragma once

#include <limits>

#include "mixer/utilities/metering/loudness_meter.hpp"

namespace varnel {

struct LoudnessTarget {
    bool set = false;       // "lufs" was given: the run mixes twice
    double target = 0.0;    // LUFS
    double ceiling = -1.0;  // dBTP
    // The first pass: the master as it would be written before dither.
    double measured = -std::numeric_limits<double>::infinity();  // integrated, LUFS
    double measuredPeak = -144.0;  // true peak, dBTP, the larger side
    double gainDb = 0.0;           // applied to the master of the second pass
    bool capped = false;           // the ceiling held the gain back
    bool silent = false;           // no gated block: no gain
};

// Chooses the gain from the first pass's figures: the target less the
// measured loudness, lowered to the ceiling less the true peak when the peak
// would pass the ceiling; none when no block passed the gates.
void ChooseTargetGain(LoudnessTarget& t, const LoudnessFigures& firstPass);

// The loudness the written mix reaches: measured + gain (-infinity when silent).
double ReachedLoudness(const LoudnessTarget& t);

// The gain as one linear factor (1 for no gain).
double TargetGainFactor(const LoudnessTarget& t);

}  // namespace varnel
