#include "mixer/effects/room_geometry.hpp"

namespace varnel {

namespace {

int64_t TruncDistance(float v) {
    if (!(v < 1.0e15f && v > -1.0e15f)) return kFarAway;  // NaN or out of any range
    return int64_t(v);
}

}  // namespace

void RoomDistances(uint32_t rate, float roomSize, float x, float y, float z,
                   int64_t d[kSurfaces]) {
    const float f = float(rate) / 1130.0f;  // samples per foot
    const float length = f * roomSize;
    const float width = float(0.83116 * double(f) * double(roomSize));
    const float height = float(0.64935 * double(f) * double(roomSize));
    d[kFront] = TruncDistance((1.0f - x / 100.0f) * length);
    d[kLeftWall] = TruncDistance((z / 100.0f) * width);
    d[kRightWall] = TruncDistance((1.0f - z / 100.0f) * width);
    d[kRear] = TruncDistance((x / 100.0f) * length);
    d[kFloor] = TruncDistance((y / 100.0f) * height);
    d[kCeiling] = TruncDistance((1.0f - y / 100.0f) * height);
}

}  // namespace varnel
