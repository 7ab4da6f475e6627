#include "mixer/run/mix_buffers.hpp"

#include <cstddef>

namespace varnel {

void AllocateMixBuffers(MixBuffers& b, bool nineBuses, bool roomReverb, bool tapReverb,
                        bool anyVca, bool tapFile, bool effectPairs) {
    const std::size_t n = kBlockFrames;
    b.channelL.assign(n, 0);
    b.channelR.assign(n, 0);
    if (effectPairs) {
        b.pairL.assign(n, 0);
        b.pairR.assign(n, 0);
    }
    b.workL.assign(n, 0.0);
    b.workR.assign(n, 0.0);
    for (int k = 0; k < (nineBuses ? kBuses : 1); ++k) {
        b.busL[k].assign(n, 0);
        b.busR[k].assign(n, 0);
    }
    b.masterL.assign(n, 0);
    b.masterR.assign(n, 0);
    if (roomReverb) {
        b.revSendL.assign(n, 0.0);
        b.revSendR.assign(n, 0.0);
    }
    if (tapReverb) {
        b.trevSendL.assign(n, 0.0);
        b.trevSendR.assign(n, 0.0);
    }
    if (roomReverb || tapReverb) {
        b.returnL.assign(n, 0);
        b.returnR.assign(n, 0);
        b.carryL.assign(n, 0);
        b.carryR.assign(n, 0);
    }
    if (anyVca) b.vcaGain.assign(std::size_t(kVcas) * n, 1.0);
    b.outL.assign(n, 0);
    b.outR.assign(n, 0);
    b.monoSum.assign(n, 0);
    b.outBytes.assign(6 * n, 0);
    if (tapFile) {
        b.tapL.assign(n, 0);
        b.tapR.assign(n, 0);
        b.tapBytes.assign(6 * n, 0);
    }
}

}  // namespace varnel
