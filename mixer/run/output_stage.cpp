#include "mixer/run/output_stage.hpp"

#include "mixer/utilities/hot_loop.hpp"

#include <cstdlib>

#include "mixer/utilities/numbers.hpp"
#include "mixer/utilities/wav_writer.hpp"

namespace varnel {

namespace {

// One dither value in whole output steps, uniform over offset - (0..span-1).
inline int32_t DitherStep(const OutputSettings& s, DitherRandom& random) {
    return s.ditherOffset - (NextDitherRandom(random) % s.ditherSpan);
}

inline void TrackPeak(int32_t v, double& peak, int64_t& pos, int64_t at) {
    double a = v < 0 ? -double(v) : double(v);
    if (a > peak) {
        peak = a;
        pos = at;
    }
}

}  // namespace

VARNEL_HOT_LOOP size_t ConvertMasterBlock(const OutputSettings& s, MixBuffers& b, MixMeters& m,
                          MasterRmsState& rms, DitherRandom& random, int64_t blockStart,
                          int n) {
    const int sh = s.bits == 16 ? 16 : 8;
    int32_t* L = b.masterL.data();
    int32_t* R = b.masterR.data();
    if (!s.mono) {
        for (int i = 0; i < n; ++i) {
            if (s.dither != 0) {
                int32_t dL = DitherStep(s, random);
                int32_t dR = DitherStep(s, random);
                L[i] = SatAdd32(L[i], dL * (int32_t(1) << sh));
                R[i] = SatAdd32(R[i], dR * (int32_t(1) << sh));
            }
            b.outL[size_t(i)] = ShiftTowardZero(L[i], sh);
            b.outR[size_t(i)] = ShiftTowardZero(R[i], sh);
            TrackPeak(b.outL[size_t(i)], m.peakOutL, m.peakOutPosL, blockStart + i);
            TrackPeak(b.outR[size_t(i)], m.peakOutR, m.peakOutPosR, blockStart + i);
        }
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
    for (int i = 0; i < n; ++i) {
        int32_t v = TruncToInt32(double(L[i]) * s.monoGain + double(R[i]) * s.monoGain);
        if (s.dither != 0) v = SatAdd32(v, DitherStep(s, random) * (int32_t(1) << sh));
        M[i] = v;
        int32_t o = ShiftTowardZero(v, sh);
        b.outL[size_t(i)] = o;
        double a = o < 0 ? -double(o) : double(o);
        if (a > m.peakOutL) {
            m.peakOutL = m.peakOutR = a;
            m.peakOutPosL = m.peakOutPosR = blockStart + i;
        }
    }
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

}  // namespace varnel
