#include "mixer/effects/limiter.hpp"

#include <cmath>

#include "mixer/effects/gain_ramp.hpp"
#include "mixer/utilities/hot_loop.hpp"

namespace varnel {

namespace {

constexpr double kKneeFactor = 0.89125;
constexpr double kAboveKnee = 0.125;

inline double LimitOne(double v, double knee) {
    const double p = v < 0.0 ? -1.0 : 1.0;
    const double a = std::fabs(v);
    const double m = a < kFloorMagnitude ? kFloorMagnitude : a;
    const double cut = knee + (m - knee) * kAboveKnee;
    return p * (m > knee ? cut : m);
}

// LimitOne four at a time, with the two selects that have a single
// instruction as that select: MaxSelect(floor, a) is floor > a ? floor : a,
// and MinSelect(cut, m) is the knee's select, m > knee ? cut : m. Past the
// knee the cut is below m (knee + a rounded eighth of the excess cannot
// round above m), short of it the cut is above m, and at the knee both are
// m; a NaN m comes back from either.
VARNEL_KERNEL void LimitSides(double* left, double* right, int n, double knee) {
    const Four floor = Opaque(Four{} + kFloorMagnitude);
    const Four k = {knee, knee, knee, knee};
    const Four eighth = {kAboveKnee, kAboveKnee, kAboveKnee, kAboveKnee};
    const Four zero = {0.0, 0.0, 0.0, 0.0}, one = {1.0, 1.0, 1.0, 1.0};
    const FourBits sign = (FourBits)(-zero);
    for (double* x : {left, right}) {
        int i = 0;
        for (; i + 4 <= n; i += 4) {
            Four v;
            __builtin_memcpy(&v, x + i, sizeof v);
            const Four p = v < zero ? -one : one;
            const Four a = (Four)(~sign & (FourBits)v);
            const Four m = MaxSelect(floor, a);
            const Four cut = k + (m - k) * eighth;
            const Four r = p * MinSelect(cut, m);
            __builtin_memcpy(x + i, &r, sizeof r);
        }
        for (; i < n; ++i) x[i] = LimitOne(x[i], knee);
    }
}
VARNEL_BUILD_TWICE(LimitSides)

}  // namespace

double LimiterReductiondB(double magnitude, int threshold) {
    const double m = std::fabs(magnitude);
    if (!(m > kFloorMagnitude)) return 0.0;
    const double out = LimitOne(m, threshold * kKneeFactor);
    return out < m ? 20.0 * std::log10(m / out) : 0.0;
}

void LIMITER(int n, double* left, double* right, int threshold, Kernel kernel) {
    VARNEL_RUN(kernel, LimitSides, left, right, n, threshold * kKneeFactor);
}

}  // namespace varnel
