#include "mixer/run/mix_loop.hpp"

#include "mixer/utilities/hot_loop.hpp"

#include <cstdio>
#include <cstring>

#include "mixer/effects/limiter.hpp"
#include "mixer/run/bus_sums.hpp"
#include "mixer/run/channel_strip.hpp"
#include "mixer/run/master_stage.hpp"
#include "mixer/run/threaded_pass.hpp"
#include "mixer/utilities/fader_script/automation.hpp"
#include "mixer/utilities/metering/block_scan.hpp"
#include "mixer/utilities/fader_script/fill_vca.hpp"
#include "mixer/utilities/text/numbers.hpp"

namespace varnel {

namespace {

constexpr double kBusDivisor = 134217728.0;    // 2^27: 0 dB is unity on a bus

// Zeroes the block's sums and moves the reverbs' carry into the return.
void ClearBlock(MixRun& run) {
    MixBuffers& b = *run.buffers;
    const ReverbSettings& rv = run.fx->reverb;
    std::memset(b.masterL.data(), 0, sizeof(int32_t) * kBlockFrames);
    std::memset(b.masterR.data(), 0, sizeof(int32_t) * kBlockFrames);
    for (int k = 0; k < kBuses; ++k)
        if (run.routing->busActive[size_t(k)] && !b.busL[k].empty()) {
            std::memset(b.busL[k].data(), 0, sizeof(int32_t) * kBlockFrames);
            std::memset(b.busR[k].data(), 0, sizeof(int32_t) * kBlockFrames);
        }
    if (rv.roomActive || rv.tapActive) {
        b.returnL = b.carryL;
        b.returnR = b.carryR;
        std::memset(b.carryL.data(), 0, sizeof(int32_t) * kBlockFrames);
        std::memset(b.carryR.data(), 0, sizeof(int32_t) * kBlockFrames);
    }
    if (rv.roomActive) {
        std::memset(b.revSendL.data(), 0, sizeof(double) * kBlockFrames);
        std::memset(b.revSendR.data(), 0, sizeof(double) * kBlockFrames);
    }
    if (rv.tapActive) {
        std::memset(b.trevSendL.data(), 0, sizeof(double) * kBlockFrames);
        std::memset(b.trevSendR.data(), 0, sizeof(double) * kBlockFrames);
    }
}

// The curves of the active VCAs for a block, into `gain` (kVcas blocks).
void FillVcas(MixRun& run, int64_t s, int n, double* gain) {
    for (int v = 1; v < kVcas; ++v)
        if (run.routing->vcaActive[size_t(v)]) FillVCA(s, n, v, *run.vcas, *run.playback, gain);
}

void BlockSetUp(MixRun& run, int64_t s, int n) {
    ClearBlock(run);
    FillVcas(run, s, n, run.buffers->vcaGain.data());
}

const double* VcaCurves(const MixBuffers& b) { return b.vcaGain.empty() ? nullptr : b.vcaGain.data(); }

// The channels one by one, in channel order, on this thread.
void ChannelPass(MixRun& run, int64_t s, int n) {
    MixBuffers& b = *run.buffers;
    InputStage& in = *run.input;
    const EffectSettings& fx = *run.fx;
    FaderSettings& fs = *run.settings;
    MixMeters& m = *run.meters;
    const int h = n > 255 ? n - 256 : n;
    int32_t* L = b.channelL.data();
    int32_t* R = b.channelR.data();

    for (int ch = 1; ch <= run.trackCount; ++ch) {
        if (!PlaysInBlock(in, ch, s, n)) continue;
        // When the next channel that plays runs the same effects, it is read
        // now and the two chains run side by side; each channel is then
        // mixed in its own turn, in channel order as always.
        const int next = NextPlaying(run, ch, s, n);
        const bool pair = !b.pairL.empty() && PairsWithNext(run, ch, next);
        ReadChannelBlock(in, ch, s, n, h, fs.panLaw, L, R);
        if (pair) {
            int32_t* L2 = b.pairL.data();
            int32_t* R2 = b.pairR.data();
            ReadChannelBlock(in, next, s, n, h, fs.panLaw, L2, R2);
            RunStripEffectsPair({ch, L, R, fs.postGain[size_t(ch)], m.clip[ch]},
                                {next, L2, R2, fs.postGain[size_t(next)], m.clip[next]}, n,
                                b.workL.data(), fx, *run.processors, kChannelFullScale);
            FadeChannelBlock(run, ch, s, n, L, R, VcaCurves(b));
            SumChannelBlock(run, ch, n, L, R);
            FadeChannelBlock(run, next, s, n, L2, R2, VcaCurves(b));
            SumChannelBlock(run, next, n, L2, R2);
            ch = next;
            continue;
        }
        if (fx.hasEffects[ch]) {
            RunStripEffects(ch, n, L, R, b.workL.data(), b.workR.data(), fx, *run.processors,
                            fs.postGain[size_t(ch)], kChannelFullScale, m.clip[ch]);
        }
        FadeChannelBlock(run, ch, s, n, L, R, VcaCurves(b));
        SumChannelBlock(run, ch, n, L, R);
    }
}

void SubmixPass(MixRun& run, int64_t s, int n) {
    MixBuffers& b = *run.buffers;
    const EffectSettings& fx = *run.fx;
    FaderSettings& fs = *run.settings;
    Routing& rt = *run.routing;
    const double* vcaGain = b.vcaGain.empty() ? nullptr : b.vcaGain.data();
    for (int k = 1; k < kBuses; ++k) {
        int slot = kSubmixBase + k;
        if (fs.hasLevels[size_t(slot)] && rt.busActive[size_t(k)])
            AUTOMATE(*run.automate, s, n, slot, *run.faders, *run.playback, b.busL[k].data(),
                     b.busR[k].data(), fs.polarity[size_t(slot)], kBusDivisor,
                     fs.panLeft[size_t(slot)], fs.panRight[size_t(slot)], rt.vcaMember.data(),
                     vcaGain);
    }
    for (int k = 1; k < kBuses; ++k) {
        int slot = kSubmixBase + k;
        if (!fx.hasEffects[slot] || !rt.busActive[size_t(k)]) continue;
        RunStripEffects(slot, n, b.busL[k].data(), b.busR[k].data(), b.workL.data(),
                        b.workR.data(), fx, *run.processors, fs.postGain[size_t(slot)],
                        kBusFullScale, run.meters->clip[slot]);
    }
}

VARNEL_KERNEL void BusSummingBody(MixRun& run, int n) {
    MixBuffers& b = *run.buffers;
    Routing& rt = *run.routing;
    MixMeters& m = *run.meters;
    if (n <= 0) return;
    for (int k = 0; k < kBuses; ++k) {
        if (!rt.busActive[size_t(k)]) continue;
        const int32_t* bl = b.busL[k].data();
        const int32_t* br = b.busR[k].data();
        if (k == 0) {
            std::memcpy(b.masterL.data(), bl, sizeof(int32_t) * size_t(n));
            std::memcpy(b.masterR.data(), br, sizeof(int32_t) * size_t(n));
            continue;
        }
        int slot = kSubmixBase + k;
        UpdatePeakBlock(m.peakL[slot], bl, n);
        UpdatePeakBlock(m.peakR[slot], br, n);
        AddToMaster(b.masterL.data(), bl, n, m.clip[0]);
        AddToMaster(b.masterR.data(), br, n, m.clip[0]);
    }
}
VARNEL_BUILD_TWICE(BusSummingBody)

void BusSumming(MixRun& run, int n) {
    VARNEL_RUN(Kernel::kBest, BusSummingBody, run, n);
}

void SubmixSends(MixRun& run, int n) {
    MixBuffers& b = *run.buffers;
    const EffectSettings& fx = *run.fx;
    const ReverbSettings& rv = fx.reverb;
    for (int k = 1; k < kBuses; ++k) {
        if (!run.routing->busActive[size_t(k)]) continue;
        int slot = kSubmixBase + k;
        const int32_t* bl = b.busL[k].data();
        const int32_t* br = b.busR[k].data();
        if (rv.roomActive && fx.revOn[slot]) {
            const double g = double(rv.roomInput * fx.revLevel[slot]);
            for (int i = 0; i < n; ++i) {
                b.revSendL[size_t(i)] += double(TruncToInt64(double(bl[i]) * g));
                b.revSendR[size_t(i)] += double(TruncToInt64(double(br[i]) * g));
            }
        }
        if (rv.tapActive && fx.trevOn[slot]) {
            const double g = double(rv.tapInput * fx.trevLevel[slot]);
            for (int i = 0; i < n; ++i) {
                b.trevSendL[size_t(i)] += double(bl[i]) * g;
                b.trevSendR[size_t(i)] += double(br[i]) * g;
            }
        }
    }
}

// The quarter marks of the window and the toggle that prints each message once.
struct ProgressMarks {
    int64_t q1, half, q3;
    int toggle;
};

void Progress(MixRun& run, int64_t s, ProgressMarks& p) {
    if (run.verbosity != 2) return;
    if (p.q1 < s && s < p.half && p.toggle == 1) {
        std::puts("1/4 done");
        std::fflush(stdout);
        p.toggle = 0;
    } else if (p.half < s && s < p.q3 && p.toggle == 0) {
        std::puts("1/2 done");
        std::fflush(stdout);
        p.toggle = 1;
    } else if (s > p.q3 && p.toggle == 1) {
        std::puts("3/4 done");
        std::fflush(stdout);
        p.toggle = 0;
    }
}

}  // namespace

namespace {

// The reverb input filters on one reverb's summed sends: high-pass, then
// low-pass, each with its own memory (stages hp and lp of that reverb).
void FilterSends(MixRun& run, int n, double* L, double* R, int hpStage, int lpStage) {
    const ReverbSettings& rv = run.fx->reverb;
    RevEqState& st = run.processors->revEq;
    if (rv.rhpOn)
        Rev_EQ(st, n, hpStage, L, R, rv.rhp.b0, rv.rhp.b1, rv.rhp.b2, rv.rhp.a1, rv.rhp.a2,
               st.firstUse[hpStage]);
    if (rv.rlpOn)
        Rev_EQ(st, n, lpStage, L, R, rv.rlp.b0, rv.rlp.b1, rv.rlp.b2, rv.rlp.a1, rv.rlp.a2,
               st.firstUse[lpStage]);
}

void SendPeaks(MixMeters& m, int slot, const double* L, const double* R, int n) {
    for (int i = 0; i < n; ++i) {
        UpdatePeak(m.peakL[slot], L[i]);
        UpdatePeak(m.peakR[slot], R[i]);
    }
}

}  // namespace

int RunReverbs(MixRun& run, int n, bool tap, bool room, bool sendPeaks) {
    MixBuffers& b = *run.buffers;
    const ReverbSettings& rv = run.fx->reverb;
    ProcessorStates& ps = *run.processors;
    if (tap) {
        FilterSends(run, n, b.trevSendL.data(), b.trevSendR.data(), kTapRevHighPass,
                    kTapRevLowPass);
        int tapCount = rv.tapCount;   // the set-up limits its own copy
        int st = DiscreteReverb(ps.tap, kBlockFrames, ps.tap.firstUse, n, run.rate,
                                b.trevSendL.data(), b.trevSendR.data(), rv.tapSize, b.carryL.data(),
                                b.carryR.data(), b.returnL.data(), b.returnR.data(), tapCount,
                                rv.posX, rv.posY, rv.posZ);
        if (st != 0) return st;
        if (sendPeaks) SendPeaks(*run.meters, kTapSendSlot, b.trevSendL.data(), b.trevSendR.data(), n);
    }
    if (room) {
        FilterSends(run, n, b.revSendL.data(), b.revSendR.data(), kRoomRevHighPass,
                    kRoomRevLowPass);
        int st = RecurseReverb(ps.room, ps.room.firstUse, n, run.rate, b.revSendL.data(),
                               b.revSendR.data(), rv.roomSize, b.carryL.data(), b.carryR.data(),
                               b.returnL.data(), b.returnR.data(), rv.posX, rv.posY, rv.posZ,
                               rv.width);
        if (st != 0) return st;
        if (sendPeaks) SendPeaks(*run.meters, kRevSendSlot, b.revSendL.data(), b.revSendR.data(), n);
    }
    return 0;
}

namespace {

// Everything of a block after its channel pass: submixes, bus sums, submix
// sends, reverbs and the master stage, which writes the block.
int FinishBlock(MixRun& run, int64_t s, int n) {
    SubmixPass(run, s, n);
    BusSumming(run, n);
    SubmixSends(run, n);
    const EffectSettings& fx = *run.fx;
    const ReverbSettings& rv = fx.reverb;
    if (!fx.master.sendsRev && !fx.master.sendsTrev) {
        int st = RunReverbs(run, n, rv.tapActive != 0, rv.roomActive != 0, true);
        if (st != 0) return st;
        if (rv.roomActive || rv.tapActive) {
            MixBuffers& b = *run.buffers;
            AddToMaster(b.masterL.data(), b.returnL.data(), n, run.meters->clip[0]);
            AddToMaster(b.masterR.data(), b.returnR.data(), n, run.meters->clip[0]);
        }
    }
    return MasterStage(run, s, n);
}

bool Threaded(const MixRun& run) { return run.threads && ThreadsInUse(*run.threads) > 1; }

int BlockLength(int64_t s, int64_t end) {
    return (s + kBlockFrames - 1 >= end) ? int(end - s) : kBlockFrames;
}

// The blocks with the channel pass on several lanes. As soon as a block's
// channels are summed, the next block's channels are offered to the lanes,
// so they are processed while this thread finishes and writes the block:
// they share nothing with the rest of the block but the VCA curves, which
// the next block gets in a buffer of its own.
int ThreadedBlocks(MixRun& run, int64_t start, int64_t end, ProgressMarks& marks) {
    ChannelThreads& t = *run.threads;
    MixBuffers& b = *run.buffers;
    int64_t s = start;
    int n = BlockLength(s, end);
    BlockSetUp(run, s, n);
    OfferChannelItems(run, t, s, n, VcaCurves(b));
    for (;;) {
        if (int st = ChannelPassOnLanes(run, t)) return st;
        const int64_t next = s + kBlockFrames;
        const int nextLength = next < end ? BlockLength(next, end) : 0;
        double* nextCurves = t.vcaSpare.empty() ? nullptr : t.vcaSpare.data();
        if (next < end) {
            if (nextCurves) FillVcas(run, next, nextLength, nextCurves);
            OfferChannelItems(run, t, next, nextLength, nextCurves);
        }
        if (int st = FinishBlock(run, s, n)) {
            FinishItems(t.pool);
            return st;
        }
        Progress(run, s, marks);
        if (next >= end) return 0;
        b.vcaGain.swap(t.vcaSpare);   // the lanes hold the buffers, not the vectors
        ClearBlock(run);
        s = next;
        n = nextLength;
    }
}

}  // namespace

int MixBlock(MixRun& run, int64_t s, int n) {
    BlockSetUp(run, s, n);
    if (Threaded(run)) {
        OfferChannelItems(run, *run.threads, s, n, VcaCurves(*run.buffers));
        if (int st = ChannelPassOnLanes(run, *run.threads)) return st;
    } else {
        ChannelPass(run, s, n);
    }
    return FinishBlock(run, s, n);
}

int RunMixingLoop(MixRun& run) {
    const int64_t start = run.window.start;
    const int64_t length = run.window.length;
    ProgressMarks marks{start + (length >> 2), start + (length >> 1),
                        start + ((3 * length) >> 2), 1};
    // A loudness target's first pass adds its own line at verbosity 2 only.
    if (!run.firstPass || run.verbosity == 2) std::putchar('\n');
    if (run.verbosity == 2) std::puts(run.firstPass ? "Measuring the loudness..." : "Mixing...");
    const int64_t end = start + length;
    if (end <= start) return 0;
    if (Threaded(run)) return ThreadedBlocks(run, start, end, marks);
    for (int64_t s = start; s < end; s += kBlockFrames) {
        int st = MixBlock(run, s, BlockLength(s, end));
        if (st != 0) return st;
        Progress(run, s, marks);
    }
    return 0;
}

}  // namespace varnel
