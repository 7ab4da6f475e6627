// Whole-block scans of integer samples, written so the loops vectorise.
#pragma once

#include <algorithm>
#include <cstdint>

namespace varnel {

// Largest magnitude in x[0..n), as a double (exact for every int32, so it
// compares like the magnitude of each sample would); 0 for an empty block.
inline double LargestMagnitude(const int32_t* x, int n) {
    int32_t hi = 0, lo = 0;
    for (int i = 0; i < n; ++i) {
        hi = x[i] > hi ? x[i] : hi;
        lo = x[i] < lo ? x[i] : lo;
    }
    return std::max(double(hi), -double(lo));
}

}  // namespace varnel
