// The last step of the master: dither, reduction to the output word width,
// the output peaks, the RMS meter and the encoding of the block's bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mixer/run/mix_buffers.hpp"
#include "mixer/utilities/dither_random.hpp"
#include "mixer/utilities/metering/master_rms.hpp"

namespace varnel {

struct OutputSettings {
    int bits = 24;          // 16 or 24
    bool mono = false;
    double monoGain = 1.0;
    int dither = 1;         // depth 0..8
    int ditherOffset = 1;
    int ditherSpan = 3;
    float rmsWindow = 0.0f;  // sample rate / 10
};

// Converts master L/R of one block (n frames starting at absolute sample
// `blockStart`) into b.outBytes; returns the number of bytes to write.
size_t ConvertMasterBlock(const OutputSettings& s, MixBuffers& b, MixMeters& m,
                          MasterRmsState& rms, DitherRandom& random, int64_t blockStart, int n);

// The first pass of a loudness target: measures master L/R of one block as
// the output would take it before dither (folded to mono like the output),
// at bus scale; converts and writes nothing.
void MeasureMasterBlock(const OutputSettings& s, MixBuffers& b, LoudnessState& meter, int n);

// Rounds a bus-scale sample toward zero to the output width (shift 8 or 16).
inline int32_t ShiftTowardZero(int32_t v, int sh) {
    if (v < 0) v += (int32_t(1) << sh) - 1;
    return v >> sh;
}

}  // namespace varnel
