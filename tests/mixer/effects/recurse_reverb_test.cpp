#include "mixer/effects/recurse_reverb.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "mixer/utilities/limits.hpp"
#include "reverb_harness.hpp"

using namespace varnel;
using reverbtest::Impulse;

namespace {

// Drives the reverb the way the mixing loop does: the carry of one block
// becomes the start of the next block's return.
struct RoomRun {
    RoomReverbState st;
    int firstUse = 1;
    reverbtest::Room room;
    float width = 50.0f;
    reverbtest::ReturnBuffers buf;
    std::vector<int32_t> outL, outR;  // the returns of all blocks, in order

    int Block(const std::vector<double>& inL, const std::vector<double>& inR) {
        buf.NextBlock();
        const int n = int(inL.size());
        const int rc = RecurseReverb(st, firstUse, n, 44100, inL.data(), inR.data(), room.size,
                                     buf.carryL.data(), buf.carryR.data(), buf.retL.data(),
                                     buf.retR.data(), room.x, room.y, room.z, width);
        outL.insert(outL.end(), buf.retL.begin(), buf.retL.begin() + n);
        outR.insert(outR.end(), buf.retR.begin(), buf.retR.begin() + n);
        return rc;
    }
};

// The default room at 44100 Hz, from the geometry formulas.
constexpr int kD[6] = {1844, 1046, 1386, 1082, 741, 1159};  // front, left, right, rear, floor, ceiling

int Pair(int a, int b) { return int(std::sqrt(double(a) * a + double(b) * b)); }

}  // namespace

TEST(RoomReverb, DefaultGeometry) {
    RoomRun r;
    const std::vector<double> zero(kBlockFrames, 0.0);
    ASSERT_EQ(r.Block(zero, zero), 0);
    EXPECT_EQ(r.firstUse, 0);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(r.st.dist[k], kD[k]) << k;
    EXPECT_EQ(r.st.pair[kFront][kRightWall], 2306);  // the longest pair delay
    int longest = 0;
    for (int j = 0; j < 6; ++j)
        for (int k = 0; k < 6; ++k) {
            if (j != k) {
                EXPECT_EQ(r.st.pair[j][k], Pair(kD[j], kD[k])) << j << "," << k;
            }
            longest = std::max(longest, r.st.pair[j][k]);
        }
    EXPECT_EQ(longest, 2306);
    EXPECT_FLOAT_EQ(r.st.width, 0.5f);
}

TEST(RoomReverb, ImpulseEchoPattern) {
    const int n = 8000;
    const double a = 6000000.0;
    RoomRun r;
    ASSERT_EQ(r.Block(Impulse(n, 0, a), Impulse(n, 0, 0.0)), 0);
    const int32_t s = int32_t(0.25 * a), gs = int32_t(0.5 * 0.25 * a);
    // First arrivals of the left-fed surfaces (front, left wall, floor).
    EXPECT_EQ(r.outL[741], gs);
    EXPECT_EQ(r.outR[741], s);
    EXPECT_EQ(r.outL[1046], s);
    EXPECT_EQ(r.outR[1046], 0);
    EXPECT_EQ(r.outL[1844], gs);
    EXPECT_EQ(r.outR[1844], s);

    // The earliest echo through the network: a sixth of a left-fed surface
    // reaching another surface after their pair delay, heard after that
    // surface's own distance.
    const int fedByLeft[3] = {0, 1, 4};
    int earliest = 1 << 30, hits = 0, via = -1;
    for (int k : fedByLeft)
        for (int j = 0; j < 6; ++j) {
            if (j == k) continue;
            const int t = Pair(kD[j], kD[k]) + kD[j];
            if (t < earliest) { earliest = t; hits = 0; via = j; }
            if (t == earliest) ++hits;
        }
    ASSERT_EQ(earliest, 2022);  // left wall to floor, 1281, heard after 741
    ASSERT_EQ(hits, 1);
    ASSERT_EQ(via, int(kFloor));
    const double v = std::trunc(a / 6.0);
    EXPECT_EQ(r.outL[earliest], int32_t(0.5 * 0.25 * v));
    EXPECT_EQ(r.outR[earliest], int32_t(0.25 * v));

    for (int i = 0; i < earliest; ++i) {
        if (i == 741 || i == 1046 || i == 1844) continue;
        ASSERT_EQ(r.outL[i], 0) << i;
        ASSERT_EQ(r.outR[i], 0) << i;
    }
}

TEST(RoomReverb, WidthExtremes) {
    struct Case { float width; int32_t floorL, floorR, rearL, rearR; };
    const double a = 4000000.0;  // into both inputs
    const Case cases[] = {
        {100.0f, 0, 1000000, 1000000, 0},
        {0.0f, 1000000, 1000000, 1000000, 1000000},
        {150.0f, 0, 1000000, 1000000, 0},
        {-5.0f, 1000000, 1000000, 1000000, 1000000},
    };
    for (const Case& c : cases) {
        RoomRun r;
        r.width = c.width;
        ASSERT_EQ(r.Block(Impulse(3000, 0, a), Impulse(3000, 0, a)), 0);
        EXPECT_EQ(r.outL[741], c.floorL) << c.width;
        EXPECT_EQ(r.outR[741], c.floorR) << c.width;
        EXPECT_EQ(r.outL[1082], c.rearL) << c.width;
        EXPECT_EQ(r.outR[1082], c.rearR) << c.width;
    }
}

TEST(RoomReverb, ZeroSendIsExactlySilent) {
    RoomRun r;
    const std::vector<double> zero(kBlockFrames, 0.0);
    ASSERT_EQ(r.Block(zero, zero), 0);
    ASSERT_EQ(r.Block(zero, zero), 0);
    for (size_t i = 0; i < r.outL.size(); ++i) {
        ASSERT_EQ(r.outL[i], 0);
        ASSERT_EQ(r.outR[i], 0);
    }
}

TEST(RoomReverb, TailCrossesBlockBoundary) {
    // The same impulse placed early in a block and just before a block's end
    // must give the same response, frame for frame, across the boundary.
    const double a = 5000000.0;
    const int early = 100, late = kBlockFrames - 300;
    const int span = 30000;
    RoomRun one, two;
    ASSERT_EQ(one.Block(Impulse(kBlockFrames, early, a), Impulse(kBlockFrames, early, -a / 2)), 0);
    std::vector<double> zero(kBlockFrames, 0.0);
    ASSERT_EQ(two.Block(Impulse(kBlockFrames, late, a), Impulse(kBlockFrames, late, -a / 2)), 0);
    ASSERT_EQ(two.Block(zero, zero), 0);
    for (int t = 0; t < span; ++t) {
        ASSERT_EQ(two.outL[size_t(late + t)], one.outL[size_t(early + t)]) << t;
        ASSERT_EQ(two.outR[size_t(late + t)], one.outR[size_t(early + t)]) << t;
    }
}

TEST(RoomReverb, ZeroRoomAddsWithoutDelay) {
    RoomRun r;
    r.room.size = 0.0f;
    ASSERT_EQ(r.Block(Impulse(4, 0, 6000000.0), Impulse(4, 0, 0.0)), 0);
    // Front, left wall and floor hold 6e6 + 2 x 1e6; rear, right wall and
    // ceiling 3 x 1e6; heard at 0.25 with the width factor 0.5 where it applies.
    EXPECT_EQ(r.outL[0], 1000000 + 750000 + 1000000 + 750000 + 2000000);
    EXPECT_EQ(r.outR[0], 2000000 + 375000 + 2000000 + 375000 + 750000);
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(r.outL[size_t(i)], 0);
        EXPECT_EQ(r.outR[size_t(i)], 0);
    }
}

TEST(RoomReverb, FatalSetUps) {
    struct Case { reverbtest::Room room; int n; int rc; const char* message; };
    const Case cases[] = {
        {{4260.0f, 37, 39, 43}, kBlockFrames, 0, ""},
        {{4261.0f, 37, 39, 43}, kBlockFrames, 1, "Please reduce room size in reverb!\n"},
        {{75.0f, 37, 39, 43}, 2306, 1, "Please reduce room size in reverb!\n"},  // mix shorter than d13
        {{75.0f, 37, 39, 43}, 2307, 0, ""},
        {{75.0f, -1, 39, 43}, kBlockFrames, 1, "Illegal value for reverb position parameter\n"},
        {{75.0f, 37, -1, 43}, kBlockFrames, 1, "Illegal value for reverb position parameter\n"},
        {{75.0f, 37, 39, NAN}, kBlockFrames, 1, "Illegal value for reverb position parameter\n"},
        {{-1.0f, 37, 39, 43}, kBlockFrames, 1, "Illegal value for reverb room size\n"},
        {{NAN, 37, 39, 43}, kBlockFrames, 1, "Illegal value for reverb room size\n"},
        {{INFINITY, 37, 39, 43}, kBlockFrames, 1, "Please reduce room size in reverb!\n"},
    };
    for (const Case& c : cases) {
        RoomRun r;
        r.room = c.room;
        std::vector<double> zero(size_t(c.n), 0.0);
        testing::internal::CaptureStdout();
        const int rc = r.Block(zero, zero);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message) << c.room.size;
        EXPECT_EQ(rc, c.rc) << c.room.size;
        EXPECT_EQ(r.firstUse, c.rc) << c.room.size;  // set-up stays due after a failure
    }
}

TEST(RoomReverb, SumsSaturateAndNanSendsAreSilent) {
    RoomRun r;
    r.room.size = 0.0f;
    r.buf.carryL[0] = INT32_MAX - 10;  // becomes the start of this block's return
    r.buf.carryR[0] = INT32_MIN;
    std::vector<double> left = Impulse(3, 0, 6000000.0), right = Impulse(3, 0, 0.0);
    left[1] = NAN;
    right[2] = NAN;
    ASSERT_EQ(r.Block(left, right), 0);
    EXPECT_EQ(r.outL[0], INT32_MAX);
    EXPECT_EQ(r.outR[0], INT32_MIN + 5500000);
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(r.outL[size_t(i)], 0);
        EXPECT_EQ(r.outR[size_t(i)], 0);
    }
}
