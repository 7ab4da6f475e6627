#include "mixer/utilities/fader_script/automation.hpp"

#include "mixer/utilities/hot_loop.hpp"

#include <cmath>

#include "mixer/utilities/metering/block_scan.hpp"
#include "mixer/utilities/fader_script/level_math.hpp"
#include "mixer/utilities/text/numbers.hpp"

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

namespace {

// What AUTOMATE needs for one call, so the sample loop and the steady path
// read the same values.
struct SlotRun {
    FaderState& st;
    int& oldL;
    int& oldR;
    double& applyL;
    double& applyR;
    FaderTables& tables;
    int slot;
    int saved;
    int polarity;
    double divisor;
    float panL, panR;
    const double* curve;  // this slot's VCA curve for the block, or null
};

// The gain a side switches to, at its next sign change, for a level.
// The polarity product stays inside 32 bits: levels are at most 2^29.
inline double SideGain(int polarity, int32_t level, float pan, double divisor) {
    const double signedLevel = double(int64_t(polarity) * int64_t(level));
    return signedLevel * double(pan) / divisor;
}

// Start of the fader's next entry, or INT64_MAX when none is left.
int64_t NextEntryTime(const SlotRun& r) {
    if (r.st.position >= r.saved) return INT64_MAX;
    return int64_t(r.tables.time[size_t(r.st.position) * kSlots + size_t(r.slot)]);
}

// True when the level stays put at sample s: no ramp is running and no entry
// starts there.
bool LevelSteadyAt(const SlotRun& r, int64_t s) {
    return r.st.applied == r.st.target && NextEntryTime(r) > s;
}

// Samples [from, n) one by one; with stopWhenSteady it returns early, at the
// first sample where the level stays put.
int AutomateSamples(SlotRun& r, int64_t blockStart, int from, int n, int32_t* left,
                    int32_t* right, bool stopWhenSteady) {
    FaderState& st = r.st;
    FaderTables& tables = r.tables;
    for (int i = from; i < n; ++i) {
        const int64_t s = blockStart + i;
        if (stopWhenSteady && LevelSteadyAt(r, s)) return i;
        const int newL = Sign(left[i]);
        const int newR = Sign(right[i]);
        StartDueEntries(st, tables.level.data(), tables.time.data(), tables.ramp.data(),
                        tables.shape.data(), r.saved, s, r.slot, kSlots);
        const bool changed = newL != r.oldL || newR != r.oldR;
        bool haveLevel = false;
        int32_t newLevel = st.applied;
        if (st.applied != st.target) {
            int e = st.position - 1;
            size_t ri = size_t(e < 0 ? 0 : e) * kSlots + size_t(r.slot);
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
        if (newL != r.oldL) r.applyL = SideGain(r.polarity, newLevel, r.panL, r.divisor);
        if (newR != r.oldR) r.applyR = SideGain(r.polarity, newLevel, r.panR, r.divisor);
        double gainL = r.applyL, gainR = r.applyR;
        if (r.curve) {
            gainL *= r.curve[i];
            gainR *= r.curve[i];
        }
        left[i] = ScaleSample(left[i], gainL);
        right[i] = ScaleSample(right[i], gainR);
        if (haveLevel) st.applied = newLevel;
        r.oldL = newL;
        r.oldR = newR;
    }
    return n;
}

// x * gain over a stretch, as ScaleSample gives it. When no product can
// reach the 32-bit limits the clamp is left out, so the loop vectorises: the
// largest product is the largest magnitude times the gain, since rounding
// keeps the order of the products.
VARNEL_KERNEL void ScaleStretchBody(int32_t* x, int from, int n, double gain) {
    if (from >= n) return;
    const double top = LargestMagnitude(x + from, n - from) * std::fabs(gain);
    if (top < 2147483647.0) {
        for (int i = from; i < n; ++i) x[i] = int32_t(double(x[i]) * gain);
    } else {
        for (int i = from; i < n; ++i) x[i] = ScaleSample(x[i], gain);
    }
}
VARNEL_BUILD_TWICE(ScaleStretchBody)

void ScaleStretch(int32_t* x, int from, int n, double gain) {
    VARNEL_RUN(Kernel::kBest, ScaleStretchBody, x, from, n, gain);
}

// One side of a steady stretch: the side keeps its gain up to its first sign
// change and takes `gain` from there to the end of the block.
VARNEL_KERNEL void ScaleSteadySideBody(int32_t* x, int from, int n, int& old, double& apply,
                                       double gain) {
    if (from >= n) return;
    const int lastSign = Sign(x[n - 1]);
    int i = from;
    if (apply != gain) {
        for (; i < n; ++i) {
            if (Sign(x[i]) != old) {
                apply = gain;
                break;
            }
            x[i] = ScaleSample(x[i], apply);
        }
    }
    ScaleStretch(x, i, n, gain);
    old = lastSign;
}
VARNEL_BUILD_TWICE(ScaleSteadySideBody)

void ScaleSteadySide(int32_t* x, int from, int n, int& old, double& apply, double gain) {
    VARNEL_RUN(Kernel::kBest, ScaleSteadySideBody, x, from, n, old, apply, gain);
}

}  // namespace

void AutomateBlock(AutomateState& state, int64_t blockStart, int n, int slot,
                       FaderTables& tables, Playback& playback, int32_t* left, int32_t* right,
                       int polarity, double divisor, float panL, float panR,
                       const int* vcaMembership, const double* vcaGain, bool steadyPath,
                       int vcaStride) {
    if (n <= 0) return;
    const size_t k = size_t(slot);
    const int vca = vcaMembership ? vcaMembership[slot] : 0;
    SlotRun r{playback.slot[k],
              state.OldPolarL[k],
              state.OldPolarR[k],
              state.ApplyLeft[k],
              state.ApplyRight[k],
              tables,
              slot,
              tables.savedCount[k],
              polarity,
              divisor,
              panL,
              panR,
              (vca != 0 && vcaGain)
                  ? vcaGain + size_t(vca) * size_t(vcaStride > 0 ? vcaStride : n)
                  : nullptr};
    if (blockStart == 0) {
        r.oldL = -Sign(left[0]);
        r.oldR = -Sign(right[0]);
    }
    // A VCA curve changes the gain every sample, so only plain faders take
    // the steady path.
    const bool steady = steadyPath && r.curve == nullptr;
    int i = 0;
    while (i < n) {
        i = AutomateSamples(r, blockStart, i, n, left, right, steady);
        if (i >= n) break;
        // From sample i until the next entry starts the level is the target:
        // each side switches to the target's gain at its next sign change,
        // exactly as the sample loop would, and the fader state does not move.
        const int64_t next = NextEntryTime(r) - blockStart;
        const int end = next < int64_t(n) ? int(next) : n;
        ScaleSteadySide(left, i, end, r.oldL, r.applyL,
                        SideGain(polarity, r.st.target, panL, divisor));
        ScaleSteadySide(right, i, end, r.oldR, r.applyR,
                        SideGain(polarity, r.st.target, panR, divisor));
        i = end;
    }
}

void AUTOMATE(AutomateState& state, int64_t blockStart, int n, int slot, FaderTables& tables,
              Playback& playback, int32_t* left, int32_t* right, int polarity, double divisor,
              float panL, float panR, const int* vcaMembership, const double* vcaGain,
              int vcaStride) {
    AutomateBlock(state, blockStart, n, slot, tables, playback, left, right, polarity, divisor,
                  panL, panR, vcaMembership, vcaGain, true, vcaStride);
}

void InterpretLevel(FaderState& st, const int32_t* level, const int32_t* time,
                    const int32_t* ramp, const float* shape, int savedCount, int64_t t,
                    int fader, int stride) {
    auto at = [&](int e) { return size_t(e) * size_t(stride) + size_t(fader); };
    int k = 0;
    if (t > int64_t(time[at(0)])) {
        k = 1;
        while (k < savedCount && int64_t(time[at(k)]) < t) ++k;
    }
    st.position = k;
    PlaceInTable(st, level, time, ramp, shape, k, t, fader, stride);
}

void PlaceInTable(FaderState& st, const int32_t* level, const int32_t* time,
                  const int32_t* ramp, const float* shape, int k, int64_t t, int fader,
                  int stride) {
    auto at = [&](int e) { return size_t(e) * size_t(stride) + size_t(fader); };
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
