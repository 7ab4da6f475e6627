#include "mixer/effects/half_cycle_meter.hpp"

#include "mixer/effects/gain_ramp.hpp"

namespace varnel {

namespace {

typedef float FloatPair __attribute__((vector_size(8)));

// Rounds both sums to single precision, as the sums are kept.
[[gnu::always_inline]] inline SidePair RoundToFloat(SidePair x) {
#if defined(__SSE2__) && !defined(__clang__)
    return __builtin_ia32_cvtps2pd(__builtin_ia32_cvtpd2ps(x));
#else
    return __builtin_convertvector(__builtin_convertvector(x, FloatPair), SidePair);
#endif
}

// x where the mask is clear, +0 where it is set.
[[gnu::always_inline]] inline SidePair ZeroWhere(SideMask m, SidePair x) {
#if defined(__SSE2__) && !defined(__clang__)
    return __builtin_ia32_andnpd((SidePair)m, x);
#else
    return (SidePair)(~m & (SideMask)x);
#endif
}

// The square a sample adds to its half-cycle: x x x, or 1e-8 where the
// magnitude is below the floor. A magnitude at or above the floor squares to
// at least floor x floor, exactly 1e-8, and one below it to at most that, so
// the rule is the larger of 1e-8 and the square: maxpd(a, b), a > b ? a : b,
// with the square second, so that NaN stays.
static_assert(kFloorMagnitude * kFloorMagnitude == 1e-8);
[[gnu::always_inline]] inline SidePair SquareAboveFloor(SidePair x) {
    const SidePair tiny = {1e-8, 1e-8};
#if defined(__SSE2__)
    return __builtin_ia32_maxpd(tiny, x * x);
#else
    const SidePair square = x * x;
    return tiny > square ? tiny : square;
#endif
}

// Bit 0 for the left lane's mask, bit 1 for the right's.
[[gnu::always_inline]] inline int MaskBits(SideMask m) {
#if defined(__SSE2__)
    return __builtin_ia32_movmskpd((SidePair)m);
#else
    return int(m[0] & 1) | int(m[1] & 2);
#endif
}

// A previous polarity of 0 differs from either polarity of the first frame.
void OpenFresh(HalfCycles& h, double left, double right) {
    if (!h.fresh[0] && !h.fresh[1]) return;
    const SideMask first = SidePair{left, right} >= SidePair{0.0, 0.0};
    if (h.fresh[0]) h.positive[0] = ~first[0];
    if (h.fresh[1]) h.positive[1] = ~first[1];
    h.fresh[0] = h.fresh[1] = false;
}

// Every frame of the chunk, for `Strips` strips side by side and without a
// branch, so the only serial work is the running sums.
template <int Strips>
[[gnu::always_inline]] inline void Measure(HalfCycles* const* h, const double* const* left,
                                           const double* const* right, int n,
                                           HalfCycleUpdates* const* u) {
    const SidePair zero = {0.0, 0.0};
    SidePair s[Strips];
    SideMask before[Strips];
    int c[Strips];
    for (int k = 0; k < Strips; ++k) {
        if (n > 0) OpenFresh(*h[k], left[k][0], right[k][0]);
        s[k] = h[k]->squares;
        before[k] = h[k]->positive;
        c[k] = 0;
    }
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < Strips; ++k) {
            const SidePair x = {left[k][i], right[k][i]};
            const SideMask positive = x >= zero;
            const SideMask flip = positive ^ before[k];
            const SidePair square = SquareAboveFloor(x);
            const SidePair t = RoundToFloat(s[k] + square);
            s[k] = ZeroWhere(flip, t);
            before[k] = positive;
            HalfCycleUpdates& v = *u[k];
            v.frame[c[k]] = i;
            v.squares[c[k]] = t;
            const int closed = MaskBits(flip);
            v.closed[c[k]] = closed;
            c[k] += closed != 0;
        }
    }
    for (int k = 0; k < Strips; ++k) {
        u[k]->count = c[k];
        h[k]->squares = s[k];
        h[k]->positive = before[k];
    }
}

}  // namespace

void MeasureHalfCycles(HalfCycles& h, const double* left, const double* right, int n,
                       HalfCycleUpdates& u) {
    HalfCycles* hs[1] = {&h};
    HalfCycleUpdates* us[1] = {&u};
    Measure<1>(hs, &left, &right, n, us);
}

void MeasureHalfCyclesPair(HalfCycles& ha, HalfCycles& hb, const double* la, const double* ra,
                           const double* lb, const double* rb, int n, HalfCycleUpdates& ua,
                           HalfCycleUpdates& ub) {
    HalfCycles* hs[2] = {&ha, &hb};
    const double* ls[2] = {la, lb};
    const double* rs[2] = {ra, rb};
    HalfCycleUpdates* us[2] = {&ua, &ub};
    Measure<2>(hs, ls, rs, n, us);
}

}  // namespace varnel
