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

// A peak meter with the position of its peak, over a block: the same as
// comparing each frame in turn, a frame taking over only when strictly
// louder (so the first frame of the block's largest magnitude wins). The
// block's largest magnitude comes from the vectorised scan; the frame is
// looked for only when it beats the peak so far.
inline void PeakAndFirstPosition(const int32_t* v, int n, double& peak, int64_t& pos,
                                 int64_t blockStart) {
    const double top = LargestMagnitude(v, n);
    if (!(top > peak)) return;
    for (int i = 0; i < n; ++i)
        if ((v[i] < 0 ? -double(v[i]) : double(v[i])) == top) {
            peak = top;
            pos = blockStart + i;
            return;
        }
}

// Bus-scale samples of x[0..n) that reached or passed full scale: a value at
// or beyond 2^31 is held at the top of the 32-bit range, and one at or below
// -2^31 at its bottom, so both limits count. `first` becomes the index of the
// first one when there is one and it is still -1.
inline int64_t CountAtFullScale(const int32_t* x, int n, int& first) {
    int64_t count = 0;
    for (int i = 0; i < n; ++i) count += (x[i] == INT32_MAX) | (x[i] == INT32_MIN);
    if (count != 0 && first < 0)
        for (int i = 0; i < n; ++i)
            if (x[i] == INT32_MAX || x[i] == INT32_MIN) {
                first = i;
                break;
            }
    return count;
}

}  // namespace varnel
