#include "mixer/run/master_stage.hpp"

#include <cstdio>

#include "mixer/effects/limiter.hpp"
#include "mixer/utilities/fader_script/automation.hpp"
#include "mixer/utilities/hot_loop.hpp"
#include "mixer/utilities/text/numbers.hpp"
#include "mixer/utilities/wav/wav_writer.hpp"

namespace varnel {

namespace {

constexpr double kMasterDivisor = 134217728.0;  // 2^27: 0 dB is unity

// The master's own sends replace whatever the submixes sent this block.
void MasterSend(const double* wL, const double* wR, int n, double gain, double* sendL,
                double* sendR, double& peakL, double& peakR) {
    for (int i = 0; i < n; ++i) {
        sendL[i] = wL[i] * gain;
        sendR[i] = wR[i] * gain;
        double aL = sendL[i] < 0 ? -sendL[i] : sendL[i];
        double aR = sendR[i] < 0 ? -sendR[i] : sendR[i];
        if (aL > peakL) peakL = aL;
        if (aR > peakR) peakR = aR;
    }
}

int WriteTapBlock(MixRun& run, int n) {
    MixBuffers& b = *run.buffers;
    const ReverbSettings& rv = run.fx->reverb;
    if (rv.tapMode == 1) {
        const float div = rv.roomInput * 256.0f;
        for (int i = 0; i < n; ++i) {
            b.tapL[size_t(i)] = TruncToInt32(float(b.revSendL[size_t(i)]) / div);
            b.tapR[size_t(i)] = TruncToInt32(float(b.revSendR[size_t(i)]) / div);
        }
    } else {
        for (int i = 0; i < n; ++i) {
            b.tapL[size_t(i)] = TruncToInt32(float(b.returnL[size_t(i)]) * 0.00390625f);
            b.tapR[size_t(i)] = TruncToInt32(float(b.returnR[size_t(i)]) * 0.00390625f);
        }
    }
    NUM24STER_TO_CHAR(b.tapL.data(), b.tapR.data(), b.tapBytes.data(), n);
    return AppendOutputBytes(*run.tap, b.tapBytes.data(), size_t(n) * 6) ? 0 : 2;
}

// The loudness target's gain: one constant factor on the finished master,
// each product truncated toward zero and held at the 32-bit limits
// (TruncToInt32), four samples at a time with the selects made on doubles
// before the one conversion.
VARNEL_KERNEL void ScaleSideBody(int32_t* x, int n, double gain) {
    typedef double Four __attribute__((vector_size(32)));
    typedef int32_t FourInts __attribute__((vector_size(16)));
    const Four g = {gain, gain, gain, gain};
    const Four top = {2147483647.0, 2147483647.0, 2147483647.0, 2147483647.0};
    const Four bottom = {-2147483648.0, -2147483648.0, -2147483648.0, -2147483648.0};
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        FourInts v;
        __builtin_memcpy(&v, x + i, sizeof v);
        const Four p = __builtin_convertvector(v, Four) * g;
        const Four high = p < top ? p : top;
        const FourInts t = __builtin_convertvector(high > bottom ? high : bottom, FourInts);
        __builtin_memcpy(x + i, &t, sizeof t);
    }
    for (; i < n; ++i) x[i] = TruncToInt32(double(x[i]) * gain);
}
VARNEL_BUILD_TWICE(ScaleSideBody)

void ScaleSide(int32_t* x, int n, double gain) {
    VARNEL_RUN(Kernel::kBest, ScaleSideBody, x, n, gain);
}

void ApplyMasterGain(int32_t* L, int32_t* R, int n, double gain) {
    ScaleSide(L, n, gain);
    ScaleSide(R, n, gain);
}

}  // namespace

int MasterStage(MixRun& run, int64_t s, int n) {
    MixBuffers& b = *run.buffers;
    const EffectSettings& fx = *run.fx;
    FaderSettings& fs = *run.settings;
    MixMeters& m = *run.meters;
    const ReverbSettings& rv = fx.reverb;
    const double* vcaGain = b.vcaGain.empty() ? nullptr : b.vcaGain.data();

    if (fs.hasLevels[0])
        AUTOMATE(*run.automate, s, n, 0, *run.faders, *run.playback, b.masterL.data(),
                 b.masterR.data(), fs.polarity[0], kMasterDivisor, fs.panLeft[0], fs.panRight[0],
                 run.routing->vcaMember.data(), vcaGain);

    if (fx.master.anyEffect) {
        double* wL = b.workL.data();
        double* wR = b.workR.data();
        for (int i = 0; i < n; ++i) {
            wL[i] = double(b.masterL[size_t(i)]);
            wR[i] = double(b.masterR[size_t(i)]);
        }
        RunEffectChain(0, n, wL, wR, fx, *run.processors, false);
        if (fx.master.sendsRev)
            MasterSend(wL, wR, n, double(rv.roomInput * fx.revLevel[0]), b.revSendL.data(),
                       b.revSendR.data(), m.peakL[kRevSendSlot], m.peakR[kRevSendSlot]);
        if (fx.master.sendsTrev)
            MasterSend(wL, wR, n, double(rv.tapInput * fx.trevLevel[0]), b.trevSendL.data(),
                       b.trevSendR.data(), m.peakL[kTapSendSlot], m.peakR[kTapSendSlot]);
        if (fx.master.sendsRev || fx.master.sendsTrev) {
            int st = RunReverbs(run, n, fx.master.sendsTrev != 0, fx.master.sendsRev != 0, false);
            if (st != 0) return st;
            for (int i = 0; i < n; ++i) {
                wL[i] += double(b.returnL[size_t(i)]);
                wR[i] += double(b.returnR[size_t(i)]);
            }
        }
        if (fx.master.limiter) {
            if (run.columns) GatherLimiterInput(*run.columns, s, n, wL, wR);
            LIMITER(n, wL, wR, fx.limThresh[0]);
        }
        ReturnFromEffects(wL, wR, n, fs.postGain[0], kBusFullScale, m.clip[0], b.masterL.data(),
                          b.masterR.data());
    }

    if (run.firstPass) {
        MeasureMasterBlock(run.output, b, *run.firstPass, n);
        return 0;
    }
    if (run.masterGain != 1.0) ApplyMasterGain(b.masterL.data(), b.masterR.data(), n, run.masterGain);
    size_t bytes = ConvertMasterBlock(run.output, b, m, run.processors->masterRms, *run.dither, s, n);
    if (run.columns) {
        const bool mono = run.output.mono;
        GatherOutputBlock(*run.columns, s, n, mono ? b.monoSum.data() : b.masterL.data(),
                          mono ? nullptr : b.masterR.data(), b.outL.data(),
                          mono ? nullptr : b.outR.data());
    }
    if (!AppendOutputBytes(*run.out, b.outBytes.data(), bytes)) return 2;
    if (run.tap && rv.tapMode != 0 && (fx.master.sendsRev || rv.roomActive)) return WriteTapBlock(run, n);
    return 0;
}

}  // namespace varnel
