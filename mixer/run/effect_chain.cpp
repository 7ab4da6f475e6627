#include "mixer/run/effect_chain.hpp"

#include "mixer/effects/limiter.hpp"
#include "mixer/utilities/numbers.hpp"

namespace varnel {

namespace {

void RunOne(int effect, int slot, int64_t blockStart, int n, double* L, double* R,
            EffectSettings& fx, ProcessorStates& ps) {
    switch (effect) {
    case kHp:
        HPF(ps.hpf, n, blockStart, slot, L, R, fx.hpFeedback[slot], fx.hpInput[slot],
            fx.hpFirstUse[slot]);
        break;
    case kBand1:
    case kBand2:
    case kBand3:
    case kBand4:
    case kHshelf:
    case kLshelf: {
        int stage = effect - kBand1 + 1;  // 1..4 bands, 5 high shelf, 6 low shelf
        const Biquad& c = fx.eq[stage][slot];
        EQ(ps.eq, n, blockStart, slot, stage, L, R, c.b0, c.b1, c.b2, c.a1, c.a2,
           fx.eqFirstUse[stage][slot]);
        break;
    }
    case kRms:
        RMSCOMPRESSOR(ps.rms, slot, fx.rmsOn[slot], n, L, R, fx.rmsAttack[slot],
                      fx.rmsRelease[slot], fx.rmsRatio[slot], fx.rmsThresh[slot],
                      fx.rmsFirstUse[slot]);
        break;
    case kNlc:
        NonLinCOMP(ps.nlc, slot, n, L, R, fx.nlcWindow[slot], fx.nlcRatio[slot],
                   fx.nlcThresh[slot], fx.nlcFirstUse[slot]);
        break;
    case kComp:
        PEAKCOMPRESSOR(ps.peak, slot, fx.compState[slot], n, L, R, fx.compAttack[slot],
                       fx.compRelease[slot], fx.compRatio[slot], fx.compThresh[slot]);
        break;
    case kLim:
        LIMITER(slot, n, L, R, fx.limThresh[slot]);
        break;
    default:
        break;
    }
}

}  // namespace

void RunEffectChain(int slot, int64_t blockStart, int n, double* left, double* right,
                    EffectSettings& fx, ProcessorStates& ps, bool withLimiter) {
    if (slot < 0 || slot >= kFxSlots) return;
    for (int p = kFirstPosition; p <= kLastPosition; ++p)
        for (int e = 0; e < kChainEffects; ++e) {
            if (e == kLim && !withLimiter) continue;
            if (fx.position[e][slot] == p && EffectEnabled(fx, e, slot))
                RunOne(e, slot, blockStart, n, left, right, fx, ps);
        }
}

void ReturnFromEffects(double* L, double* R, int n, double postGain, double fullScale,
                       int& clipFlag, int32_t* outL, int32_t* outR) {
    if (postGain != 1.0)
        for (int i = 0; i < n; ++i) {
            L[i] *= postGain;
            R[i] *= postGain;
        }
    for (int i = 0; i < n; ++i) {
        if (clipFlag == 0 && (L[i] > fullScale || R[i] > fullScale || L[i] < -fullScale ||
                              R[i] < -fullScale))
            clipFlag = 1;
        outL[i] = TruncToInt32(L[i]);
        outR[i] = TruncToInt32(R[i]);
    }
}

}  // namespace varnel
