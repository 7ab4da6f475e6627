#include "mixer/effects/discrete_reverb.hpp"

#include <algorithm>
#include <cstdio>

#include "mixer/effects/room_geometry.hpp"

namespace varnel {

namespace {

constexpr int64_t kMaxDimension = 32768;

// The room distance that belongs to each tap table.
constexpr int kOwnDistance[kTapSurfaces] = {kLeftWall, kRightWall, kFront, kRear, kCeiling, kFloor};

int Fail(const char* message) {
    std::puts(message);
    std::fflush(stdout);
    return 1;
}

int SetUpTaps(TapReverbState& st, int capacity, uint32_t rate, float roomSize, int& tapCount,
              float x, float y, float z) {
    if (tapCount > kMaxTaps) tapCount = kMaxTaps;
    if (tapCount <= 0) tapCount = 1;
    const int taps = tapCount;
    if (!PositionIsLegal(x) || !PositionIsLegal(y) || !PositionIsLegal(z))
        return Fail(">>> Error:  Illegal value for reverb position parameter");
    if (!RoomSizeIsLegal(roomSize)) return Fail(">>> Error:  Illegal value for tap reverb room size");

    int64_t room[kSurfaces];
    RoomDistances(rate, roomSize, x, y, z, room);
    for (int64_t d : room)
        if (d > kMaxDimension) return Fail(">>> Error: A tap reverb dimension has exceeded the limit");

    // Distances in tap-table order, and the pair distances in single precision.
    int64_t own[kTapSurfaces];
    for (int a = 0; a < kTapSurfaces; ++a) own[a] = room[kOwnDistance[a]];
    float pair[kTapSurfaces][kTapSurfaces];
    for (int a = 0; a < kTapSurfaces; ++a)
        for (int b = 0; b < kTapSurfaces; ++b) pair[a][b] = float(PairDistance(own[a], own[b]));

    // First taps go there and back; each later tap of a surface continues the
    // previous tap of the surface `pattern` steps further round the cycle
    // left, right, front, rear, ceiling, floor.
    for (int a = 0; a < kTapSurfaces; ++a) st.delay[a][0] = int32_t(2 * own[a]);
    for (int t = 1; t < taps; ++t) {
        const int pattern = (t - 1) % 5 + 1;
        for (int a = 0; a < kTapSurfaces; ++a) {
            const int from = (a + pattern) % kTapSurfaces;
            st.delay[a][t] =
                int32_t(double(st.delay[from][t - 1]) + double(own[a]) + double(pair[a][from]));
        }
    }

    // Each tap's largest delay exceeds the one before, so the last tap bounds all.
    int64_t longest = 0;
    for (int a = 0; a < kTapSurfaces; ++a) longest = std::max<int64_t>(longest, st.delay[a][taps - 1]);
    if (longest >= capacity) {
        const double m = double(std::max<int64_t>(longest, 1));
        const int suggestedTaps = int(double(taps) * capacity / m - 1.0);
        const float suggestedSize = roomSize * float(capacity) / float(m) - 1.0f;
        std::printf(">>> Error:  Please decrease reverb tap number to %i or room length to %.0f feet\n",
                    suggestedTaps, double(suggestedSize));
        std::fflush(stdout);
        return 1;
    }
    for (int t = 0; t < taps; ++t) st.atten[t] = 1.0 / double(int64_t(1) << (t + 1));
    st.taps = taps;
    return 0;
}

}  // namespace

int CheckTapReverb(int capacity, uint32_t rate, float roomSize, int tapCount, float x, float y,
                   float z) {
    TapReverbState plan;
    return SetUpTaps(plan, capacity, rate, roomSize, tapCount, x, y, z);
}

int DiscreteReverb(TapReverbState& st, int capacity, int& firstUse, int n, uint32_t rate,
                   const double* inL, const double* inR, float roomSize, int32_t* carryL,
                   int32_t* carryR, int32_t* retL, int32_t* retR, int& tapCount, float x, float y,
                   float z) {
    if (firstUse == 1) {
        if (SetUpTaps(st, capacity, rate, roomSize, tapCount, x, y, z) != 0) return 1;
        firstUse = 0;
    }
    n = std::clamp(n, 0, std::max(capacity, 0));
    for (int i = 0; i < n; ++i) {
        for (int t = 0; t < st.taps; ++t) {
            const double aL = inL[i] * st.atten[t];
            const double aR = inR[i] * st.atten[t];
            AddAt(retL, carryL, n, capacity, int64_t(i) + st.delay[kTapLeft][t], aL);
            AddAt(retR, carryR, n, capacity, int64_t(i) + st.delay[kTapRight][t], aR);
            for (int a : {kTapFloor, kTapCeiling, kTapFront, kTapRear}) {
                const int64_t target = int64_t(i) + st.delay[a][t];
                AddAt(retL, carryL, n, capacity, target, aL);
                AddAt(retR, carryR, n, capacity, target, aR);
            }
        }
    }
    return 0;
}

}  // namespace varnel
