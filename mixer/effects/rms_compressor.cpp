#include "mixer/effects/rms_compressor.hpp"

#include <algorithm>
#include <cmath>

#include "mixer/effects/gain_ramp.hpp"
#include "mixer/effects/half_cycle_meter.hpp"
#include "mixer/utilities/hot_loop.hpp"

namespace varnel {

namespace {

// The levels of each chunk are measured ahead (half_cycle_meter.hpp); the
// state machine then walks from update to update: between two updates both
// RMS levels stand still, so every state's gains for the frames in between
// follow without looking at them one by one.

// Writes p x m x gain back on frames the compressor acts on, as +-(m x gain):
// the same value, since p is +1 or -1 and rounding is symmetric.
VARNEL_KERNEL void ApplyGainsBody(double* left, double* right, int n, const double* gain) {
    for (int i = 0; i < n; ++i) {
        const double l = FlooredMagnitude(left[i]) * gain[i];
        const double r = FlooredMagnitude(right[i]) * gain[i];
        left[i] = left[i] >= 0.0 ? l : -l;
        right[i] = right[i] >= 0.0 ? r : -r;
    }
}
VARNEL_BUILD_TWICE(ApplyGainsBody)

void ApplyGains(double* left, double* right, int n, const double* gain) {
    VARNEL_RUN(Kernel::kBest, ApplyGainsBody, left, right, n, gain);
}

void QuietCount(bool updated, float rms, double halfThreshold, int& pass) {
    if (!updated) return;
    if (rms < halfThreshold) {
        ++pass;
    } else {
        pass = 0;
    }
}

// One strip's state machine for the length of a call. It writes the gain of
// every frame it acts on into `gains` (indexed by frame in the chunk) and
// notes those frames as runs; the samples change only when the chunk's
// gains are applied, run by run.
struct Machine {
    SwitchedLaw law;
    double holdGain;   // full reduction while holding
    int mode, attackCount, releaseCount, passL, passR;
    double gains[kMeasureChunk];
    int runs, runFrom[kMeasureChunk], runTo[kMeasureChunk];

    void Acted(int from, int to) {
        if (runs > 0 && runTo[runs - 1] == from) {
            runTo[runs - 1] = to;
        } else {
            runFrom[runs] = from, runTo[runs] = to, ++runs;
        }
    }

    // Release frames from i on (at most to - i) while both sides read quiet
    // or not; returns how many. Quiet, the step climbs to the end of the
    // release and the compressor goes idle; loud, it falls to 0 and stays.
    int Release(int i, int to, bool quiet) {
        const SwitchedLaw fade = law;   // in locals, so the count stays in a register
        const int k = releaseCount;
        if (k < 0 || k > fade.release) {
            // A count outside the fade (the release shortened meanwhile):
            // frame by frame.
            int state = mode, count = k, steps = 0;
            while (i + steps < to && state == kCompRelease) {
                gains[i + steps] = ReleaseStep(state, count, fade, quiet);
                ++steps;
            }
            mode = state, releaseCount = count;
            return steps;
        }
        const double* table = fade.releaseGains;   // steps 0..release where kept
        if (quiet) {
            const int steps = std::min(to - i, fade.release - k + 1);
            if (table) {
                std::copy(table + k, table + k + steps, gains + i);
            } else {
                for (int j = 0; j < steps; ++j)
                    gains[i + j] = ReleaseGain(k + j, fade.release, fade.ratio);
            }
            releaseCount = k + steps;
            if (releaseCount > fade.release) mode = kCompIdle;
            return steps;
        }
        const int steps = to - i;
        const int falling = std::min(steps, k + 1);   // steps k, k-1, ..., then 0 from there on
        if (table) {
            for (int j = 0; j < falling; ++j) gains[i + j] = table[k - j];
            std::fill(gains + i + falling, gains + i + steps, table[0]);
        } else {
            for (int j = 0; j < steps; ++j)
                gains[i + j] = ReleaseGain(std::max(k - j, 0), fade.release, fade.ratio);
        }
        releaseCount = std::max(k - steps, 0);
        return steps;
    }

    // Frames [from, to) of a chunk, over which the RMS levels stand at rmsL
    // and rmsR; the first frame closed the half-cycles flagged in updL/updR.
    void Run(int from, int to, float rmsL, float rmsR, bool updL, bool updR) {
        const double thr = law.threshold;
        int i = from;
        while (i < to) {
            if (mode == kCompIdle) {
                if (!(rmsL > thr || rmsR > thr)) return;   // untouched, bit for bit
                attackCount = 1;
                releaseCount = 1;
                passL = passR = 0;
                mode = kCompAttack;
            }
            int steps;
            if (mode == kCompAttack) {
                // A count past the end (the attack shortened meanwhile) takes
                // one step, as it would frame by frame.
                const int k = attackCount;
                const SwitchedLaw fade = law;
                steps = std::max(1, std::min(to - i, fade.attack - k + 1));
                for (int j = 0; j < steps; ++j) gains[i + j] = LawAttackGain(fade, k + j);
                if (k + steps - 1 >= law.attack) {
                    mode = kCompHolding;
                    attackCount = k + steps - 1;
                } else {
                    attackCount = k + steps;
                }
            } else if (mode == kCompHolding) {
                // Only a segment's first frame moves the quiet counts, so a
                // hold that does not end there lasts to the segment's end.
                steps = to - i;
                if (i == from) {
                    QuietCount(updL, rmsL, law.halfThreshold, passL);
                    QuietCount(updR, rmsR, law.halfThreshold, passR);
                }
                if (passL > 3 && passR > 3) {
                    mode = kCompRelease;
                    steps = 1;
                }
                std::fill(gains + i, gains + i + steps, holdGain);
            } else if (mode == kCompRelease) {
                steps = Release(i, to, rmsL < thr && rmsR < thr);
            } else {
                return;   // off or unknown: untouched
            }
            Acted(i, i + steps);
            i += steps;
        }
    }
};

// One strip's call: its machine, half-cycles and samples.
struct Strip {
    Machine m;
    HalfCycles h;
    HalfCycleUpdates u;
    double* left;
    double* right;
};

void Begin(RmsCompState& st, const RmsCompCall& call, Strip& s) {
    const int slot = call.slot;
    if (*call.firstUse == 0) {
        *call.firstUse = 1;
        st.rmsL[slot] = st.rmsR[slot] = 0.0f;
        st.squaresL[slot] = st.squaresR[slot] = 0.0f;
        st.intervalL[slot] = st.intervalR[slot] = 0.0f;
        st.oldpolarL[slot] = st.oldpolarR[slot] = 0.0;
    }
    Machine& m = s.m;
    m.law = MakeLaw(call.attack, call.release, call.ratio, call.threshold);
    m.law.attackGains = FindFade(st.fades, m.law.attack, m.law.ratio, false);
    m.law.releaseGains = FindFade(st.fades, m.law.release, m.law.ratio, true);
    m.holdGain = 1.0 / m.law.ratio;
    m.mode = *call.state;
    m.attackCount = st.attackCount[slot], m.releaseCount = st.releaseCount[slot];
    m.passL = st.passTL[slot], m.passR = st.passTR[slot];

    // Previous polarities +1 and 0 read as positive; 0 is also fresh.
    HalfCycles& h = s.h;
    h.squares = SidePair{st.squaresL[slot], st.squaresR[slot]};
    h.positive = SideMask{st.oldpolarL[slot] >= 0.0 ? -1LL : 0LL,
                          st.oldpolarR[slot] >= 0.0 ? -1LL : 0LL};
    h.fresh[0] = st.oldpolarL[slot] == 0.0, h.fresh[1] = st.oldpolarR[slot] == 0.0;
    h.last[0] = -1 - static_cast<int>(st.intervalL[slot]);
    h.last[1] = -1 - static_cast<int>(st.intervalR[slot]);
    h.rms[0] = st.rmsL[slot], h.rms[1] = st.rmsR[slot];
    s.left = call.left;
    s.right = call.right;
}

// Runs the state machine over a measured chunk starting at frame c of the call.
void WalkChunk(Strip& s, int c, int len) {
    HalfCycles& h = s.h;
    const HalfCycleUpdates& u = s.u;
    double* L = s.left + c;
    double* R = s.right + c;
    int from = 0;
    bool updL = false, updR = false;
    s.m.runs = 0;
    for (int e = 0;; ++e) {
        const int to = e < u.count ? u.frame[e] : len;
        if (to > from) s.m.Run(from, to, h.rms[0], h.rms[1], updL, updR);
        if (e == u.count) break;
        updL = u.closed[e] & 1, updR = u.closed[e] & 2;
        const int at = c + to;
        if (updL) {
            h.rms[0] = std::sqrt(static_cast<float>(u.squares[e][0]) / IntervalAt(at, h.last[0]));
            h.last[0] = at;
        }
        if (updR) {
            h.rms[1] = std::sqrt(static_cast<float>(u.squares[e][1]) / IntervalAt(at, h.last[1]));
            h.last[1] = at;
        }
        from = to;
    }
    for (int r = 0; r < s.m.runs; ++r) {
        const int a = s.m.runFrom[r], b = s.m.runTo[r];
        ApplyGains(L + a, R + a, b - a, s.m.gains + a);
    }
}

void End(RmsCompState& st, const RmsCompCall& call, const Strip& s, int n) {
    const int slot = call.slot;
    const HalfCycles& h = s.h;
    if (n > 0) {
        st.oldpolarL[slot] = h.positive[0] ? 1.0 : -1.0;
        st.oldpolarR[slot] = h.positive[1] ? 1.0 : -1.0;
        st.intervalL[slot] = IntervalAt(n - 1, h.last[0]);
        st.intervalR[slot] = IntervalAt(n - 1, h.last[1]);
    }
    st.squaresL[slot] = static_cast<float>(h.squares[0]);
    st.squaresR[slot] = static_cast<float>(h.squares[1]);
    st.rmsL[slot] = h.rms[0], st.rmsR[slot] = h.rms[1];
    *call.state = s.m.mode;
    st.attackCount[slot] = s.m.attackCount, st.releaseCount[slot] = s.m.releaseCount;
    st.passTL[slot] = s.m.passL, st.passTR[slot] = s.m.passR;
}

bool ValidSlot(int slot) { return slot >= 0 && slot < kFxSlots; }

template <int Strips>
void RunStrips(RmsCompState& st, const RmsCompCall* const* calls, int n) {
    static_assert(Strips == 1 || Strips == 2);
    Strip strips[Strips];
    for (int k = 0; k < Strips; ++k) Begin(st, *calls[k], strips[k]);
    for (int c = 0; c < n; c += kMeasureChunk) {
        const int len = std::min(kMeasureChunk, n - c);
        Strip& a = strips[0];
        if constexpr (Strips == 1) {
            MeasureHalfCycles(a.h, a.left + c, a.right + c, len, a.u);
        } else {
            Strip& b = strips[1];
            MeasureHalfCyclesPair(a.h, b.h, a.left + c, a.right + c, b.left + c, b.right + c,
                                  len, a.u, b.u);
        }
        for (int k = 0; k < Strips; ++k) WalkChunk(strips[k], c, len);
    }
    for (int k = 0; k < Strips; ++k) End(st, *calls[k], strips[k], n);
}

}  // namespace

void RMSCOMPRESSOR(RmsCompState& st, const RmsCompCall& call, int n) {
    if (!ValidSlot(call.slot)) return;
    const RmsCompCall* calls[1] = {&call};
    RunStrips<1>(st, calls, n);
}

void RmsCompressorPair(RmsCompState& st, const RmsCompCall& a, const RmsCompCall& b, int n) {
    const RmsCompCall* calls[2] = {&a, &b};
    if (ValidSlot(a.slot) && ValidSlot(b.slot) && a.slot != b.slot) {
        RunStrips<2>(st, calls, n);
        return;
    }
    for (const RmsCompCall* c : calls)
        if (ValidSlot(c->slot)) RunStrips<1>(st, &c, n);
}

}  // namespace varnel
