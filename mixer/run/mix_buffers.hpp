// The mixing loop's working storage: every block buffer is allocated once
// before the loop and reused for every block and every strip.
#pragma once

#include <cstdint>
#include <vector>

#include "mixer/utilities/limits.hpp"
#include "mixer/utilities/metering/loudness_meter.hpp"
#include "mixer/utilities/metering/output_clips.hpp"

namespace varnel {

struct MixBuffers {
    std::vector<int32_t> channelL, channelR;   // current channel, channel scale
    std::vector<int32_t> pairL, pairR;         // the next channel, when its effects pair up
    std::vector<double> workL, workR;          // effect copy of the current strip
    std::vector<int32_t> busL[kBuses], busR[kBuses];
    std::vector<int32_t> masterL, masterR;     // bus scale
    std::vector<double> revSendL, revSendR;    // room-reverb send
    std::vector<double> trevSendL, trevSendR;  // tap-reverb send
    std::vector<int32_t> returnL, returnR;     // reverb output in this block
    std::vector<int32_t> carryL, carryR;       // reverb output for the next block
    std::vector<double> vcaGain;               // kVcas x block length
    std::vector<int32_t> outL, outR, monoSum;  // output word width
    std::vector<uint8_t> outBytes;
    std::vector<int32_t> tapL, tapR;
    std::vector<uint8_t> tapBytes;
};

// Allocates what the run needs: all nine buses only when a submix is active,
// reverb buffers only when a reverb is, the VCA curves only when a VCA is,
// the second channel of an effects pair only when channels can pair up.
void AllocateMixBuffers(MixBuffers& b, bool nineBuses, bool roomReverb, bool tapReverb,
                        bool anyVca, bool tapFile, bool effectPairs);

// Meters gathered while mixing and read by the report.
struct MixMeters {
    double peakL[kPeakSlots] = {};
    double peakR[kPeakSlots] = {};
    int clip[kSlots] = {};
    double peakOutL = 0.0, peakOutR = 0.0;
    int64_t peakOutPosL = 0, peakOutPosR = 0;
    int rmsFirstUse = 0;
    float rmsWindowsL = 0, rmsWindowsR = 0, rmsSumL = 0, rmsSumR = 0;
    LoudnessState loudness;  // of the output as written; measures only once started
    OutputClips outputClips;
};

}  // namespace varnel
