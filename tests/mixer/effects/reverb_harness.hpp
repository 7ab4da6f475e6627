// What the reverb tests share: the room settings and the return buffers,
// driven the way the mixing loop drives them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "mixer/utilities/limits.hpp"

namespace reverbtest {

struct Room {
    float size = 75.0f, x = 37.0f, y = 39.0f, z = 43.0f;  // the defaults
};

struct ReturnBuffers {
    std::vector<int32_t> retL = std::vector<int32_t>(varnel::kBlockFrames),
                         retR = std::vector<int32_t>(varnel::kBlockFrames),
                         carryL = std::vector<int32_t>(varnel::kBlockFrames),
                         carryR = std::vector<int32_t>(varnel::kBlockFrames);

    // The carry of one block becomes the start of the next block's return.
    void NextBlock() {
        retL = carryL;
        retR = carryR;
        std::fill(carryL.begin(), carryL.end(), 0);
        std::fill(carryR.begin(), carryR.end(), 0);
    }
};

inline std::vector<double> Impulse(int n, int at, double a) {
    std::vector<double> v(size_t(n), 0.0);
    if (at >= 0 && at < n) v[size_t(at)] = a;
    return v;
}

}  // namespace reverbtest
