#include "mixer/utilities/automation.hpp"

#include <cmath>

#include "mixer/utilities/level_math.hpp"
#include "mixer/utilities/numbers.hpp"

namespace varnel {

namespace {

inline int Sign(int32_t x) { return x < 0 ? -1 : 1; }

inline int32_t ScaleSample(int32_t x, double gain) { return TruncToInt32(double(x) * gain); }

}  // namespace

void StartDueEntries(FaderState& st, const int32_t* level, const int32_t* time, int32_t* ramp,
                     const float* shape, int savedCount, int64_t s, int fader, int stride) {
    // Only entries inside the table start; every due one starts, so the last
    // written of entries sharing a time wins and no entry is ever skipped.
    while (st.position < savedCount) {
        int k = st.position;
        size_t i = size_t(k) * size_t(stride) + size_t(fader);
        if (int64_t(time[i]) > s) break;
        st.rampStart = k == 0 ? level[i] : level[i - size_t(stride)];
        st.target = level[i];
        st.startdB = LevelTodB(st.rampStart);
        st.targetdB = LevelTodB(st.target);
        if (ramp[i] == 0) ramp[i] = 1;
        if (shape[i] == 1.0f)
            st.slope = (st.targetdB - st.startdB) / double(ramp[i]);
        else
            st.delta = st.targetdB - st.startdB;
        st.progress = 0;
        st.position = k + 1;
    }
}

double RampdB(const FaderState& st, int64_t progress, int32_t rampLength, float shape) {
    if (shape == 1.0f) return st.startdB + double(progress) * st.slope;
    return st.startdB + std::pow(double(progress) / double(rampLength), double(shape)) * st.delta;
}

void AUTOMATE(AutomateState& state, int64_t blockStart, int n, int slot, FaderTables& tables,
              Playback& playback, int32_t* left, int32_t* right, int polarity, double divisor,
              float panL, float panR, const int* vcaMembership, const double* vcaGain,
              int vcaStride) {
    if (n <= 0) return;
    FaderState& st = playback.slot[size_t(slot)];
    int& oldL = state.OldPolarL[size_t(slot)];
    int& oldR = state.OldPolarR[size_t(slot)];
    double& applyL = state.ApplyLeft[size_t(slot)];
    double& applyR = state.ApplyRight[size_t(slot)];
    if (blockStart == 0) {
        oldL = -Sign(left[0]);
        oldR = -Sign(right[0]);
    }
    const int vca = vcaMembership ? vcaMembership[slot] : 0;
    const size_t stride = size_t(vcaStride > 0 ? vcaStride : n);
    const double* curve = (vca != 0 && vcaGain) ? vcaGain + size_t(vca) * stride : nullptr;
    const int saved = tables.savedCount[size_t(slot)];
    for (int i = 0; i < n; ++i) {
        const int64_t s = blockStart + i;
        const int newL = Sign(left[i]);
        const int newR = Sign(right[i]);
        StartDueEntries(st, tables.level.data(), tables.time.data(), tables.ramp.data(),
                        tables.shape.data(), saved, s, slot, kSlots);
        const bool changed = newL != oldL || newR != oldR;
        bool haveLevel = false;
        int32_t newLevel = st.applied;
        if (st.applied != st.target) {
            int r = st.position - 1;
            size_t ri = size_t(r < 0 ? 0 : r) * kSlots + size_t(slot);
            int32_t rampLength = tables.ramp[ri];
            if (st.progress < rampLength) ++st.progress;
            if (changed) {
                haveLevel = true;
                if (st.progress >= rampLength) {
                    newLevel = st.target;
                } else {
                    double dB = RampdB(st, st.progress, rampLength, tables.shape[ri]);
                    newLevel = dBToLevel(dB);
                }
            }
        } else {
            haveLevel = true;
            newLevel = st.target;
        }
        // The polarity product stays inside 32 bits: levels are at most 2^29.
        const double signedLevel = double(int64_t(polarity) * int64_t(newLevel));
        if (newL != oldL) applyL = signedLevel * double(panL) / divisor;
        if (newR != oldR) applyR = signedLevel * double(panR) / divisor;
        double gainL = applyL, gainR = applyR;
        if (curve) {
            gainL *= curve[i];
            gainR *= curve[i];
        }
        left[i] = ScaleSample(left[i], gainL);
        right[i] = ScaleSample(right[i], gainR);
        if (haveLevel) st.applied = newLevel;
        oldL = newL;
        oldR = newR;
    }
}

void InterpretLevel(FaderState& st, const int32_t* level, const int32_t* time,
                    const int32_t* ramp, const float* shape, int savedCount, int64_t t,
                    int fader, int stride) {
    auto at = [&](int e) { return size_t(e) * size_t(stride) + size_t(fader); };
    int k = 0;
    if (t > int64_t(time[at(0)])) {
        k = 1;
        while (k < savedCount && int64_t(time[at(k)]) < t) ++k;
        st.position = k;
    } else {
        st.position = 0;
    }
    if (k > 1) {
        int r = k - 1;
        int64_t e = t - int64_t(time[at(r)]);
        st.progress = 0;
        if (e >= int64_t(ramp[at(r)])) {
            st.applied = st.target = level[at(r)];
            return;
        }
        st.startdB = LevelTodB(level[at(r - 1)]);
        st.targetdB = LevelTodB(level[at(r)]);
        st.delta = st.targetdB - st.startdB;
        st.slope = ramp[at(r)] != 0 ? st.delta / double(ramp[at(r)]) : 0.0;
        double dB = RampdB(st, e, ramp[at(r)], shape[at(r)]);
        st.applied = dBToLevel(dB);
        st.target = level[at(r)];
        st.rampStart = level[at(r - 1)];
        st.progress = e;
        return;
    }
    st.applied = st.target = level[at(0)];
    st.startdB = LevelTodB(level[at(0)]);
}

}  // namespace varnel
