#include <gtest/gtest.h>

#include <cfloat>

#include "adjuster/operations.hpp"
#include "model_helpers.hpp"

using namespace ostrand;
using adjustertest::Parse;

namespace {

const char* kTwoChannels =
    "begin\nt\t10\nv\t2\t-3\nrmp\t1.5\nt\t20.25\nv\t2\t-6\nt\t-4\nv\tG\t1\t0\n";

}  // namespace

TEST(FindTimes, FirstAndLast) {
    auto m = Parse(kTwoChannels, 1);
    float last = FindMax(m->times, m->counts);
    EXPECT_EQ(last, 20.25f);
    EXPECT_EQ(FindMin(m->times, m->counts, last), -4.0f);
}

TEST(FindTimes, EmptyAndAllNegative) {
    auto empty = Parse("begin\nend\n", 3);
    EXPECT_EQ(FindMax(empty->times, empty->counts), 0.0f);
    EXPECT_EQ(FindMin(empty->times, empty->counts, 0.0f), 0.0f);
    auto negative = Parse("begin\nt\t-3\nv\t1\t0\nt\t-1\nv\t1\t0\n", 1);
    float last = FindMax(negative->times, negative->counts);
    EXPECT_EQ(last, 0.0f);
    EXPECT_EQ(FindMin(negative->times, negative->counts, last), -3.0f);
}

TEST(MoveTimes, ShiftsTimesNotRamps) {
    auto m = Parse(kTwoChannels, 1);
    MoveTimes(m->times, m->counts, 1.5f);
    EXPECT_EQ(m->times[2][0], 11.5f);
    EXPECT_EQ(m->times[2][1], 21.75f);
    EXPECT_EQ(m->times[kMasterSlot + 1][0], -2.5f);
    EXPECT_EQ(m->ramps[2][0], 1.5f);
    EXPECT_EQ(m->times[2][2], 0.0f);  // uncounted cells stay untouched
}

TEST(MoveTimes, AddsInDoubleAndStoresFloat) {
    auto m = Parse("begin\nt\t0.1\nv\t1\t0\n", 1);
    MoveTimes(m->times, m->counts, 0.2f);
    EXPECT_EQ(m->times[1][0], static_cast<float>(static_cast<double>(0.1f) + 0.2f));
}

TEST(MoveTimes, HugeValuesStayFinite) {
    auto m = Parse("begin\nt\t1e38\nv\t1\t0\n", 1);
    MoveTimes(m->times, m->counts, 3e38f);
    EXPECT_EQ(m->times[1][0], FLT_MAX);
}

TEST(ScaleTimes, ScalesTimesAndRamps) {
    auto m = Parse(kTwoChannels, 1);
    ScaleTimes(m->times, m->ramps, m->counts, 2.0f);
    EXPECT_EQ(m->times[2][0], 20.0f);
    EXPECT_EQ(m->times[2][1], 40.5f);
    EXPECT_EQ(m->times[kMasterSlot + 1][0], -8.0f);
    EXPECT_EQ(m->ramps[2][0], 3.0f);
    EXPECT_EQ(m->ramps[2][1], 0.0f);
}

TEST(AdjustVolumes, AddsToEveryLevel) {
    auto m = Parse(kTwoChannels, 1);
    AdjustVolumes(m->levels, m->counts, -1.25f);
    EXPECT_EQ(m->levels[2][0], -4.25f);
    EXPECT_EQ(m->levels[2][1], -7.25f);
    EXPECT_EQ(m->levels[kMasterSlot + 1][0], -1.25f);
    EXPECT_EQ(m->times[2][0], 10.0f);
}
