// The room reverb ("rev" sends, "rtn" return): six surfaces of a rectangular
// room, each a delay-line node fed by the reverb input, passing five sixths of
// their signal to each other and heard by the listener after their own delay.
#pragma once

#include <cstdint>
#include <vector>

#include "mixer/effects/room_geometry.hpp"

namespace varnel {

struct RoomReverbState {
    // Surface signal of the current block, and the contributions that fall
    // beyond it (added at the start of the next block); kBlockFrames each,
    // allocated on the first call and kept for the run.
    std::vector<int32_t> surf[kSurfaces];
    std::vector<int32_t> spill[kSurfaces];
    int32_t dist[kSurfaces] = {};         // d1..d6, listener to surface
    int32_t pair[kSurfaces][kSurfaces] = {};  // pair[j][k] = djk (0 on the diagonal)
    float width = 0.0f;                   // share of the far side, 0..1
    int firstUse = 1;                     // RecurseReverb's flag: the set-up is still due
};

// Adds the reverb of one block into the return (frames before n) and the
// carry (frames from n on). firstUse == 1 asks for the set-up, which clears
// it. Returns 0, or 1 after printing why the room cannot be built; the caller
// then ends the run with that status.
// The set-up's checks alone, for a first block of n frames: returns 1 after
// the same message when the room cannot be built, else 0. Allocates nothing.
int CheckRoomReverb(int n, uint32_t rate, float roomSize, float x, float y, float z);

int RecurseReverb(RoomReverbState& st, int& firstUse, int n, uint32_t rate, const double* inL,
                  const double* inR, float roomSize, int32_t* carryL, int32_t* carryR,
                  int32_t* retL, int32_t* retR, float x, float y, float z, float width);

}  // namespace varnel
