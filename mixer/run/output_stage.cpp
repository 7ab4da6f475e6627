#include "mixer/run/output_stage.hpp"

#include <cstdint>
#include <cstdlib>

#include "mixer/utilities/metering/block_scan.hpp"
#include "mixer/utilities/hot_loop.hpp"

#include "mixer/utilities/text/numbers.hpp"
#include "mixer/utilities/wav/wav_writer.hpp"

namespace varnel {

namespace {

// One dither value in whole output steps, uniform over offset - (0..span-1).
// The span is 3 to 257 (depths 1 to 8).
inline int32_t DitherStep(const OutputSettings& s, const FixedRemainder& span,
                          DitherRandom& random) {
    return s.ditherOffset - int32_t(span.Of(uint32_t(NextDitherRandom(random))));
}

// Adds the stereo dither, left then right in every frame as the generator's
// sequence gives them.
void AddStereoDither(const OutputSettings& s, DitherRandom& random, int32_t* L, int32_t* R,
                     int n, int sh) {
    const int32_t step = int32_t(1) << sh;
    const FixedRemainder span(uint32_t(s.ditherSpan));
    for (int i = 0; i < n; ++i) {
        const int32_t dL = DitherStep(s, span, random);
        const int32_t dR = DitherStep(s, span, random);
        L[i] = SatAdd32(L[i], dL * step);
        R[i] = SatAdd32(R[i], dR * step);
    }
}

// Counts one block's output samples at full scale into the meter; the first
// position is the earliest frame of either side.
void CountClips(OutputClips& c, const int32_t* L, const int32_t* R, int n, int64_t blockStart) {
    int firstL = -1, firstR = -1;
    const int64_t left = CountAtFullScale(L, n, firstL);
    const int64_t right = R ? CountAtFullScale(R, n, firstR) : left;
    if (left == 0 && right == 0) return;
    c.left += left;
    c.right += right;
    c.total += R ? left + right : left;
    if (c.first < 0) {
        const int first = firstR < 0 || (firstL >= 0 && firstL < firstR) ? firstL : firstR;
        c.first = blockStart + first;
    }
}

}  // namespace

namespace {

VARNEL_KERNEL size_t ConvertMasterBlockBody(const OutputSettings& s, MixBuffers& b, MixMeters& m,
                                            MasterRmsState& rms, DitherRandom& random,
                                            int64_t blockStart, int n) {
    const int sh = s.bits == 16 ? 16 : 8;
    int32_t* L = b.masterL.data();
    int32_t* R = b.masterR.data();
    if (!s.mono) {
        if (s.dither != 0) AddStereoDither(s, random, L, R, n, sh);
        CountClips(m.outputClips, L, R, n, blockStart);
        int32_t* outL = b.outL.data();
        int32_t* outR = b.outR.data();
        for (int i = 0; i < n; ++i) {
            outL[i] = ShiftTowardZero(L[i], sh);
            outR[i] = ShiftTowardZero(R[i], sh);
        }
        PeakAndFirstPosition(outL, n, m.peakOutL, m.peakOutPosL, blockStart);
        PeakAndFirstPosition(outR, n, m.peakOutR, m.peakOutPosR, blockStart);
        MasterRMS(rms, m.rmsFirstUse, L, R, m.rmsWindowsL, m.rmsWindowsR, m.rmsSumL, m.rmsSumR,
                  s.rmsWindow, 256, n);
        MeasureLoudness(m.loudness, b.outL.data(), b.outR.data(), n);
        if (s.bits == 16) {
            NUM16STER_TO_CHAR(b.outL.data(), b.outR.data(), b.outBytes.data(), n);
            return size_t(n) * 4;
        }
        NUM24STER_TO_CHAR(b.outL.data(), b.outR.data(), b.outBytes.data(), n);
        return size_t(n) * 6;
    }

    int32_t* M = b.monoSum.data();
    const FixedRemainder span(uint32_t(s.dither != 0 ? s.ditherSpan : 1));
    for (int i = 0; i < n; ++i) {
        int32_t v = TruncToInt32(double(L[i]) * s.monoGain + double(R[i]) * s.monoGain);
        if (s.dither != 0) v = SatAdd32(v, DitherStep(s, span, random) * (int32_t(1) << sh));
        M[i] = v;
        b.outL[size_t(i)] = ShiftTowardZero(v, sh);
    }
    CountClips(m.outputClips, M, nullptr, n, blockStart);
    // One output side: both meters read it.
    PeakAndFirstPosition(b.outL.data(), n, m.peakOutL, m.peakOutPosL, blockStart);
    m.peakOutR = m.peakOutL;
    m.peakOutPosR = m.peakOutPosL;
    MasterRMS(rms, m.rmsFirstUse, M, M, m.rmsWindowsL, m.rmsWindowsR, m.rmsSumL, m.rmsSumR,
              s.rmsWindow, 256, n);
    MeasureLoudness(m.loudness, b.outL.data(), nullptr, n);
    if (s.bits == 16) {
        NUM16MONO_TO_CHAR(b.outL.data(), b.outBytes.data(), n);
        return size_t(n) * 2;
    }
    NUM24MONO_TO_CHAR(b.outL.data(), b.outBytes.data(), n);
    return size_t(n) * 3;
}
VARNEL_BUILD_TWICE(ConvertMasterBlockBody)

}  // namespace

size_t ConvertMasterBlock(const OutputSettings& s, MixBuffers& b, MixMeters& m, MasterRmsState& rms,
                          DitherRandom& random, int64_t blockStart, int n) {
    return VARNEL_RUN(Kernel::kBest, ConvertMasterBlockBody, s, b, m, rms, random, blockStart, n);
}

void MeasureMasterBlock(const OutputSettings& s, MixBuffers& b, LoudnessState& meter, int n) {
    const int32_t* L = b.masterL.data();
    const int32_t* R = b.masterR.data();
    if (!s.mono) {
        MeasureLoudness(meter, L, R, n);
        return;
    }
    int32_t* M = b.monoSum.data();
    for (int i = 0; i < n; ++i) M[i] = TruncToInt32(double(L[i]) * s.monoGain + double(R[i]) * s.monoGain);
    MeasureLoudness(meter, M, nullptr, n);
}

}  // namespace varnel
