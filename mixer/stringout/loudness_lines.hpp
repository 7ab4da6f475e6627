// The loudness lines that close the report, after the processing time.
#pragma once

#include <string>

#include "mixer/utilities/metering/loudness_meter.hpp"
#include "mixer/utilities/metering/loudness_target.hpp"

namespace varnel {

// "Integrated loudness = %.1f LUFS", "Loudness range = %.1f LU",
// "True peak L = %.1f dBTP" and "True peak R = %.1f dBTP", one line each.
std::string LoudnessLines(const LoudnessFigures& f);

// With a loudness target, after the loudness lines: "Loudness target = %.1f
// LUFS, gain applied = %+.2f dB"; empty without a target.
std::string LoudnessTargetLine(const LoudnessTarget& t);

// When the target was not reached, one warning line (printed at every
// verbosity, as warnings are): the ceiling held the gain back ("Warning: the
// target was not reached: the true-peak ceiling of %.1f dBTP allows %.1f
// LUFS at most."), or the first pass measured no loudness. Empty otherwise.
std::string LoudnessTargetWarning(const LoudnessTarget& t);

}  // namespace varnel
