#include "mixer/run/channel_strip.hpp"

#include "mixer/run/bus_sums.hpp"
#include "mixer/utilities/fader_script/automation.hpp"
#include "mixer/utilities/hot_loop.hpp"

namespace varnel {

namespace {

constexpr double kChannelDivisor = 524288.0;   // 2^19: 0 dB lifts a channel by 256

}  // namespace

bool PlaysInBlock(const InputStage& in, int ch, int64_t s, int n) {
    return in.active[size_t(ch)] && in.trackStart[size_t(ch)] < s + n;
}

int NextPlaying(const MixRun& run, int ch, int64_t s, int n) {
    int next = ch + 1;
    while (next <= run.trackCount && !PlaysInBlock(*run.input, next, s, n)) ++next;
    return next;
}

bool PairsWithNext(const MixRun& run, int ch, int next) {
    const EffectSettings& fx = *run.fx;
    return next <= run.trackCount && fx.hasEffects[ch] && fx.hasEffects[next] &&
           SameEffectChain(ch, next, fx);
}

namespace {

VARNEL_KERNEL void FadeChannelBlockBody(MixRun& run, int ch, int64_t s, int n, int32_t* L,
                                        int32_t* R, const double* vcaGain) {
    InputStage& in = *run.input;
    FaderSettings& fs = *run.settings;
    MixMeters& m = *run.meters;

    // A track that starts inside this block is faded from its first
    // frame: its fader was placed at its start, and the zeros before it
    // take no gain. Fading them too would run its ramps ahead and keep a
    // gain computed before the start until the first sign change.
    const int skip = in.trackStart[size_t(ch)] > s ? int(in.trackStart[size_t(ch)] - s) : 0;
    AUTOMATE(*run.automate, s + skip, n - skip, ch, *run.faders, *run.playback, L + skip,
             R + skip, fs.polarity[size_t(ch)], kChannelDivisor, fs.panLeft[size_t(ch)],
             fs.panRight[size_t(ch)], run.routing->vcaMember.data(),
             vcaGain ? vcaGain + skip : nullptr, n);
    UpdatePeakBlock(m.peakL[ch], L, n);
    UpdatePeakBlock(m.peakR[ch], R, n);
}
VARNEL_BUILD_TWICE(FadeChannelBlockBody)

}  // namespace

void FadeChannelBlock(MixRun& run, int ch, int64_t s, int n, int32_t* L, int32_t* R,
                      const double* vcaGain) {
    VARNEL_RUN(Kernel::kBest, FadeChannelBlockBody, run, ch, s, n, L, R, vcaGain);
}

namespace {

VARNEL_KERNEL void SumChannelBlockBody(MixRun& run, int ch, int n, const int32_t* L,
                                       const int32_t* R) {
    MixBuffers& b = *run.buffers;
    const EffectSettings& fx = *run.fx;
    Routing& rt = *run.routing;
    MixMeters& m = *run.meters;
    const ReverbSettings& rv = fx.reverb;
    for (int k = 0; k < kBuses; ++k) {
        if (!rt.route[ch][k] || !rt.busActive[size_t(k)]) continue;
        if (k == 0) {  // bus 0 is the master's direct sum
            AddToMaster(b.busL[0].data(), L, n, m.clip[0]);
            AddToMaster(b.busR[0].data(), R, n, m.clip[0]);
            continue;
        }
        AddToBus(b.busL[k].data(), L, n);
        AddToBus(b.busR[k].data(), R, n);
    }
    if (fx.master.sendsRev || fx.master.sendsTrev) return;
    if (rv.roomActive && fx.revOn[ch])
        AddToSend(L, R, n, double(rv.roomInput * fx.revLevel[ch]), b.revSendL.data(),
                  b.revSendR.data());
    if (rv.tapActive && fx.trevOn[ch])
        AddToSend(L, R, n, double(rv.tapInput * fx.trevLevel[ch]), b.trevSendL.data(),
                  b.trevSendR.data());
}
VARNEL_BUILD_TWICE(SumChannelBlockBody)

}  // namespace

void SumChannelBlock(MixRun& run, int ch, int n, const int32_t* L, const int32_t* R) {
    VARNEL_RUN(Kernel::kBest, SumChannelBlockBody, run, ch, n, L, R);
}

}  // namespace varnel
