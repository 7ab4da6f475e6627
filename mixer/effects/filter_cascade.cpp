#include "mixer/effects/filter_cascade.hpp"

#include <cstdint>
#include <utility>

#include "mixer/utilities/hot_loop.hpp"

namespace varnel {

namespace {

// Left and right of one strip (Pair), or of two strips (Quad: first strip's
// left and right, then the second's). Lane arithmetic is plain IEEE double
// arithmetic, the same as on single values.
typedef double Pair __attribute__((vector_size(16)));
typedef double Quad __attribute__((vector_size(32)));
typedef int64_t PairBits __attribute__((vector_size(16)));
typedef int64_t QuadBits __attribute__((vector_size(32)));

template <class V>
struct BitsFor {
    using Type = PairBits;
};
template <>
struct BitsFor<Quad> {
    using Type = QuadBits;
};
template <class V>
using BitsOf = typename BitsFor<V>::Type;

// Biquads fused in one loop; more would not fit the registers.
constexpr int kGroupBiquads = 2;

// Frames interleaved per pass (16 KiB of one strip, 32 KiB of two).
constexpr int kCascadeFrames = 1024;

template <class V>
inline V Splat(double v) {
    V x;
    for (int i = 0; i < int(sizeof(V) / sizeof(double)); ++i) x[i] = v;
    return x;
}

// The input lift of every filter: 0 <= v < 0.0001 (negative zero included)
// becomes +0.0001, -0.0001 < v < 0 becomes -0.0001, anything else (NaN too)
// stays.
template <class V>
[[gnu::always_inline]] inline V Lift(V x) {
    using Bits = BitsOf<V>;
    const V floor = Splat<V>(0.0001);
    const Bits negative = (Bits)(x < Splat<V>(0.0));   // false for -0.0 and NaN
#if defined(__SSE2__)
    if constexpr (sizeof(V) == 16) {
        // maxpd(a, b) is a > b ? a : b and minpd(a, b) is a < b ? a : b, so
        // a NaN in x comes back unchanged.
        const Bits up = (Bits)__builtin_ia32_maxpd(floor, x);
        const Bits down = (Bits)__builtin_ia32_minpd(-floor, x);
        return (V)((negative & down) | (~negative & up));
    }
#endif
    const Bits bits = (Bits)x;
    const Bits magnitude = bits & (Bits)Splat<V>(__builtin_bit_cast(double, INT64_MAX));
    const Bits small = (Bits)((V)magnitude < floor);   // false for NaN
    const Bits lifted = (Bits)floor | (negative & (Bits)Splat<V>(-0.0));
    return (V)((small & lifted) | (~small & bits));
}

// One value of every lane: from the first strip's stage a and, for a Quad,
// the second strip's stage b.
template <class V>
inline V Gather(const CascadeStage& a, const CascadeStage* b, int j) {
    if constexpr (sizeof(V) == 16) {
        return V{*a.left[j], *a.right[j]};
    } else {
        return V{*a.left[j], *a.right[j], *b->left[j], *b->right[j]};
    }
}

template <class V>
inline void Scatter(V v, const CascadeStage& a, const CascadeStage* b, int j) {
    *a.left[j] = v[0];
    *a.right[j] = v[1];
    if constexpr (sizeof(V) == 32) {
        *b->left[j] = v[2];
        *b->right[j] = v[3];
    }
}

template <class V>
inline V Coefficient(const CascadeStage& a, const CascadeStage* b, int k) {
    if constexpr (sizeof(V) == 16) {
        return V{a.c[k], a.c[k]};
    } else {
        return V{a.c[k], a.c[k], b->c[k], b->c[k]};
    }
}

template <class V>
struct HighPassState {
    V feedback, input, oldX, oldY;
};

template <class V>
struct BiquadState {
    V b0, b1, b2, a1, a2, in1, in2, out1, out2;
};

// One group's stages with their memories held in registers. Stage 0 is the
// high-pass when the group has one; the biquads follow. `b` is the second
// strip's stages for a Quad, else null.
template <class V, bool kHighPass, int kBiquads>
struct Group {
    static constexpr int kStages = kBiquads + (kHighPass ? 1 : 0);
    static constexpr int kFirstBiquad = kHighPass ? 1 : 0;
    HighPassState<V> hp{};
    BiquadState<V> f[kBiquads > 0 ? kBiquads : 1]{};

    Group(const CascadeStage* a, const CascadeStage* b) {
        if constexpr (kHighPass)
            hp = {Coefficient<V>(a[0], b, 0), Coefficient<V>(a[0], b, 1), Gather<V>(a[0], b, 0),
                  Gather<V>(a[0], b, 1)};
        for (int k = 0; k < kBiquads; ++k) {
            const int s = k + kFirstBiquad;
            const CascadeStage* bs = b ? b + s : nullptr;
            f[k] = {Coefficient<V>(a[s], bs, 0), Coefficient<V>(a[s], bs, 1),
                    Coefficient<V>(a[s], bs, 2), Coefficient<V>(a[s], bs, 3),
                    Coefficient<V>(a[s], bs, 4), Gather<V>(a[s], bs, 0),
                    Gather<V>(a[s], bs, 1),      Gather<V>(a[s], bs, 2),
                    Gather<V>(a[s], bs, 3)};
        }
    }

    void Store(const CascadeStage* a, const CascadeStage* b) const {
        if constexpr (kHighPass) {
            Scatter(hp.oldX, a[0], b, 0);
            Scatter(hp.oldY, a[0], b, 1);
        }
        for (int k = 0; k < kBiquads; ++k) {
            const int s = k + kFirstBiquad;
            const CascadeStage* bs = b ? b + s : nullptr;
            Scatter(f[k].in1, a[s], bs, 0);
            Scatter(f[k].in2, a[s], bs, 1);
            Scatter(f[k].out1, a[s], bs, 2);
            Scatter(f[k].out2, a[s], bs, 3);
        }
    }

    template <int kStage>
    [[gnu::always_inline]] V Step(V x) {
        x = Lift(x);
        if constexpr (kHighPass && kStage == 0) {
            const V y = hp.feedback * hp.oldY + hp.input * (x - hp.oldX);
            hp.oldX = x;
            hp.oldY = y;
            return y;
        } else {
            BiquadState<V>& s = f[kStage - kFirstBiquad];
            // Paired as in the single-stage filter, so flat bands stay exact.
            const V y = s.b0 * x + (s.b1 * s.in1 - s.a1 * s.out1) + (s.b2 * s.in2 - s.a2 * s.out2);
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
template <int kStage, bool kEdge, class G, class V>
[[gnu::always_inline]] inline void StageAt(G& g, V* z, V* x, int i, int n) {
    if constexpr (kEdge)
        if (i - kStage < 0 || i - kStage >= n) return;
    V in;
    if constexpr (kStage == 0) {
        in = x[i];
    } else {
        in = z[kStage - 1];
    }
    z[kStage] = g.template Step<kStage>(in);
    if constexpr (kStage == G::kStages - 1) x[i - kStage] = z[kStage];
}

template <bool kEdge, class G, class V, int... r>
[[gnu::always_inline]] inline void StepAll(G& g, V* z, V* x, int i, int n,
                                           std::integer_sequence<int, r...>) {
    (StageAt<G::kStages - 1 - r, kEdge>(g, z, x, i, n), ...);
}

template <class V, bool kHighPass, int kBiquads>
[[gnu::always_inline]] inline void CascadeGroup(const CascadeStage* a, const CascadeStage* b,
                                                V* x, int n) {
    using G = Group<V, kHighPass, kBiquads>;
    constexpr int kStages = G::kStages;
    constexpr auto order = std::make_integer_sequence<int, kStages>{};
    G g(a, b);
    V z[kStages] = {};
    int i = 0;
    for (; i < kStages - 1 && i < n + kStages - 1; ++i) StepAll<true>(g, z, x, i, n, order);
    for (; i < n; ++i) StepAll<false>(g, z, x, i, n, order);
    for (; i < n + kStages - 1; ++i) StepAll<true>(g, z, x, i, n, order);
    g.Store(a, b);
}

template <class V>
[[gnu::always_inline]] inline void RunGroupOf(const CascadeStage* a, const CascadeStage* b,
                                              bool highPass, int biquads, V* x, int n) {
    switch (biquads + (highPass ? 8 : 0)) {
    case 1: CascadeGroup<V, false, 1>(a, b, x, n); break;
    case 2: CascadeGroup<V, false, 2>(a, b, x, n); break;
    case 8: CascadeGroup<V, true, 0>(a, b, x, n); break;
    case 9: CascadeGroup<V, true, 1>(a, b, x, n); break;
    case 10: CascadeGroup<V, true, 2>(a, b, x, n); break;
    default: break;
    }
}

VARNEL_HOT_LOOP void RunGroup(const CascadeStage* a, const CascadeStage*, bool highPass,
                              int biquads, Pair* x, int n) {
    RunGroupOf<Pair>(a, nullptr, highPass, biquads, x, n);
}

VARNEL_HOT_LOOP void RunGroup(const CascadeStage* a, const CascadeStage* b, bool highPass,
                              int biquads, Quad* x, int n) {
    RunGroupOf<Quad>(a, b, highPass, biquads, x, n);
}

// Splits the stages into groups: the high-pass if it comes next, then up to
// kGroupBiquads biquads after it.
template <class Run>
void ForEachGroup(const CascadeStage* stages, int count, Run run) {
    int k = 0;
    while (k < count) {
        const bool highPass = stages[k].highPass;
        const int first = k + (highPass ? 1 : 0);
        int end = first;
        while (end < count && !stages[end].highPass && end - first < kGroupBiquads) ++end;
        run(k, highPass, end - first);
        k = end;
    }
}

// Interleaves the sides (left and right of a, then of b for a Quad) a tile
// at a time, runs every group over the tile and puts the sides back.
template <class V>
void RunTiles(const CascadeStage* a, const CascadeStage* b, int count, double* const* sides,
              int n) {
    constexpr int kLanes = int(sizeof(V) / sizeof(double));
    V x[kCascadeFrames];
    for (int t = 0; t < n; t += kCascadeFrames) {
        const int m = n - t < kCascadeFrames ? n - t : kCascadeFrames;
        for (int i = 0; i < m; ++i)
            for (int k = 0; k < kLanes; ++k) x[i][k] = sides[k][t + i];
        ForEachGroup(a, count, [&](int k, bool highPass, int biquads) {
            RunGroup(a + k, b ? b + k : nullptr, highPass, biquads, x, m);
        });
        for (int i = 0; i < m; ++i)
            for (int k = 0; k < kLanes; ++k) sides[k][t + i] = x[i][k];
    }
}

}  // namespace

void FilterCascade(const CascadeStage* stages, int count, double* left, double* right, int n) {
    double* const sides[2] = {left, right};
    RunTiles<Pair>(stages, nullptr, count, sides, n);
}

void FilterCascadePair(const CascadeStage* a, const CascadeStage* b, int count, double* leftA,
                       double* rightA, double* leftB, double* rightB, int n) {
    double* const sides[4] = {leftA, rightA, leftB, rightB};
    RunTiles<Quad>(a, b, count, sides, n);
}

}  // namespace varnel
