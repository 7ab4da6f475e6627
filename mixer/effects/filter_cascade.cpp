#include "mixer/effects/filter_cascade.hpp"

#include <cstdint>
#include <utility>

#include "mixer/utilities/hot_loop.hpp"

namespace varnel {

namespace {

// Left and right side of one value. Lane arithmetic is plain IEEE double
// arithmetic, the same as on single values.
typedef double Pair __attribute__((vector_size(16)));
typedef int64_t PairBits __attribute__((vector_size(16)));

// Biquads fused in one loop; more would not fit the registers.
constexpr int kGroupBiquads = 2;

// Frames interleaved per pass (16 KiB, so they stay in the first-level cache).
constexpr int kCascadeFrames = 1024;

inline Pair Both(double v) { return Pair{v, v}; }

// The input lift of every filter: 0 <= v < 0.0001 (negative zero included)
// becomes +0.0001, -0.0001 < v < 0 becomes -0.0001, anything else (NaN too)
// stays.
[[gnu::always_inline]] inline Pair Lift(Pair x) {
    const Pair floor = Both(0.0001);
    const PairBits negative = (PairBits)(x < Both(0.0));   // false for -0.0 and NaN
#if defined(__SSE2__)
    // maxpd(a, b) is a > b ? a : b and minpd(a, b) is a < b ? a : b, so a NaN
    // in x comes back unchanged.
    const PairBits up = (PairBits)__builtin_ia32_maxpd(floor, x);
    const PairBits down = (PairBits)__builtin_ia32_minpd(-floor, x);
    return (Pair)((negative & down) | (~negative & up));
#else
    const PairBits bits = (PairBits)x;
    const PairBits magnitudeBits = {INT64_MAX, INT64_MAX};
    const PairBits signBit = {INT64_MIN, INT64_MIN};
    const Pair magnitude = (Pair)(bits & magnitudeBits);
    const PairBits small = (PairBits)(magnitude < floor);   // false for NaN
    const PairBits lifted = (PairBits)floor | (negative & signBit);
    return (Pair)((small & lifted) | (~small & bits));
#endif
}

struct HighPassPair {
    Pair feedback, input, oldX, oldY;
};

struct BiquadPairState {
    Pair b0, b1, b2, a1, a2, in1, in2, out1, out2;
};

// One group's stages with their memories held in registers. Stage 0 is the
// high-pass when the group has one; the biquads follow.
template <bool kHighPass, int kBiquads>
struct Group {
    static constexpr int kStages = kBiquads + (kHighPass ? 1 : 0);
    HighPassPair hp{};
    BiquadPairState f[kBiquads > 0 ? kBiquads : 1]{};

    explicit Group(const CascadeStage* stages) {
        if constexpr (kHighPass) {
            const CascadeStage& s = stages[0];
            hp = {Both(s.c[0]), Both(s.c[1]), Pair{*s.left[0], *s.right[0]},
                  Pair{*s.left[1], *s.right[1]}};
        }
        for (int k = 0; k < kBiquads; ++k) {
            const CascadeStage& s = stages[k + (kHighPass ? 1 : 0)];
            f[k] = {Both(s.c[0]), Both(s.c[1]), Both(s.c[2]), Both(s.c[3]), Both(s.c[4]),
                    Pair{*s.left[0], *s.right[0]}, Pair{*s.left[1], *s.right[1]},
                    Pair{*s.left[2], *s.right[2]}, Pair{*s.left[3], *s.right[3]}};
        }
    }

    void Store(const CascadeStage* stages) const {
        if constexpr (kHighPass) {
            const CascadeStage& s = stages[0];
            *s.left[0] = hp.oldX[0], *s.right[0] = hp.oldX[1];
            *s.left[1] = hp.oldY[0], *s.right[1] = hp.oldY[1];
        }
        for (int k = 0; k < kBiquads; ++k) {
            const CascadeStage& s = stages[k + (kHighPass ? 1 : 0)];
            const Pair v[4] = {f[k].in1, f[k].in2, f[k].out1, f[k].out2};
            for (int j = 0; j < 4; ++j) {
                *s.left[j] = v[j][0];
                *s.right[j] = v[j][1];
            }
        }
    }

    template <int kStage>
    [[gnu::always_inline]] Pair Step(Pair x) {
        x = Lift(x);
        if constexpr (kHighPass && kStage == 0) {
            const Pair y = hp.feedback * hp.oldY + hp.input * (x - hp.oldX);
            hp.oldX = x;
            hp.oldY = y;
            return y;
        } else {
            BiquadPairState& s = f[kStage - (kHighPass ? 1 : 0)];
            // Paired as in the single-stage filter, so flat bands stay exact.
            const Pair y = s.b0 * x + (s.b1 * s.in1 - s.a1 * s.out1) + (s.b2 * s.in2 - s.a2 * s.out2);
            s.in2 = s.in1;
            s.in1 = x;
            s.out2 = s.out1;
            s.out1 = y;
            return y;
        }
    }
};

// Stage k of step i filters frame i - k, taking the frame stage k - 1
// filtered in step i - 1 straight from a register. Within a step the
// stages' recursions are independent and overlap, while every stage still
// sees its frames in order and each frame passes the stages in order. The
// stages of a step run from the last to the first, so each reads its
// predecessor's output before the predecessor moves on.
template <int kStage, bool kEdge, class G>
[[gnu::always_inline]] inline void StageAt(G& g, Pair* z, Pair* x, int i, int n) {
    if constexpr (kEdge)
        if (i - kStage < 0 || i - kStage >= n) return;
    Pair in;
    if constexpr (kStage == 0) {
        in = x[i];
    } else {
        in = z[kStage - 1];
    }
    z[kStage] = g.template Step<kStage>(in);
    if constexpr (kStage == G::kStages - 1) x[i - kStage] = z[kStage];
}

template <bool kEdge, class G, int... r>
[[gnu::always_inline]] inline void StepAll(G& g, Pair* z, Pair* x, int i, int n,
                                           std::integer_sequence<int, r...>) {
    (StageAt<G::kStages - 1 - r, kEdge>(g, z, x, i, n), ...);
}

template <bool kHighPass, int kBiquads>
[[gnu::always_inline]] inline void CascadeGroup(const CascadeStage* stages, Pair* x, int n) {
    using G = Group<kHighPass, kBiquads>;
    constexpr int kStages = G::kStages;
    constexpr auto order = std::make_integer_sequence<int, kStages>{};
    G g(stages);
    Pair z[kStages] = {};
    int i = 0;
    for (; i < kStages - 1 && i < n + kStages - 1; ++i) StepAll<true>(g, z, x, i, n, order);
    for (; i < n; ++i) StepAll<false>(g, z, x, i, n, order);
    for (; i < n + kStages - 1; ++i) StepAll<true>(g, z, x, i, n, order);
    g.Store(stages);
}

VARNEL_HOT_LOOP void RunGroup(const CascadeStage* stages, bool highPass, int biquads, Pair* x,
                              int n) {
    switch (biquads + (highPass ? 8 : 0)) {
    case 1: CascadeGroup<false, 1>(stages, x, n); break;
    case 2: CascadeGroup<false, 2>(stages, x, n); break;
    case 3: CascadeGroup<false, 3>(stages, x, n); break;
    case 4: CascadeGroup<false, 4>(stages, x, n); break;
    case 8: CascadeGroup<true, 0>(stages, x, n); break;
    case 9: CascadeGroup<true, 1>(stages, x, n); break;
    case 10: CascadeGroup<true, 2>(stages, x, n); break;
    case 11: CascadeGroup<true, 3>(stages, x, n); break;
    case 12: CascadeGroup<true, 4>(stages, x, n); break;
    default: break;
    }
}

void RunGroups(const CascadeStage* stages, int count, Pair* x, int n) {
    int k = 0;
    while (k < count) {
        // A group: the high-pass if it comes next, then the biquads after it.
        const bool highPass = stages[k].highPass;
        int end = k + (highPass ? 1 : 0);
        while (end < count && !stages[end].highPass && end - k - (highPass ? 1 : 0) < kGroupBiquads)
            ++end;
        RunGroup(stages + k, highPass, end - k - (highPass ? 1 : 0), x, n);
        k = end;
    }
}

}  // namespace

void FilterCascade(const CascadeStage* stages, int count, double* left, double* right, int n) {
    Pair x[kCascadeFrames];
    for (int t = 0; t < n; t += kCascadeFrames) {
        const int m = n - t < kCascadeFrames ? n - t : kCascadeFrames;
        for (int i = 0; i < m; ++i) x[i] = Pair{left[t + i], right[t + i]};
        RunGroups(stages, count, x, m);
        for (int i = 0; i < m; ++i) {
            left[t + i] = x[i][0];
            right[t + i] = x[i][1];
        }
    }
}


}  // namespace varnel
