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

// Biquads fused in one loop: with the coefficients read from memory, the
// running values of a high-pass and four biquads just fit the registers.
constexpr int kGroupBiquads = 4;

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

// One group's stages with their memories held in registers and their
// coefficients in memory (`coef`), read afresh in every step: a group of
// five stages has more coefficients than there are registers, and a
// coefficient is an operand the multiplication can take from memory, while
// a memory spilled from a register lengthens its recursion. Stage 0 is the
// high-pass when the group has one; the biquads follow. `b` is the second
// strip's stages for a Quad, else null.
//
// A biquad keeps its second delay's pair of terms, b2 * in2 - a2 * out2,
// worked out one frame ahead (`ahead`) from what are then its first delays:
// the same operations on the same values, three registers a stage instead of
// four. The second delays themselves are written out (`last2`) only in the
// edge steps, which take every stage's last frame of the tile.
template <class V, bool kHighPass, int kBiquads>
struct Group {
    static constexpr int kStages = kBiquads + (kHighPass ? 1 : 0);
    static constexpr int kFirstBiquad = kHighPass ? 1 : 0;
    V hpOldX{}, hpOldY{};
    V in1[kBiquads > 0 ? kBiquads : 1]{};
    V out1[kBiquads > 0 ? kBiquads : 1]{};
    V ahead[kBiquads > 0 ? kBiquads : 1]{};

    Group(const CascadeStage* a, const CascadeStage* b, V (*coef)[5], V (*last2)[2]) {
        for (int s = 0; s < kStages; ++s) {
            const CascadeStage* bs = b ? b + s : nullptr;
            for (int j = 0; j < 5; ++j) coef[s][j] = Coefficient<V>(a[s], bs, j);
        }
        if constexpr (kHighPass) {
            hpOldX = Gather<V>(a[0], b, 0);
            hpOldY = Gather<V>(a[0], b, 1);
        }
        for (int k = 0; k < kBiquads; ++k) {
            const int s = k + kFirstBiquad;
            const CascadeStage* bs = b ? b + s : nullptr;
            const V in2 = Gather<V>(a[s], bs, 1), out2 = Gather<V>(a[s], bs, 3);
            in1[k] = Gather<V>(a[s], bs, 0);
            out1[k] = Gather<V>(a[s], bs, 2);
            ahead[k] = coef[s][2] * in2 - coef[s][4] * out2;
            last2[s][0] = in2;
            last2[s][1] = out2;
        }
    }

    void Store(const CascadeStage* a, const CascadeStage* b, const V (*last2)[2]) const {
        if constexpr (kHighPass) {
            Scatter(hpOldX, a[0], b, 0);
            Scatter(hpOldY, a[0], b, 1);
        }
        for (int k = 0; k < kBiquads; ++k) {
            const int s = k + kFirstBiquad;
            const CascadeStage* bs = b ? b + s : nullptr;
            Scatter(in1[k], a[s], bs, 0);
            Scatter(last2[s][0], a[s], bs, 1);
            Scatter(out1[k], a[s], bs, 2);
            Scatter(last2[s][1], a[s], bs, 3);
        }
    }

    // The stage's latest output: the next stage's input.
    template <int kStage>
    [[gnu::always_inline]] V Output() const {
        if constexpr (kHighPass && kStage == 0) {
            return hpOldY;
        } else {
            return out1[kStage - kFirstBiquad];
        }
    }

    template <int kStage, bool kEdge>
    [[gnu::always_inline]] V Step(V x, const V* c, V* last2) {
        x = Lift(x);
        if constexpr (kHighPass && kStage == 0) {
            const V y = c[0] * hpOldY + c[1] * (x - hpOldX);
            hpOldX = x;
            hpOldY = y;
            return y;
        } else {
            constexpr int k = kStage - kFirstBiquad;
            // Paired as in the single-stage filter, so flat bands stay exact.
            const V y = c[0] * x + (c[1] * in1[k] - c[3] * out1[k]) + ahead[k];
            ahead[k] = c[2] * in1[k] - c[4] * out1[k];
            if constexpr (kEdge) {
                last2[0] = in1[k];
                last2[1] = out1[k];
            }
            in1[k] = x;
            out1[k] = y;
            return y;
        }
    }
};

// Stage k of step i filters frame i - k, taking the frame stage k - 1
// filtered in step i - 1 straight from its register. Within a step the
// stages' recursions are independent and overlap, while every stage still
// sees its frames in order and each frame passes the stages in order. The
// stages of a step run from the last to the first, so each reads its
// predecessor's output before the predecessor moves on.
template <int kStage, bool kEdge, class G, class V>
[[gnu::always_inline]] inline void StageAt(G& g, const V (*coef)[5], V (*last2)[2], V* x, int i,
                                           int n) {
    if constexpr (kEdge)
        if (i - kStage < 0 || i - kStage >= n) return;
    V in;
    if constexpr (kStage == 0) {
        in = x[i];
    } else {
        in = g.template Output<kStage - 1>();
    }
    const V y = g.template Step<kStage, kEdge>(in, coef[kStage], last2[kStage]);
    if constexpr (kStage == G::kStages - 1) x[i - kStage] = y;
}

template <bool kEdge, class G, class V, int... r>
[[gnu::always_inline]] inline void StepAll(G& g, const V (*coef)[5], V (*last2)[2], V* x, int i,
                                           int n, std::integer_sequence<int, r...>) {
    (StageAt<G::kStages - 1 - r, kEdge>(g, coef, last2, x, i, n), ...);
}

template <class V, bool kHighPass, int kBiquads>
[[gnu::always_inline]] inline void CascadeGroup(const CascadeStage* a, const CascadeStage* b,
                                                V* x, int n) {
    using G = Group<V, kHighPass, kBiquads>;
    constexpr int kStages = G::kStages;
    constexpr auto order = std::make_integer_sequence<int, kStages>{};
    V coef[kStages][5];
    V last2[kStages][2];
    G g(a, b, coef, last2);
    const V(*c)[5] = coef;
    int i = 0;
    for (; i < kStages - 1 && i < n + kStages - 1; ++i) StepAll<true>(g, c, last2, x, i, n, order);
    for (; i < n - 1; ++i) {
        // Hides where c points, so the coefficients are read from memory
        // in the loop rather than held in registers.
        asm("" : "+r"(c));
        StepAll<false>(g, c, last2, x, i, n, order);
    }
    for (; i < n + kStages - 1; ++i) StepAll<true>(g, c, last2, x, i, n, order);
    g.Store(a, b, last2);
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
    case 3: CascadeGroup<V, false, 3>(a, b, x, n); break;
    case 4: CascadeGroup<V, false, 4>(a, b, x, n); break;
    case 11: CascadeGroup<V, true, 3>(a, b, x, n); break;
    case 12: CascadeGroup<V, true, 4>(a, b, x, n); break;
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
