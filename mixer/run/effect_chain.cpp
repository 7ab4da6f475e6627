#include "mixer/run/effect_chain.hpp"

#include <algorithm>

#include "mixer/effects/filter_cascade.hpp"
#include "mixer/effects/limiter.hpp"
#include "mixer/utilities/hot_loop.hpp"
#include "mixer/utilities/text/numbers.hpp"

namespace varnel {

namespace {

// The slot's enabled effects in the order they run.
struct ChainPlan {
    int count = 0;
    int effect[kChainEffects];
};

ChainPlan PlanChain(int slot, const EffectSettings& fx, bool withLimiter) {
    ChainPlan plan;
    for (int p = kFirstPosition; p <= kLastPosition; ++p)
        for (int e = 0; e < kChainEffects; ++e) {
            if (e == kLim && !withLimiter) continue;
            if (fx.position[e][slot] == p && EffectEnabled(fx, e, slot)) plan.effect[plan.count++] = e;
        }
    return plan;
}

bool IsFilter(int effect) { return effect >= kHp && effect <= kLshelf; }

int EqStage(int effect) { return effect - kBand1 + 1; }   // 1..4 bands, 5 high shelf, 6 low shelf

// A compressor's mode starts idle at the slot's first call: the settings say
// only that it is on, and a mode never returns to off once started.
int& StartedMode(int* mode, int slot) {
    if (mode[slot] == kCompOff) mode[slot] = kCompIdle;
    return mode[slot];
}

// A strip's "rms" settings and memories as the compressor takes them.
RmsCompCall RmsCall(int slot, double* L, double* R, const EffectSettings& fx, RmsCompState& st) {
    return {slot, &StartedMode(st.mode, slot), L, R, fx.rmsAttack[slot], fx.rmsRelease[slot],
            fx.rmsRatio[slot], fx.rmsThresh[slot], &st.firstUse[slot]};
}

void RunOne(int effect, int slot, int n, double* L, double* R,
            const EffectSettings& fx, ProcessorStates& ps) {
    switch (effect) {
    case kHp:
        HPF(ps.hpf, n, slot, L, R, fx.hpFeedback[slot], fx.hpInput[slot],
            ps.hpf.firstUse[slot]);
        break;
    case kBand1:
    case kBand2:
    case kBand3:
    case kBand4:
    case kHshelf:
    case kLshelf: {
        const int stage = EqStage(effect);
        const Biquad& c = fx.eq[stage][slot];
        EQ(ps.eq, n, slot, stage, L, R, c.b0, c.b1, c.b2, c.a1, c.a2,
           ps.eq.firstUse[slot][stage]);
        break;
    }
    case kRms:
        RMSCOMPRESSOR(ps.rms, RmsCall(slot, L, R, fx, ps.rms), n);
        break;
    case kNlc:
        NonLinCOMP(ps.nlc, slot, n, L, R, fx.nlcWindow[slot], fx.nlcRatio[slot],
                   fx.nlcThresh[slot], ps.nlc.firstUse[slot]);
        break;
    case kComp:
        PEAKCOMPRESSOR(ps.peak, slot, StartedMode(ps.peak.mode, slot), n, L, R, fx.compAttack[slot],
                       fx.compRelease[slot], fx.compRatio[slot], fx.compThresh[slot]);
        break;
    case kLim:
        LIMITER(n, L, R, fx.limThresh[slot]);
        break;
    default:
        break;
    }
}

// A run of filters can share one pass once every one of them is past its
// start-up (the start-up frames seed the memories and pass unchanged).
bool Settled(int effect, int slot, const ProcessorStates& ps) {
    if (effect == kHp) return ps.hpf.firstUse[slot] != 0;
    return ps.eq.firstUse[slot][EqStage(effect)] >= 2;
}

CascadeStage MakeStage(int effect, int slot, const EffectSettings& fx, ProcessorStates& ps) {
    CascadeStage st{};
    if (effect == kHp) {
        HpfState& h = ps.hpf;
        st = {true, {fx.hpFeedback[slot], fx.hpInput[slot], 0, 0, 0},
              {&h.OldXL[slot], &h.OldYL[slot], nullptr, nullptr},
              {&h.OldXR[slot], &h.OldYR[slot], nullptr, nullptr}};
        return st;
    }
    const int k = EqStage(effect);
    const Biquad& c = fx.eq[k][slot];
    EqState& q = ps.eq;
    st = {false, {c.b0, c.b1, c.b2, c.a1, c.a2},
          {&q.in1L[slot][k], &q.in2L[slot][k], &q.out1L[slot][k], &q.out2L[slot][k]},
          {&q.in1R[slot][k], &q.in2R[slot][k], &q.out1R[slot][k], &q.out2R[slot][k]}};
    return st;
}

// The end (one past) of the run of filters that starts at plan index first.
int FilterRunEnd(const ChainPlan& plan, int first) {
    int last = first;
    while (last < plan.count && IsFilter(plan.effect[last])) ++last;
    return last;
}

bool RunSettled(const ChainPlan& plan, int first, int last, int slot, const ProcessorStates& ps) {
    for (int k = first; k < last; ++k)
        if (!Settled(plan.effect[k], slot, ps)) return false;
    return true;
}

// The cascade stages of the run first..last-1; returns their number.
int MakeStages(const ChainPlan& plan, int first, int last, int slot, const EffectSettings& fx,
               ProcessorStates& ps, CascadeStage* stages) {
    for (int k = first; k < last; ++k) stages[k - first] = MakeStage(plan.effect[k], slot, fx, ps);
    return last - first;
}

// Runs the run of filters first..last-1 of one strip: in one cascade once
// settled, else one by one (their start-up frames).
void RunFilters(const ChainPlan& plan, int first, int last, int slot, int n,
                double* L, double* R, const EffectSettings& fx, ProcessorStates& ps) {
    if (!RunSettled(plan, first, last, slot, ps)) {
        for (int k = first; k < last; ++k) RunOne(plan.effect[k], slot, n, L, R, fx, ps);
        return;
    }
    CascadeStage stages[kMaxCascadeStages];
    FilterCascade(stages, MakeStages(plan, first, last, slot, fx, ps, stages), L, R, n);
}

void RunPlan(const ChainPlan& plan, int slot, int n, double* L, double* R,
             const EffectSettings& fx, ProcessorStates& ps) {
    for (int k = 0; k < plan.count;) {
        if (IsFilter(plan.effect[k])) {
            const int last = FilterRunEnd(plan, k);
            RunFilters(plan, k, last, slot, n, L, R, fx, ps);
            k = last;
        } else {
            RunOne(plan.effect[k], slot, n, L, R, fx, ps);
            ++k;
        }
    }
}

// One strip of a pair: its slot and its work samples for the tile.
struct PairSide {
    int slot;
    double* L;
    double* R;
};

// Two strips with the same plan, effect by effect: settled filter runs go
// side by side, and so do the RMS compressors' level measurements; the rest
// run one strip after the other. Each strip's effects still run in its own
// order on its own memories.
void RunPlanPair(const ChainPlan& plan, const PairSide& a, const PairSide& b,
                 int n, const EffectSettings& fx, ProcessorStates& ps) {
    for (int k = 0; k < plan.count;) {
        const int effect = plan.effect[k];
        if (IsFilter(effect)) {
            const int last = FilterRunEnd(plan, k);
            if (RunSettled(plan, k, last, a.slot, ps) && RunSettled(plan, k, last, b.slot, ps)) {
                CascadeStage sa[kMaxCascadeStages], sb[kMaxCascadeStages];
                const int count = MakeStages(plan, k, last, a.slot, fx, ps, sa);
                MakeStages(plan, k, last, b.slot, fx, ps, sb);
                FilterCascadePair(sa, sb, count, a.L, a.R, b.L, b.R, n);
            } else {
                RunFilters(plan, k, last, a.slot, n, a.L, a.R, fx, ps);
                RunFilters(plan, k, last, b.slot, n, b.L, b.R, fx, ps);
            }
            k = last;
            continue;
        }
        if (effect == kRms) {
            RmsCompressorPair(ps.rms, RmsCall(a.slot, a.L, a.R, fx, ps.rms),
                              RmsCall(b.slot, b.L, b.R, fx, ps.rms), n);
        } else {
            RunOne(effect, a.slot, n, a.L, a.R, fx, ps);
            RunOne(effect, b.slot, n, b.L, b.R, fx, ps);
        }
        ++k;
    }
}

VARNEL_KERNEL void ToWorkBody(const int32_t* L, const int32_t* R, double* wL, double* wR, int n) {
    for (int i = 0; i < n; ++i) {
        wL[i] = double(L[i]);
        wR[i] = double(R[i]);
    }
}
VARNEL_BUILD_TWICE(ToWorkBody)

void ToWork(const int32_t* L, const int32_t* R, double* wL, double* wR, int n) {
    VARNEL_RUN(Kernel::kBest, ToWorkBody, L, R, wL, wR, n);
}

}  // namespace

void PrepareFadeTables(const EffectSettings& fx, ProcessorStates& ps) {
    for (int slot = 0; slot < kFxSlots; ++slot) {
        if (EffectEnabled(fx, kRms, slot)) {
            const SwitchedLaw law = MakeLaw(fx.rmsAttack[slot], fx.rmsRelease[slot],
                                            fx.rmsRatio[slot], fx.rmsThresh[slot]);
            FindFade(ps.rms.fades, law.attack, law.ratio, false);
            FindFade(ps.rms.fades, law.release, law.ratio, true);
        }
        if (EffectEnabled(fx, kComp, slot)) {
            const SwitchedLaw law = MakeLaw(fx.compAttack[slot], fx.compRelease[slot],
                                            fx.compRatio[slot], fx.compThresh[slot]);
            FindFade(ps.peak.fades, law.attack, law.ratio, false);
            FindFade(ps.peak.fades, law.release, law.ratio, true);
        }
    }
    ps.rms.fades.frozen = true;
    ps.peak.fades.frozen = true;
}

void RunEffectChain(int slot, int n, double* left, double* right,
                    const EffectSettings& fx, ProcessorStates& ps, bool withLimiter) {
    if (slot < 0 || slot >= kFxSlots) return;
    const ChainPlan plan = PlanChain(slot, fx, withLimiter);
    for (int t = 0; t < n; t += kChainTile)
        RunPlan(plan, slot, std::min(kChainTile, n - t), left + t, right + t, fx, ps);
}

void RunStripEffects(int slot, int n, int32_t* L, int32_t* R, double* workL,
                     double* workR, const EffectSettings& fx, ProcessorStates& ps, double postGain,
                     double fullScale, int& clipFlag) {
    if (slot < 0 || slot >= kFxSlots) return;
    const ChainPlan plan = PlanChain(slot, fx, true);
    for (int t = 0; t < n; t += kChainTile) {
        const int m = std::min(kChainTile, n - t);
        ToWork(L + t, R + t, workL, workR, m);
        RunPlan(plan, slot, m, workL, workR, fx, ps);
        ReturnFromEffects(workL, workR, m, postGain, fullScale, clipFlag, L + t, R + t);
    }
}

bool SameEffectChain(int slotA, int slotB, const EffectSettings& fx) {
    if (slotA < 0 || slotA >= kFxSlots || slotB < 0 || slotB >= kFxSlots || slotA == slotB)
        return false;
    const ChainPlan a = PlanChain(slotA, fx, true), b = PlanChain(slotB, fx, true);
    return a.count == b.count && std::equal(a.effect, a.effect + a.count, b.effect);
}

void RunStripEffectsPair(const StripBlock& a, const StripBlock& b, int n,
                         double* work, const EffectSettings& fx, ProcessorStates& ps, double fullScale) {
    const ChainPlan plan = PlanChain(a.slot, fx, true);
    // The four tiles sit 128 bytes off a multiple of 4 KiB from each other,
    // so the loops that read or write all four at one index do not make the
    // processor match addresses that agree in their low twelve bits.
    constexpr int kStride = kPairTileStride;
    double* w[4] = {work, work + kStride, work + 2 * kStride, work + 3 * kStride};
    for (int t = 0; t < n; t += kChainTile) {
        const int m = std::min(kChainTile, n - t);
        ToWork(a.L + t, a.R + t, w[0], w[1], m);
        ToWork(b.L + t, b.R + t, w[2], w[3], m);
        RunPlanPair(plan, {a.slot, w[0], w[1]}, {b.slot, w[2], w[3]}, m, fx, ps);
        ReturnFromEffects(w[0], w[1], m, a.postGain, fullScale, a.clip, a.L + t, a.R + t);
        ReturnFromEffects(w[2], w[3], m, b.postGain, fullScale, b.clip, b.L + t, b.R + t);
    }
}

namespace {

typedef int32_t FourInts __attribute__((vector_size(16)));

// One side, four samples at a time: the gain, the running extremes for the
// clip test and the truncation's clamps as selects. MaxSelect(v, high) is
// v > high ? v : high, so a NaN sample leaves the extremes alone, as it
// fails both clip comparisons; MinSelect(v, top) and MaxSelect(v, bottom) are
// the clamps of TruncToInt32 once a NaN has been read as 0. Returns whether a
// sample lies beyond +-fullScale.
VARNEL_KERNEL bool ReturnSide(double* x, int n, double postGain, double fullScale, int32_t* out) {
    const Four gain = {postGain, postGain, postGain, postGain};
    const Four top = Opaque(Four{} + 2147483647.0);
    const Four bottom = Opaque(Four{} - 2147483648.0);
    Four high = {-fullScale, -fullScale, -fullScale, -fullScale}, low = -high;
    bool over = false;
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        Four v;
        __builtin_memcpy(&v, x + i, sizeof v);
        if (postGain != 1.0) v *= gain;
        __builtin_memcpy(x + i, &v, sizeof v);
        high = MaxSelect(v, high);
        low = MinSelect(v, low);
        const Four number = (Four)((FourBits)(v == v) & (FourBits)v);  // NaN reads as 0
        const Four clamped = MaxSelect(MinSelect(number, top), bottom);
        const FourInts t = __builtin_convertvector(clamped, FourInts);
        __builtin_memcpy(out + i, &t, sizeof t);
    }
    for (; i < n; ++i) {
        if (postGain != 1.0) x[i] *= postGain;
        over |= x[i] > fullScale || x[i] < -fullScale;
        out[i] = TruncToInt32(x[i]);
    }
    for (int k = 0; k < 4; ++k) over |= high[k] > fullScale || low[k] < -fullScale;
    return over;
}

VARNEL_KERNEL void ReturnSides(double* L, double* R, int n, double postGain, double fullScale,
                               int& clipFlag, int32_t* outL, int32_t* outR) {
    const bool overL = ReturnSide(L, n, postGain, fullScale, outL);
    const bool overR = ReturnSide(R, n, postGain, fullScale, outR);
    if (clipFlag == 0 && (overL || overR)) clipFlag = 1;
}
VARNEL_BUILD_TWICE(ReturnSides)

}  // namespace

void ReturnFromEffects(double* L, double* R, int n, double postGain, double fullScale,
                       int& clipFlag, int32_t* outL, int32_t* outR, Kernel kernel) {
    VARNEL_RUN(kernel, ReturnSides, L, R, n, postGain, fullScale, clipFlag, outL, outR);
}

}  // namespace varnel
