#include "mixer/utilities/text/value_checks.hpp"

#include <gtest/gtest.h>

using namespace varnel;

TEST(ValueChecks, SampleCountLimits) {
    struct Case { int in, code, out; } cases[] = {
        {0, 10, 1},      {-5, 10, 1},      {88201, 10, 88200}, {441, 10, 441},
        {9, 11, 10},     {-3, 11, 10},     {10, 11, 10},       {300000, 11, 220500},
        {7, 99, 7},
    };
    for (auto c : cases) {
        int v = c.in;
        checkValL(v, c.code, 44100.0);
        EXPECT_EQ(v, c.out) << c.in << " code " << c.code;
    }
}

TEST(ValueChecks, DoubleRanges) {
    struct Case { double in; int code; double out; } cases[] = {
        {0.0, 12, 1.0},      {60.0, 12, 50.0},    {4.0, 12, 4.0},
        {30000.0, 20, 22050.0}, {0.0, 20, 1.0},   {-5.0, 20, 1.0},
        {20.0, 21, 15.0},    {-16.0, 21, -15.0},  {0.0, 22, 0.01},
        {150.0, 22, 100.0},  {123.0, 5, 123.0},
    };
    for (auto c : cases) {
        double v = c.in;
        checkValD(v, c.code, 44100.0);
        EXPECT_DOUBLE_EQ(v, c.out) << c.in << " code " << c.code;
    }
}

TEST(ValueChecks, PositionPercent) {
    float a = 120.0f, b = -1.0f, c = 42.5f;
    checkValF(a, 100);
    checkValF(b, 100);
    checkValF(c, 100);
    EXPECT_EQ(a, 100.0f);
    EXPECT_EQ(b, 0.0f);
    EXPECT_EQ(c, 42.5f);
}

TEST(ValueChecks, SlotOutOfRangePrints) {
    testing::internal::CaptureStdout();
    int a = 200, b = -1, c = 135, d = 0;
    checkValI(a, 1);
    checkValI(b, 1);
    checkValI(c, 1);
    checkValI(d, 1);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(a, 135);
    EXPECT_EQ(b, 135);
    EXPECT_EQ(c, 135);
    EXPECT_EQ(d, 0);
    EXPECT_EQ(out, ">>Channel number out of range or not specified!\n"
                   ">>Channel number out of range or not specified!\n");
}

TEST(ValueChecks, LevelRanges) {
    struct Case { double in; int code; double out; int ret; } thresh[] = {
        {3.0, 0, 0.0, 1}, {-200.0, 0, -144.0, 1}, {120.0, 1, 100.0, 1}, {-1.0, 1, 0.0, 1},
        {7.0, 2, 7.0, 0},
    };
    for (auto c : thresh) {
        double v = c.in;
        EXPECT_EQ(CheckThresh(v, c.code), c.ret);
        EXPECT_DOUBLE_EQ(v, c.out);
    }
    Case snd[] = {
        {13.0, 0, 12.02, 1}, {-150.0, 0, -144.0, 1}, {500.0, 1, 400.0, 1}, {-2.0, 1, 0.0, 1},
        {9.0, 3, 9.0, 0},
    };
    for (auto c : snd) {
        double v = c.in;
        EXPECT_EQ(CheckSndRtn(v, c.code), c.ret);
        EXPECT_DOUBLE_EQ(v, c.out);
    }
}
