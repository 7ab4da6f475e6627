// Conversions between decibels and level values (2^27 = 0 dB).
#pragma once

#include <cmath>
#include <cstdint>

#include "mixer/utilities/limits.hpp"
#include "mixer/utilities/text/numbers.hpp"

namespace varnel {

constexpr double kSilencedB = -144.0;

// A level of 0 or below is the automation's silence.
inline double LevelTodB(int32_t level) {
    if (level <= 0) return kSilencedB;
    return 20.0 * std::log10(double(level) / double(kLevelUnity));
}

// trunc(10^(dB/20) x 2^27)
inline int32_t dBToLevel(double dB) {
    return TruncToInt32(std::pow(10.0, dB / 20.0) * double(kLevelUnity));
}

}  // namespace varnel
