#include "mixer/utilities/metering/loudness_target.hpp"

#include <algorithm>
#include <cmath>

namespace varnel {

void ChooseTargetGain(LoudnessTarget& t, const LoudnessFigures& firstPass) {
    t.measured = firstPass.integrated;
    t.measuredPeak = std::max(firstPass.truePeakL, firstPass.truePeakR);
    t.capped = false;
    t.silent = !std::isfinite(t.measured);
    t.gainDb = 0.0;
    if (t.silent) return;
    t.gainDb = t.target - t.measured;
    if (t.measuredPeak + t.gainDb > t.ceiling) {
        t.gainDb = t.ceiling - t.measuredPeak;
        t.capped = true;
    }
}

double ReachedLoudness(const LoudnessTarget& t) { return t.measured + t.gainDb; }

double TargetGainFactor(const LoudnessTarget& t) { return std::pow(10.0, t.gainDb / 20.0); }

}  // namespace varnel
