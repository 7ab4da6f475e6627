// The sums of the mixing loop: peak meters over a block, a strip added into a
// bus or the master's sum, a strip's share of a reverb send.
#pragma once

#include <cstdint>

#include "mixer/utilities/metering/block_scan.hpp"
#include "mixer/utilities/text/numbers.hpp"

namespace varnel {

inline void UpdatePeak(double& peak, double v) {
    double a = v < 0 ? -v : v;
    if (a > peak) peak = a;
}

// The peak meter over a whole block: the same as a per-sample UpdatePeak.
inline void UpdatePeakBlock(double& peak, const int32_t* x, int n) {
    const double a = LargestMagnitude(x, n);
    if (a > peak) peak = a;
}

// bus += x, saturating.
inline void AddToBus(int32_t* bus, const int32_t* x, int n) {
    for (int i = 0; i < n; ++i) bus[i] = SatAdd32(bus[i], x[i]);
}

// The same into the master's sum; a sum past the 32-bit range marks the
// master as clipped, so the report says so.
inline void AddToMaster(int32_t* master, const int32_t* x, int n, int& clip) {
    uint32_t overflow = 0;
    for (int i = 0; i < n; ++i) {
        const uint32_t a = uint32_t(master[i]), b = uint32_t(x[i]), sum = a + b;
        overflow |= ~(a ^ b) & (a ^ sum);
        master[i] = SatAdd32(master[i], x[i]);
    }
    if (overflow >> 31) clip = 1;
}

// A channel's share of a reverb send.
inline void AddToSend(const int32_t* L, const int32_t* R, int n, double gain, double* sendL,
                      double* sendR) {
    for (int i = 0; i < n; ++i) {
        sendL[i] += double(L[i]) * gain;
        sendR[i] += double(R[i]) * gain;
    }
}

}  // namespace varnel
