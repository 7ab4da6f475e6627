#include "mixer/run/report_columns.hpp"

#include <algorithm>
#include <cmath>

#include "mixer/utilities/hot_loop.hpp"

namespace varnel {

namespace {

int64_t Edge(const OutputColumns& c, int column) {
    return c.windowStart + int64_t(column) * c.windowLength / c.columns;
}

// Calls f(column, from, to) for each column's share [from, to) of a block,
// positions relative to the block.
template <typename F>
void ForEachColumn(const OutputColumns& c, int64_t blockStart, int n, F f) {
    if (c.columns <= 0 || n <= 0) return;
    int column = ColumnOfSample(c, blockStart);
    int64_t s = blockStart;
    const int64_t end = blockStart + n;
    while (s < end && column < c.columns) {
        const int64_t to = std::min(Edge(c, column + 1), end);
        f(column, int(s - blockStart), int(to - blockStart));
        s = to;
        ++column;
    }
}

VARNEL_KERNEL void SideBody(const int32_t* words, const int32_t* out, int from, int to, int32_t& lo,
                            int32_t& hi, uint8_t& full) {
    int32_t a = lo, b = hi;
    for (int i = from; i < to; ++i) {
        a = std::min(a, out[i]);
        b = std::max(b, out[i]);
    }
    lo = a;
    hi = b;
    if (full) return;
    int any = 0;
    for (int i = from; i < to; ++i) any |= (words[i] == INT32_MAX) | (words[i] == INT32_MIN);
    full = uint8_t(any);
}
VARNEL_BUILD_TWICE(SideBody)

void Side(const int32_t* words, const int32_t* out, int from, int to, int32_t& lo, int32_t& hi,
          uint8_t& full) {
    VARNEL_RUN(Kernel::kBest, SideBody, words, out, from, to, lo, hi, full);
}

VARNEL_KERNEL double PeakMagnitudeBody(const double* x, int from, int to, double most) {
    for (int i = from; i < to; ++i) most = std::max(most, std::fabs(x[i]));
    return most;
}
VARNEL_BUILD_TWICE(PeakMagnitudeBody)

double PeakMagnitude(const double* x, int from, int to, double most) {
    return VARNEL_RUN(Kernel::kBest, PeakMagnitudeBody, x, from, to, most);
}

}  // namespace

void StartOutputColumns(OutputColumns& c, int64_t windowStart, int64_t windowLength,
                        bool masterLimiter) {
    c = OutputColumns{};
    if (windowLength <= 0) return;
    c.columns = int(std::min<int64_t>(kReportColumns, windowLength));
    c.windowStart = windowStart;
    c.windowLength = windowLength;
    const size_t C = size_t(c.columns);
    c.minL.assign(C, INT32_MAX), c.maxL.assign(C, INT32_MIN);
    c.minR.assign(C, INT32_MAX), c.maxR.assign(C, INT32_MIN);
    c.fullScaleL.assign(C, 0), c.fullScaleR.assign(C, 0);
    if (masterLimiter) c.limiterInput.assign(C, 0.0);
}

int ColumnOfSample(const OutputColumns& c, int64_t s) {
    // The largest column whose first sample is at or before s.
    const int64_t u = s - c.windowStart;
    if (u < 0) return 0;
    return int(std::min<int64_t>(((u + 1) * c.columns - 1) / c.windowLength, c.columns - 1));
}

void GatherOutputBlock(OutputColumns& c, int64_t blockStart, int n, const int32_t* wordsL,
                       const int32_t* wordsR, const int32_t* outL, const int32_t* outR) {
    ForEachColumn(c, blockStart, n, [&](int k, int from, int to) {
        const size_t i = size_t(k);
        Side(wordsL, outL, from, to, c.minL[i], c.maxL[i], c.fullScaleL[i]);
        if (wordsR)
            Side(wordsR, outR, from, to, c.minR[i], c.maxR[i], c.fullScaleR[i]);
    });
}

void GatherLimiterInput(OutputColumns& c, int64_t blockStart, int n, const double* left,
                        const double* right) {
    if (c.limiterInput.empty()) return;
    ForEachColumn(c, blockStart, n, [&](int k, int from, int to) {
        double& most = c.limiterInput[size_t(k)];
        most = PeakMagnitude(right, from, to, PeakMagnitude(left, from, to, most));
    });
}

}  // namespace varnel
