#include "mixer/effects/discrete_reverb.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "mixer/utilities/limits.hpp"
#include "reverb_harness.hpp"

using namespace varnel;
using reverbtest::Impulse;

namespace {

struct TapRun {
    TapReverbState st;
    int firstUse = 1;
    int taps = 1;
    int capacity = kBlockFrames;
    reverbtest::Room room;
    reverbtest::ReturnBuffers buf;

    int Block(const std::vector<double>& inL, const std::vector<double>& inR) {
        buf.NextBlock();
        return DiscreteReverb(st, capacity, firstUse, int(inL.size()), 44100, inL.data(),
                              inR.data(), room.size, buf.carryL.data(), buf.carryR.data(),
                              buf.retL.data(), buf.retR.data(), taps, room.x, room.y, room.z);
    }
};

// Default room at 44100 Hz: front, left, right, rear, floor, ceiling distances.
constexpr int kFront = 1844, kLeft = 1046, kRight = 1386, kRear = 1082, kFloorD = 741, kCeil = 1159;

// The tap chains written out from the table of source surfaces, in the order
// left, right, front, rear, ceiling, floor.
std::vector<std::vector<int>> ExpectedTaps(int n) {
    const int d[6] = {kLeft, kRight, kFront, kRear, kCeil, kFloorD};
    const int source[5][6] = {
        {1, 2, 3, 4, 5, 0},  // right, front, rear, ceiling, floor, left
        {2, 3, 4, 5, 0, 1},  // front, rear, ceiling, floor, left, right
        {3, 4, 5, 0, 1, 2},  // rear, ceiling, floor, left, right, front
        {4, 5, 0, 1, 2, 3},  // ceiling, floor, left, right, front, rear
        {5, 0, 1, 2, 3, 4},  // floor, left, right, front, rear, ceiling
    };
    std::vector<std::vector<int>> taps(6, std::vector<int>(size_t(n)));
    for (int a = 0; a < 6; ++a) taps[size_t(a)][0] = 2 * d[a];
    for (int t = 1; t < n; ++t)
        for (int a = 0; a < 6; ++a) {
            const int b = source[(t - 1) % 5][a];
            const float pair = float(std::sqrt(double(d[a]) * d[a] + double(d[b]) * d[b]));
            taps[size_t(a)][size_t(t)] = int(double(taps[size_t(b)][size_t(t - 1)]) + d[a] + double(pair));
        }
    return taps;
}

}  // namespace

TEST(TapReverb, DefaultRoomOneTap) {
    TapRun r;
    const double a = 3000000.0;
    ASSERT_EQ(r.Block(Impulse(6000, 0, a), Impulse(6000, 0, -a)), 0);
    EXPECT_EQ(r.firstUse, 0);
    struct Tap { int frame; int32_t left, right; };
    const int32_t h = 1500000;
    const Tap expected[] = {
        {1482, h, -h},  // floor
        {2092, h, 0},   // left wall
        {2164, h, -h},  // rear
        {2318, h, -h},  // ceiling
        {2772, 0, -h},  // right wall
        {3688, h, -h},  // front
    };
    size_t next = 0;
    for (int i = 0; i < 6000; ++i) {
        if (next < std::size(expected) && expected[next].frame == i) {
            EXPECT_EQ(r.buf.retL[size_t(i)], expected[next].left) << i;
            EXPECT_EQ(r.buf.retR[size_t(i)], expected[next].right) << i;
            ++next;
        } else {
            ASSERT_EQ(r.buf.retL[size_t(i)], 0) << i;
            ASSERT_EQ(r.buf.retR[size_t(i)], 0) << i;
        }
    }
}

TEST(TapReverb, ElevenTapChains) {
    TapRun r;
    r.taps = 11;
    const std::vector<double> zero(kBlockFrames, 0.0);
    ASSERT_EQ(r.Block(zero, zero), 0);
    EXPECT_EQ(r.st.delay[kTapLeft][1], 5554);  // 2772 + 1046 + 1736.4
    const auto taps = ExpectedTaps(11);
    int largest = 0;
    for (int a = 0; a < kTapSurfaces; ++a) {
        for (int t = 0; t < 11; ++t) EXPECT_EQ(r.st.delay[a][t], taps[size_t(a)][size_t(t)]) << a << "," << t;
        largest = std::max(largest, r.st.delay[a][10]);
    }
    EXPECT_EQ(largest, 35365);
    for (int t = 0; t < 11; ++t) EXPECT_EQ(r.st.atten[t], std::ldexp(1.0, -(t + 1)));
}

TEST(TapReverb, TapCountLimits) {
    struct Case { int given, used; };
    const Case cases[] = {{20, 11}, {12, 11}, {11, 11}, {5, 5}, {1, 1}, {0, 1}, {-4, 1}};
    for (const Case& c : cases) {
        TapRun r;
        r.taps = c.given;
        const std::vector<double> zero(16, 0.0);
        ASSERT_EQ(r.Block(zero, zero), 0);
        EXPECT_EQ(r.taps, c.used) << c.given;
        EXPECT_EQ(r.st.taps, c.used) << c.given;
    }
}

TEST(TapReverb, TailGoesToTheCarry) {
    // A short block: taps beyond its end land in the carry, at frame - n.
    TapRun r;
    const int n = 2000;
    ASSERT_EQ(r.Block(Impulse(n, 10, 1000.0), Impulse(n, 10, 1000.0)), 0);
    EXPECT_EQ(r.buf.retL[1492], 500);
    EXPECT_EQ(r.buf.carryL[2102 - n], 500);
    EXPECT_EQ(r.buf.carryR[2782 - n], 500);
    EXPECT_EQ(r.buf.carryL[3698 - n], 500);
    EXPECT_EQ(r.buf.retL[2102], 0);  // never past the block in the return
}

TEST(TapReverb, FatalSetUps) {
    struct Case { reverbtest::Room room; std::string message; };
    std::vector<Case> cases = {
        {{1333.0f, 37, 39, 43}, ">>> Error: A tap reverb dimension has exceeded the limit\n"},
        {{1332.0f, 37, 39, 43}, ""},
        {{75.0f, -1, 39, 43}, ">>> Error:  Illegal value for reverb position parameter\n"},
        {{75.0f, 37, 39, -0.5f}, ">>> Error:  Illegal value for reverb position parameter\n"},
        {{75.0f, 37, NAN, 43}, ">>> Error:  Illegal value for reverb position parameter\n"},
        {{-75.0f, 37, 39, 43}, ">>> Error:  Illegal value for tap reverb room size\n"},
        {{INFINITY, 37, 39, 43}, ">>> Error: A tap reverb dimension has exceeded the limit\n"},
    };
    for (const Case& c : cases) {
        TapRun r;
        r.room = c.room;
        const std::vector<double> zero(16, 0.0);
        testing::internal::CaptureStdout();
        const int rc = r.Block(zero, zero);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message) << c.room.size;
        EXPECT_EQ(rc, c.message.empty() ? 0 : 1) << c.room.size;
        EXPECT_EQ(r.firstUse, c.message.empty() ? 0 : 1) << c.room.size;
    }
}

TEST(TapReverb, LastTapMustLandBeforeTheCapacity) {
    // One tap in the default room: the longest delay is 2 x 1844 = 3688.
    for (int capacity : {3688, 3689}) {
        TapRun r;
        r.capacity = capacity;
        const std::vector<double> zero(16, 0.0);
        testing::internal::CaptureStdout();
        EXPECT_EQ(r.Block(zero, zero), capacity == 3688 ? 1 : 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  capacity == 3688
                      ? ">>> Error:  Please decrease reverb tap number to 0 or room length to 74 feet\n"
                      : "");
    }
}

TEST(TapReverb, TapNumberMessage) {
    TapRun r;
    r.room.size = 300.0f;
    r.taps = 11;
    const std::vector<double> zero(16, 0.0);
    testing::internal::CaptureStdout();
    const int rc = r.Block(zero, zero);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(rc, 1);
    int m = 0;
    for (int a = 0; a < kTapSurfaces; ++a) m = std::max(m, r.st.delay[a][10]);
    ASSERT_GE(m, kBlockFrames);
    char expected[200];
    std::snprintf(expected, sizeof expected,
                  ">>> Error:  Please decrease reverb tap number to %i or room length to %.0f feet\n",
                  int(11.0 * 131072 / m - 1), double(300.0f * 131072.0f / float(m) - 1.0f));
    EXPECT_EQ(out, expected);
    // The last tap reaches about 141,000 samples: nine taps or a room of
    // about 277 feet are suggested.
    EXPECT_TRUE(out.find("tap number to 9 or room length to 27") != std::string::npos) << out;
}
