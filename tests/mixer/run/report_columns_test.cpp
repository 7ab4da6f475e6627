// The HTML report's columns: every sample lands in the column the lanes and
// the page put it in, whatever the block boundaries; the limiter's reduction
// is what LIMITER does to that magnitude.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "mixer/effects/limiter.hpp"
#include "mixer/run/report_columns.hpp"

using namespace varnel;

TEST(ReportColumns, SamplesLandInTheirColumnAcrossBlocks) {
    // A window that does not divide into whole columns, gathered in blocks
    // of odd sizes, against one frame at a time; the right side differs.
    const int64_t start = 1000, length = 5 * kReportColumns + 7;
    OutputColumns whole, framewise;
    StartOutputColumns(whole, start, length, true);
    StartOutputColumns(framewise, start, length, true);
    ASSERT_EQ(whole.columns, kReportColumns);
    const size_t frames = static_cast<size_t>(length);
    std::vector<int32_t> words(frames), out(frames), outR(frames);
    std::vector<double> lim(frames), limR(frames);
    for (int64_t i = 0; i < length; ++i) {
        out[size_t(i)] = int32_t((i * 7919) % 2001) - 1000;
        outR[size_t(i)] = int32_t((i * 104729) % 3001) - 1500;
        words[size_t(i)] = i == 3 * 5 + 2 ? INT32_MIN : out[size_t(i)];
        lim[size_t(i)] = double(out[size_t(i)]) * (i % 3 == 0 ? -3.0 : 1.0);
        limR[size_t(i)] = double(outR[size_t(i)]) * 2.0;
    }
    for (int64_t s = 0; s < length;) {
        const int n = int(std::min<int64_t>(length - s, 97 + s % 13));
        GatherOutputBlock(whole, start + s, n, words.data() + s, outR.data() + s, out.data() + s,
                          outR.data() + s);
        GatherLimiterInput(whole, start + s, n, lim.data() + s, limR.data() + s);
        s += n;
    }
    std::vector<int32_t> minR(kReportColumns, INT32_MAX), maxR(kReportColumns, INT32_MIN);
    std::vector<double> most(kReportColumns, 0.0);
    for (int64_t s = 0; s < length; ++s) {
        const int c = ColumnOfSample(framewise, start + s);
        const size_t k = size_t(c), i = size_t(s);
        minR[k] = std::min(minR[k], outR[i]);
        maxR[k] = std::max(maxR[k], outR[i]);
        most[k] = std::max({most[k], std::fabs(lim[i]), std::fabs(limR[i])});
        // The column's first sample is at or before s, the next column's after it.
        ASSERT_LE(start + int64_t(c) * length / kReportColumns, start + s) << s;
        ASSERT_GT(start + int64_t(c + 1) * length / kReportColumns, start + s) << s;
        GatherOutputBlock(framewise, start + s, 1, &words[i], nullptr, &out[i], nullptr);
    }
    EXPECT_EQ(whole.minL, framewise.minL);
    EXPECT_EQ(whole.maxL, framewise.maxL);
    EXPECT_EQ(whole.minR, minR);
    EXPECT_EQ(whole.maxR, maxR);
    EXPECT_EQ(whole.fullScaleL, framewise.fullScaleL);
    EXPECT_EQ(whole.fullScaleR, std::vector<uint8_t>(kReportColumns, 0));
    EXPECT_EQ(whole.limiterInput, most);
    EXPECT_EQ(whole.fullScaleL[3], 1);  // sample 17 lies in column 3 (5 or 6 samples each)
    EXPECT_EQ(whole.fullScaleL[2] + whole.fullScaleL[4], 0);
}

TEST(ReportColumns, LimiterReductionIsWhatTheLimiterDoes) {
    const int threshold = 1 << 30;
    for (double m : {1e6, 0.89 * threshold, 0.9 * threshold, 1.0 * threshold, 2.0e9, 8.0e9}) {
        double l = m, r = -m;
        LIMITER(1, &l, &r, threshold);
        EXPECT_NEAR(LimiterReductiondB(m, threshold), 20.0 * std::log10(m / std::fabs(l)), 1e-9) << m;
        EXPECT_NEAR(LimiterReductiondB(-m, threshold), 20.0 * std::log10(m / std::fabs(r)), 1e-9) << m;
    }
    EXPECT_EQ(LimiterReductiondB(0.0, threshold), 0.0);
}
