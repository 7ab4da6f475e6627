// The tap reverb ("trev" sends, "trtn" return): early reflections without
// feedback. Each of the six surfaces of the room gets a chain of up to eleven
// taps, each half as loud as the one before.
#pragma once

#include <cstdint>

namespace varnel {

constexpr int kMaxTaps = 11;

// Tap tables, in the order in which one tap chain hands over to the next.
enum TapSurface { kTapLeft = 0, kTapRight, kTapFront, kTapRear, kTapCeiling, kTapFloor, kTapSurfaces };

struct TapReverbState {
    int taps = 0;                              // N, 1..11 once set up
    int32_t delay[kTapSurfaces][kMaxTaps] = {};  // samples from the input frame
    double atten[kMaxTaps] = {};               // 1/2, 1/4, ...
    int firstUse = 1;                          // DiscreteReverb's flag: the set-up is still due
};

// Adds the taps of one block into the return (frames before n) and the carry
// (frames from n on); `capacity` is the length of those buffers. firstUse == 1
// asks for the set-up, which clears it and writes the limited tap count back.
// Returns 0, or 1 after printing why the room cannot be built; the caller then
// ends the run with that status.
// The set-up alone, on a state of its own: returns 1 after the same message
// when the room cannot be built, else 0.
int CheckTapReverb(int capacity, uint32_t rate, float roomSize, int tapCount, float x, float y,
                   float z);

int DiscreteReverb(TapReverbState& st, int capacity, int& firstUse, int n, uint32_t rate,
                   const double* inL, const double* inR, float roomSize, int32_t* carryL,
                   int32_t* carryR, int32_t* retL, int32_t* retR, int& tapCount, float x, float y,
                   float z);

}  // namespace varnel
