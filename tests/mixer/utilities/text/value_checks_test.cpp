#include "mixer/utilities/text/value_checks.hpp"

#include <gtest/gtest.h>

using namespace varnel;

// Each clamp at its first value refused below, its lowest and highest kept
// values and its first value refused above (rate 44100).
TEST(ValueChecks, SampleCountLimits) {
    struct Case { void (*clamp)(int&, double); int in, out; } cases[] = {
        {ClampAttackSamples, 0, 1},          {ClampAttackSamples, -5, 1},
        {ClampAttackSamples, 1, 1},          {ClampAttackSamples, 88200, 88200},
        {ClampAttackSamples, 88201, 88200},  {ClampAttackSamples, 441, 441},
        {ClampReleaseSamples, 9, 10},        {ClampReleaseSamples, -3, 10},
        {ClampReleaseSamples, 10, 10},       {ClampReleaseSamples, 11, 11},
        {ClampReleaseSamples, 220500, 220500}, {ClampReleaseSamples, 300000, 220500},
    };
    for (auto c : cases) {
        int v = c.in;
        c.clamp(v, 44100.0);
        EXPECT_EQ(v, c.out) << c.in;
    }
}

TEST(ValueChecks, DoubleRanges) {
    struct Case { void (*clamp)(double&); double in, out; } cases[] = {
        {ClampRatio, 0.0, 1.0},      {ClampRatio, 60.0, 50.0},   {ClampRatio, 4.0, 4.0},
        {ClampRatio, 50.0, 50.0},    {ClampEqGain, 20.0, 15.0},  {ClampEqGain, -16.0, -15.0},
        {ClampEqGain, 15.0, 15.0},   {ClampEqGain, -15.0, -15.0}, {ClampEqQ, 0.0, 0.01},
        {ClampEqQ, 150.0, 100.0},    {ClampEqQ, 0.01, 0.01},
    };
    for (auto c : cases) {
        double v = c.in;
        c.clamp(v);
        EXPECT_DOUBLE_EQ(v, c.out) << c.in;
    }
    struct Rated { double in, out; } freqs[] = {{30000.0, 22050.0}, {0.0, 1.0}, {-5.0, 1.0},
                                                 {22050.0, 22050.0}, {1.0, 1.0}};
    for (auto c : freqs) {
        double v = c.in;
        ClampDesignFrequency(v, 44100.0);
        EXPECT_DOUBLE_EQ(v, c.out) << c.in;
    }
}

TEST(ValueChecks, PositionPercent) {
    float a = 120.0f, b = -1.0f, c = 42.5f;
    ClampPercent(a);
    ClampPercent(b);
    ClampPercent(c);
    EXPECT_EQ(a, 100.0f);
    EXPECT_EQ(b, 0.0f);
    EXPECT_EQ(c, 42.5f);
}

TEST(ValueChecks, SlotOutOfRange) {
    struct Case { int in, out; bool clamped; } cases[] = {
        {200, 135, true}, {136, 135, true}, {-1, 135, true}, {135, 135, false}, {0, 0, false},
    };
    for (auto c : cases) {
        int v = c.in;
        EXPECT_EQ(ClampSlot(v), c.clamped) << c.in;
        EXPECT_EQ(v, c.out) << c.in;
    }
}

TEST(ValueChecks, LevelRanges) {
    struct Case { void (*clamp)(double&, bool); double in; bool percent; double out; } cases[] = {
        {ClampThreshold, 3.0, false, 0.0},      {ClampThreshold, -200.0, false, -144.0},
        {ClampThreshold, 120.0, true, 100.0},   {ClampThreshold, -1.0, true, 0.0},
        {ClampSendLevel, 13.0, false, 12.02},   {ClampSendLevel, -150.0, false, -144.0},
        {ClampSendLevel, 500.0, true, 400.0},   {ClampSendLevel, -2.0, true, 0.0},
        {ClampSendLevel, 12.02, false, 12.02},  {ClampSendLevel, 400.0, true, 400.0},
    };
    for (auto c : cases) {
        double v = c.in;
        c.clamp(v, c.percent);
        EXPECT_DOUBLE_EQ(v, c.out) << c.in;
    }
}
