// The loudness lines that close the report, after the processing time.
#pragma once

#include <string>

#include "mixer/utilities/loudness_meter.hpp"

namespace varnel {

// "Integrated loudness = %.1f LUFS", "Loudness range = %.1f LU",
// "True peak L = %.1f dBTP" and "True peak R = %.1f dBTP", one line each.
std::string LoudnessLines(const LoudnessFigures& f);

}  // namespace varnel
