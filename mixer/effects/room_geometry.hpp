// The rectangular room both reverbs are built on: the distances from the
// listening position to the six surfaces, in samples, and the reverbs' common
// ways of adding into integer buffers.
#pragma once

#include <cmath>
#include <cstdint>

#include "mixer/utilities/text/numbers.hpp"

namespace varnel {

// Surfaces, in the order of their distances d1..d6.
enum RoomSurface { kFront = 0, kLeftWall, kRightWall, kRear, kFloor, kCeiling, kSurfaces };

// A distance that stands for "too far for any buffer": infinite or undefined
// geometry becomes this, so it fails the size checks instead of reaching an index.
constexpr int64_t kFarAway = int64_t(1) << 50;

// Positions are percentages of the room; anything negative, above 100 or not
// a number cannot place the listener.
inline bool PositionIsLegal(float p) { return p >= 0.0f && p <= 100.0f; }
// A room size that is negative or not a number cannot be built.
inline bool RoomSizeIsLegal(float s) { return s >= 0.0f; }

// d1..d6 for the room of `roomSize` feet at `rate` (sound travels 1130 feet
// per second), the listener at x (front to rear), y (floor to ceiling) and
// z (left to right) percent. Each distance is truncated toward zero.
void RoomDistances(uint32_t rate, float roomSize, float x, float y, float z,
                   int64_t d[kSurfaces]);

// sqrt(a^2 + b^2) without integer overflow.
inline double PairDistance(int64_t a, int64_t b) {
    return std::sqrt(double(a) * double(a) + double(b) * double(b));
}

// slot = trunc(slot + a). The sum saturates at the 32-bit limits; a value that
// is not a number leaves the slot as it was.
inline void AddTruncated(int32_t& slot, double a) {
    if (std::isnan(a)) return;
    slot = TruncToInt32(double(slot) + a);
}

// Adds `a` at frame `target` of a block of n frames, or, from n on, into the
// buffer for the next block; targets beyond that buffer's capacity are dropped.
inline void AddAt(int32_t* block, int32_t* next, int n, int capacity, int64_t target, double a) {
    if (target < n) {
        AddTruncated(block[target], a);
    } else if (target - n < capacity) {
        AddTruncated(next[target - n], a);
    }
}

}  // namespace varnel
