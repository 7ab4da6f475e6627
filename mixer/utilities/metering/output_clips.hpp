// The count of output samples that reached or passed full scale, gathered
// where the output words are made and read by the reports.
#pragma once

#include <cstdint>

namespace varnel {

// A mono output has one side, counted in both `left` and `right` once.
struct OutputClips {
    int64_t left = 0, right = 0;
    int64_t total = 0;   // samples written at or past full scale
    int64_t first = -1;  // absolute sample number of the first one, -1 for none
};

}  // namespace varnel
