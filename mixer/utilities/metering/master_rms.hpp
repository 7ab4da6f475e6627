// The meter behind the report's average RMS: the RMS of the final master
// output over windows of at least a minimum length that end at zero
// crossings, accumulated over the whole mix.
#pragma once

#include <cstdint>

namespace varnel {

// Meter memory for the run; the caller's first-use flag resets it.
struct MasterRmsState {
    int oldpolarL, oldpolarR, newpolarL, newpolarR;
    float squaresL, squaresR, intervalL, intervalR;
};

// Reads n frames of 32-bit samples without changing them and adds every
// window that closes to the accumulators: windowsL/R count the windows,
// sumL/R add up their RMS values (average = sum / windows). A window closes
// on a polarity change once it holds more than minWindow samples; samples
// are divided by `divisor` (truncating) before squaring.
// Mono: pass the same buffer as left and right, or nullptr as right; both
// sides then measure that buffer and report the same figures.
// A divisor below 1 acts as 1 (no division by zero).
void MasterRMS(MasterRmsState& st, int& firstUse, const int32_t* left, const int32_t* right,
               float& windowsL, float& windowsR, float& sumL, float& sumR, float minWindow,
               int divisor, int n);

}  // namespace varnel
