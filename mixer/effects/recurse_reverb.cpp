#include "mixer/effects/recurse_reverb.hpp"

#include <algorithm>
#include <cstdio>

#include "mixer/utilities/limits.hpp"

namespace varnel {

namespace {

// Left-fed surfaces take the left input, the others the right.
constexpr bool kFedByLeft[kSurfaces] = {true, true, false, false, true, false};

// How each surface is heard: its delay is its own distance; 'g' marks the side
// that gets the width factor, 1 the full side, 0 nothing.
struct Voicing {
    int surface;
    char left;
    char right;
};
constexpr Voicing kVoicing[kSurfaces] = {
    {kFront, 'g', '1'}, {kRear, '1', 'g'},     {kFloor, 'g', '1'},
    {kCeiling, '1', 'g'}, {kLeftWall, '1', '0'}, {kRightWall, '0', '1'},
};

double SideFactor(char side, float g) {
    if (side == 'g') return double(g);
    return side == '1' ? 1.0 : 0.0;
}

float WidthFactor(float w) {
    if (w > 100.0f) return 0.0f;
    if (w < 0.0f) return 1.0f;
    if (w != w) return 0.5f;  // not a number: the default width of 50
    return (100.0f - w) / 100.0f;
}

// The room's distances and width; returns 1 after the message when the room
// cannot be built. Allocates nothing.
int PlanRoom(RoomReverbState& st, int n, uint32_t rate, float roomSize, float x, float y, float z,
             float width) {
    if (!PositionIsLegal(x) || !PositionIsLegal(y) || !PositionIsLegal(z)) {
        std::puts("Illegal value for reverb position parameter");
        std::fflush(stdout);
        return 1;
    }
    if (!RoomSizeIsLegal(roomSize)) {
        std::puts("Illegal value for reverb room size");
        std::fflush(stdout);
        return 1;
    }
    int64_t d[kSurfaces];
    RoomDistances(rate, roomSize, x, y, z, d);
    int64_t pair[kSurfaces][kSurfaces] = {};
    int64_t longest = 0;
    for (int j = 0; j < kSurfaces; ++j) {
        longest = std::max(longest, d[j]);
        for (int k = j + 1; k < kSurfaces; ++k) {
            pair[j][k] = pair[k][j] = int64_t(PairDistance(d[j], d[k]));
            longest = std::max(longest, pair[j][k]);
        }
    }
    // Every delay must land within the next block's spill and carry.
    if (longest >= n) {
        std::puts("Please reduce room size in reverb!");
        std::fflush(stdout);
        return 1;
    }
    for (int j = 0; j < kSurfaces; ++j) {
        st.dist[j] = int32_t(d[j]);
        for (int k = 0; k < kSurfaces; ++k) st.pair[j][k] = int32_t(pair[j][k]);
    }
    st.width = WidthFactor(width);
    return 0;
}

// Builds the room; returns 1 after the message when it cannot be.
int SetUpRoom(RoomReverbState& st, int n, uint32_t rate, float roomSize, float x, float y,
              float z, float width) {
    if (PlanRoom(st, n, rate, roomSize, x, y, z, width) != 0) return 1;
    for (int k = 0; k < kSurfaces; ++k) {
        st.surf[k].assign(kBlockFrames, 0);
        st.spill[k].assign(kBlockFrames, 0);
    }
    return 0;
}

}  // namespace

int CheckRoomReverb(int n, uint32_t rate, float roomSize, float x, float y, float z) {
    RoomReverbState plan;
    return PlanRoom(plan, std::clamp(n, 0, kBlockFrames), rate, roomSize, x, y, z, 50.0f);
}

int RecurseReverb(RoomReverbState& st, int& firstUse, int n, uint32_t rate, const double* inL,
                  const double* inR, float roomSize, int32_t* carryL, int32_t* carryR,
                  int32_t* retL, int32_t* retR, float x, float y, float z, float width) {
    n = std::clamp(n, 0, kBlockFrames);
    if (firstUse == 1) {
        if (SetUpRoom(st, n, rate, roomSize, x, y, z, width) != 0) return 1;
        firstUse = 0;
    }
    if (st.surf[0].size() != size_t(kBlockFrames)) return 0;  // never set up: nothing to add

    // Input: the spill of the previous block plus this block's send.
    for (int k = 0; k < kSurfaces; ++k) {
        const double* in = kFedByLeft[k] ? inL : inR;
        int32_t* s = st.surf[k].data();
        int32_t* sp = st.spill[k].data();
        for (int i = 0; i < n; ++i) {
            s[i] = TruncToInt32(double(sp[i]) + in[i]);
            sp[i] = 0;
        }
    }

    // Network: every surface passes a sixth of its signal to each other one,
    // later in this block or into the spill.
    for (int i = 0; i < n; ++i) {
        int32_t v[kSurfaces];
        for (int k = 0; k < kSurfaces; ++k) v[k] = TruncToInt32(st.surf[k][i] * 0.16666666666666666);
        for (int j = 0; j < kSurfaces; ++j) {
            for (int k = 0; k < kSurfaces; ++k) {
                if (k == j) continue;
                const int64_t target = int64_t(i) + st.pair[j][k];
                if (target < n) {
                    st.surf[j][target] = SatAdd32(st.surf[j][target], v[k]);
                } else if (target - n < kBlockFrames) {
                    st.spill[j][target - n] = SatAdd32(st.spill[j][target - n], v[k]);
                }
            }
        }
    }

    // Output: each surface heard after its own distance.
    for (int i = 0; i < n; ++i) {
        for (const Voicing& vo : kVoicing) {
            const double s = 0.25 * st.surf[vo.surface][i];
            const int64_t target = int64_t(i) + st.dist[vo.surface];
            if (vo.left != '0') AddAt(retL, carryL, n, kBlockFrames, target, SideFactor(vo.left, st.width) * s);
            if (vo.right != '0') AddAt(retR, carryR, n, kBlockFrames, target, SideFactor(vo.right, st.width) * s);
        }
    }
    return 0;
}

}  // namespace varnel
