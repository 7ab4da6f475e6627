#include "mixer/utilities/metering/loudness_target.hpp"

#include <gtest/gtest.h>

#include <cmath>

using namespace varnel;

TEST(LoudnessTarget, GainFromTheFirstPass) {
    struct Case {
        const char* name;
        double target, ceiling;    // asked
        double integrated, peakL, peakR;  // measured
        double gain;
        bool capped, silent;
    };
    const double inf = INFINITY;
    const Case cases[] = {
        {"up", -16, -1, -20.5, -6.0, -7.0, 4.5, false, false},
        {"down", -23, -2, -12.0, -0.5, -0.4, -11.0, false, false},
        // The larger side's peak counts.
        {"right side caps", -14, -1, -20, -10, -4, 3.0, true, false},
        // Reaching the ceiling exactly is allowed; a hair over is capped.
        {"at the ceiling", -16, -1, -20, -5, -6, 4.0, false, false},
        {"just over", -16, -1, -20, -4.999, -6, 3.999, true, false},
        {"capped down", -10, -3, -12, 1.0, -1.0, -4.0, true, false},
        {"silence", -16, -1, -inf, -144, -144, 0.0, false, true},
    };
    for (const Case& c : cases) {
        LoudnessTarget t;
        t.set = true;
        t.target = c.target;
        t.ceiling = c.ceiling;
        LoudnessFigures f;
        f.integrated = c.integrated;
        f.truePeakL = c.peakL;
        f.truePeakR = c.peakR;
        ChooseTargetGain(t, f);
        EXPECT_NEAR(t.gainDb, c.gain, 1e-12) << c.name;
        EXPECT_EQ(t.capped, c.capped) << c.name;
        EXPECT_EQ(t.silent, c.silent) << c.name;
        EXPECT_EQ(t.measured, c.integrated) << c.name;
        EXPECT_EQ(t.measuredPeak, std::max(c.peakL, c.peakR)) << c.name;
        if (!c.silent) {
            EXPECT_NEAR(ReachedLoudness(t), c.integrated + c.gain, 1e-12) << c.name;
        }
        EXPECT_NEAR(TargetGainFactor(t), std::pow(10.0, c.gain / 20.0), 1e-15) << c.name;
    }
    LoudnessTarget none;
    EXPECT_EQ(TargetGainFactor(none), 1.0);
}
