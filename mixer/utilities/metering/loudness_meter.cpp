#include "mixer/utilities/metering/loudness_meter.hpp"

#include "mixer/utilities/hot_loop.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace varnel {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kLoudnessOffset = -0.691;  // makes a 1 kHz sine read its level
constexpr double kAbsoluteGateLufs = -70.0;
constexpr double kRelativeGateLu = -10.0;
constexpr double kRangeGateLu = -20.0;
constexpr double kRangeLow = 0.10;
constexpr double kRangeHigh = 0.95;
constexpr double kSilentTruePeakDb = -144.0;  // the report's floor for a peak of 0
constexpr double kFlushBelow = 1e-30;         // filter states this small become 0
constexpr int kScratchFrames = 1024;          // scaled frames held on the stack
constexpr int kHistory = kTruePeakHistory;
// Sub-blocks reserved at most (58 hours, 16 MiB); a longer mix grows the list.
constexpr int64_t kMostReserved = int64_t(1) << 21;

// The interpolator's design: each phase is the fit of its fractional delay
// over [0, kFlatBand x rate] with the smallest largest error (about 0.01,
// so within 0.1 dB), found by least squares on a grid, reweighted
// (Lawson's method) towards the grid points with the largest errors.
constexpr double kFlatBand = 0.40;
constexpr int kDesignGrid = 161;
constexpr int kDesignRounds = 20;
// A chunk is skipped when its bound is at most the running peak: the bound
// is raised past the rounding of a 12-term sum, so a skipped chunk could not
// have raised the peak even by rounding.
constexpr double kBoundMargin = 1.0 + 1e-12;

// Analog prototype of the K-weighting stages, as fitted to the curve the
// loudness standard gives at 48 kHz.
constexpr double kShelfHz = 1681.974450955533;
constexpr double kShelfGainDb = 3.999843853973347;
constexpr double kShelfQ = 0.7071752369554196;
constexpr double kShelfBandExponent = 0.4996667741545416;
constexpr double kHighPassHz = 38.13547087602444;
constexpr double kHighPassQ = 0.5003270373238773;

// Left and right side by side: every operation is the same IEEE operation
// in each lane, so the pair gives each side's one-channel result bit for bit.
typedef double Pair __attribute__((vector_size(16)));
typedef int64_t PairBits __attribute__((vector_size(16)));
typedef double Quad __attribute__((vector_size(32)));
typedef int64_t QuadBits __attribute__((vector_size(32)));
typedef int32_t Int4 __attribute__((vector_size(16)));

double Loudness(double meanSquare) { return kLoudnessOffset + 10.0 * std::log10(meanSquare); }

// Solves a x = b (n unknowns) by elimination with partial pivoting; the
// answer replaces b.
void Solve(double (*a)[kTruePeakTaps], double* b, int n) {
    for (int c = 0; c < n; ++c) {
        int pivot = c;
        for (int r = c + 1; r < n; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
        std::swap(a[c], a[pivot]);
        std::swap(b[c], b[pivot]);
        for (int r = c + 1; r < n; ++r) {
            const double f = a[r][c] / a[c][c];
            for (int k = c; k < n; ++k) a[r][k] -= f * a[c][k];
            b[r] -= f * b[c];
        }
    }
    for (int c = n - 1; c >= 0; --c) {
        for (int k = c + 1; k < n; ++k) b[c] -= a[c][k] * b[k];
        b[c] /= a[c][c];
    }
}

// Taps (oldest first) that delay the input by `delay` samples behind the
// newest of the window, as closely as they can over the flat band.
void DesignPhase(double delay, double* taps) {
    constexpr int n = kTruePeakTaps;
    double cosD[n][kDesignGrid], sinD[n][kDesignGrid];  // of w x (delay of tap)
    double cosT[kDesignGrid], sinT[kDesignGrid], weight[kDesignGrid];
    for (int g = 0; g < kDesignGrid; ++g) {
        const double w = 2.0 * kPi * kFlatBand * g / (kDesignGrid - 1);
        for (int d = 0; d < n; ++d) {
            cosD[d][g] = std::cos(w * d);
            sinD[d][g] = std::sin(w * d);
        }
        cosT[g] = std::cos(w * delay);
        sinT[g] = std::sin(w * delay);
        weight[g] = 1.0 / kDesignGrid;
    }
    double h[n];  // h[d] is the tap d samples behind the newest
    for (int round = 0; round < kDesignRounds; ++round) {
        // Normal equations of the weighted fit of sum h[d] e^{-jwd} to e^{-jw delay}.
        double byDistance[n] = {};
        for (int g = 0; g < kDesignGrid; ++g)
            for (int d = 0; d < n; ++d) byDistance[d] += weight[g] * cosD[d][g];
        double a[n][n];
        for (int r = 0; r < n; ++r) {
            for (int c = 0; c < n; ++c) a[r][c] = byDistance[std::abs(r - c)];
            h[r] = 0.0;
            for (int g = 0; g < kDesignGrid; ++g)
                h[r] += weight[g] * (cosD[r][g] * cosT[g] + sinD[r][g] * sinT[g]);
        }
        Solve(a, h, n);
        double total = 0.0;
        for (int g = 0; g < kDesignGrid; ++g) {
            double re = -cosT[g], im = sinT[g];
            for (int d = 0; d < n; ++d) {
                re += h[d] * cosD[d][g];
                im -= h[d] * sinD[d][g];
            }
            weight[g] *= std::sqrt(re * re + im * im);
            total += weight[g];
        }
        if (!(total > 0.0)) break;
        for (double& w : weight) w /= total;
    }
    for (int d = 0; d < n; ++d) taps[n - 1 - d] = h[d];
}

void FlushTiny(double z[2]) {
    for (int i = 0; i < 2; ++i)
        if (std::fabs(z[i]) < kFlushBelow) z[i] = 0.0;
}

// Samples interpolated together, and skipped together when the filter's
// bound shows they cannot raise the true peak.
constexpr int kPeakChunk = 16;

// Largest magnitudes of v[0 .. count) and r by lane: lane 0 takes the even
// positions, lane 1 the odd ones (the left and right of interleaved frames).
// Four values at a time, in two lanes of each kind.
[[gnu::always_inline]] inline Pair LaneMaxAbs(const double* v, int count, Pair r) {
    const QuadBits magnitude = {INT64_MAX, INT64_MAX, INT64_MAX, INT64_MAX};
    Quad top = {r[0], r[1], r[0], r[1]};
    int j = 0;
    for (; j + 4 <= count; j += 4) {
        Quad a;
        __builtin_memcpy(&a, v + j, sizeof a);
        a = (Quad)((QuadBits)a & magnitude);
        top = a > top ? a : top;
    }
    Pair lanes = {std::max(top[0], top[2]), std::max(top[1], top[3])};
    if (j + 2 <= count) {
        Pair a;
        __builtin_memcpy(&a, v + j, sizeof a);
        a = (Pair)((PairBits)a & PairBits{INT64_MAX, INT64_MAX});
        lanes = a > lanes ? a : lanes;
        j += 2;
    }
    if (j < count) lanes[0] = std::max(lanes[0], std::fabs(v[j]));
    return lanes;
}

// Largest magnitudes, by lane as above, of r and of the outputs of one
// phase for the `values` values from w on (the window of value j is w[j],
// w[j + stride], ... oldest first). Each output is the first product plus
// the others in tap order: 0 plus the first would give the same magnitude.
[[gnu::always_inline]] inline Pair PhaseMaxAbs(const double* taps, const double* w, int stride,
                                               int values, Pair r) {
    const QuadBits magnitude = {INT64_MAX, INT64_MAX, INT64_MAX, INT64_MAX};
    Quad top = {r[0], r[1], r[0], r[1]};
    int j = 0;
    for (; j + 4 <= values; j += 4) {
        Quad in, acc;
        __builtin_memcpy(&in, w + j, sizeof in);
        acc = taps[0] * in;
        for (int k = 1; k < kTruePeakTaps; ++k) {
            __builtin_memcpy(&in, w + stride * k + j, sizeof in);
            acc += taps[k] * in;
        }
        acc = (Quad)((QuadBits)acc & magnitude);
        top = acc > top ? acc : top;
    }
    Pair lanes = {std::max(top[0], top[2]), std::max(top[1], top[3])};
    for (; j < values; ++j) {
        double out = taps[0] * w[j];
        for (int k = 1; k < kTruePeakTaps; ++k) out += taps[k] * w[stride * k + j];
        lanes[j & 1] = std::max(lanes[j & 1], std::fabs(out));
    }
    return lanes;
}

// Follows the true peaks of C interleaved channels over the n frames at
// x[C * kHistory ..]; x[0 .. C * kHistory) holds the frames before them.
template <int C>
[[gnu::always_inline]] inline void FollowTruePeak(const TruePeakFilter& f, const double* x, int n,
                                                  double* peak) {
    static_assert(kPeakChunk >= kHistory, "a window reaches back into one chunk at most");
    // With one channel both lanes follow it.
    Pair top = {peak[0], peak[C - 1]};
    Pair before = LaneMaxAbs(x, C * kHistory, Pair{0.0, 0.0});  // the chunk before's inputs
    for (int i0 = 0; i0 < n; i0 += kPeakChunk) {
        const int len = std::min(n - i0, kPeakChunk);
        const int values = len * C;
        // w[C * (i + k) + c] is tap k of output i of channel c.
        const double* w = x + C * i0;
        const Pair own = LaneMaxAbs(w + C * kHistory, values, Pair{0.0, 0.0});
        // No output of the chunk sees an input larger than `reach`.
        Pair reach = own > before ? own : before;
        before = own;
        if (C == 1) reach[0] = reach[1] = std::max(reach[0], reach[1]);
        if (!(reach[0] * f.gainBound > top[0] || reach[1] * f.gainBound > top[1])) continue;
        // Phase 0 is the input itself, so only the in-between phases need
        // the filter.
        top = own > top ? own : top;
        for (int p = 1; p < kTruePeakPhases; ++p) top = PhaseMaxAbs(f.phase[p], w, C, values, top);
        if (C == 1) top[0] = top[1] = std::max(top[0], top[1]);
    }
    peak[0] = top[0];
    if (C == 2) peak[1] = top[1];
}

// The K-weighting of C channels in one vector of 2C lanes: the shelf on
// frame i in the low C lanes while the high pass takes the shelf's output
// for frame i - 1 in the high C lanes. Both stages are then one step of the
// same recursion, lane by lane (the high pass's numerator 1, -2, 1
// multiplies exactly), so each lane does what the plain per-channel
// cascade does, bit for bit. Each channel's squares are added to its sum
// for the sub-block frame by frame, so the sums do not depend on how the
// frames were handed in.
template <typename V>
struct KSteps {
    V b0, b1, b2, a1, a2;  // per lane
    V z0, z1;
    // (By reference: wide vectors are not passed by value in a baseline build.)
    [[gnu::always_inline]] void Step(const V& in, V& y) {
        y = b0 * in + z0;
        z0 = b1 * in - a1 * y + z1;
        z1 = b2 * in - a2 * y;
    }
};

// Two channels: lanes shelf L, shelf R, high pass L, high pass R.
[[gnu::always_inline]] inline void KWeightPair(LoudnessState& m, const double* x, int n) {
    if (n == 0) return;
    const KBiquad s = m.k.shelf, h = m.k.highPass;
    KSteps<Quad> k{{s.b0, s.b0, h.b0, h.b0}, {s.b1, s.b1, h.b1, h.b1}, {s.b2, s.b2, h.b2, h.b2},
                   {s.a1, s.a1, h.a1, h.a1}, {s.a2, s.a2, h.a2, h.a2},
                   {m.shelfZ[0][0], m.shelfZ[1][0], m.highZ[0][0], m.highZ[1][0]},
                   {m.shelfZ[0][1], m.shelfZ[1][1], m.highZ[0][1], m.highZ[1][1]}};
    Quad sum = {0.0, 0.0, m.subSum[0], m.subSum[1]};
    Pair v;
    __builtin_memcpy(&v, x, sizeof v);
    // Frame 0 through the shelf alone: the high pass's memories stay.
    Quad held0 = k.z0, held1 = k.z1;
    Quad y;
    k.Step(__builtin_shufflevector(v, v, 0, 1, 0, 1), y);
    k.z0 = __builtin_shufflevector(k.z0, held0, 0, 1, 6, 7);
    k.z1 = __builtin_shufflevector(k.z1, held1, 0, 1, 6, 7);
    for (int i = 1; i < n; ++i) {
        __builtin_memcpy(&v, x + 2 * i, sizeof v);
        k.Step(__builtin_shufflevector(v, __builtin_shufflevector(y, y, 0, 1), 0, 1, 2, 3), y);
        sum += y * y;  // the low lanes' squares are not used
    }
    // The last frame through the high pass alone: the shelf's memories stay.
    held0 = k.z0, held1 = k.z1;
    k.Step(__builtin_shufflevector(y, y, 0, 1, 0, 1), y);
    sum += y * y;
    k.z0 = __builtin_shufflevector(held0, k.z0, 0, 1, 6, 7);
    k.z1 = __builtin_shufflevector(held1, k.z1, 0, 1, 6, 7);
    m.shelfZ[0][0] = k.z0[0], m.shelfZ[1][0] = k.z0[1], m.highZ[0][0] = k.z0[2], m.highZ[1][0] = k.z0[3];
    m.shelfZ[0][1] = k.z1[0], m.shelfZ[1][1] = k.z1[1], m.highZ[0][1] = k.z1[2], m.highZ[1][1] = k.z1[3];
    m.subSum[0] = sum[2], m.subSum[1] = sum[3];
}

// One channel: lanes shelf, high pass.
[[gnu::always_inline]] inline void KWeightOne(LoudnessState& m, const double* x, int n) {
    if (n == 0) return;
    const KBiquad s = m.k.shelf, h = m.k.highPass;
    KSteps<Pair> k{{s.b0, h.b0}, {s.b1, h.b1}, {s.b2, h.b2}, {s.a1, h.a1}, {s.a2, h.a2},
                   {m.shelfZ[0][0], m.highZ[0][0]}, {m.shelfZ[0][1], m.highZ[0][1]}};
    Pair sum = {0.0, m.subSum[0]};
    Pair held0 = k.z0, held1 = k.z1;
    Pair y;
    k.Step(Pair{x[0], x[0]}, y);
    k.z0 = __builtin_shufflevector(k.z0, held0, 0, 3);
    k.z1 = __builtin_shufflevector(k.z1, held1, 0, 3);
    for (int i = 1; i < n; ++i) {
        k.Step(Pair{x[i], y[0]}, y);
        sum += y * y;
    }
    held0 = k.z0, held1 = k.z1;
    k.Step(Pair{y[0], y[0]}, y);
    sum += y * y;
    k.z0 = __builtin_shufflevector(held0, k.z0, 0, 3);
    k.z1 = __builtin_shufflevector(held1, k.z1, 0, 3);
    m.shelfZ[0][0] = k.z0[0], m.highZ[0][0] = k.z0[1];
    m.shelfZ[0][1] = k.z1[0], m.highZ[0][1] = k.z1[1];
    m.subSum[0] = sum[1];
}

// K-weights a part of n frames, adds their squares to the sub-block and
// follows the true peaks. `scaled` has room for the history and the part.
template <int C>
[[gnu::always_inline]] inline void MeasurePart(LoudnessState& m, const int32_t* left,
                                               const int32_t* right, int n, double* scaled) {
    double* x = scaled + C * kHistory;
    int i = 0;
    if (C == 2) {
        // Four frames at a time: the sides interleaved, converted, scaled.
        const Quad scale = {m.scale, m.scale, m.scale, m.scale};
        for (; i + 4 <= n; i += 4) {
            Int4 l, r;
            __builtin_memcpy(&l, left + i, sizeof l);
            __builtin_memcpy(&r, right + i, sizeof r);
            const Quad a = __builtin_convertvector(__builtin_shufflevector(l, r, 0, 4, 1, 5), Quad);
            const Quad b = __builtin_convertvector(__builtin_shufflevector(l, r, 2, 6, 3, 7), Quad);
            const Quad sa = a * scale, sb = b * scale;
            __builtin_memcpy(x + 2 * i, &sa, sizeof sa);
            __builtin_memcpy(x + 2 * i + 4, &sb, sizeof sb);
        }
    }
    for (; i < n; ++i) {
        x[C * i] = double(left[i]) * m.scale;
        if (C == 2) x[C * i + 1] = double(right[i]) * m.scale;
    }
    if (C == 2)
        KWeightPair(m, x, n);
    else
        KWeightOne(m, x, n);
    for (int ch = 0; ch < C; ++ch) {
        FlushTiny(m.shelfZ[ch]);
        FlushTiny(m.highZ[ch]);
    }
    std::copy(m.history, m.history + C * kHistory, scaled);
    FollowTruePeak<C>(m.filter, scaled, n, m.truePeak);
    std::copy(scaled + C * n, scaled + C * (n + kHistory), m.history);
}

void FinishSubBlock(LoudnessState& m) {
    m.subSums.push_back(m.subSum[0] + m.subSum[1]);
    m.subSum[0] = m.subSum[1] = 0.0;
    m.subIndex += 1;
    m.subEnd = ((m.subIndex + 1) * int64_t(m.rate)) / 10;
}

// Mean square of the `count` sub-blocks that end with sub-block `last`.
double MeanOfLast(const LoudnessState& m, int64_t last, int count) {
    double sum = 0.0;
    for (int j = 0; j < count; ++j) sum += m.subSums[size_t(last - j)];
    const int64_t rate = m.rate;
    const int64_t frames = ((last + 1) * rate) / 10 - ((last + 1 - count) * rate) / 10;
    return frames > 0 ? sum / double(frames) : 0.0;
}

// Integrated loudness: the 400 ms blocks above the absolute gate, then those
// above the relative gate, each compared by its own loudness.
double IntegratedLoudness(const LoudnessState& m) {
    const int64_t subs = int64_t(m.subSums.size());
    double power = 0.0;
    int64_t count = 0;
    for (int64_t e = kGatingSubBlocks - 1; e < subs; ++e) {
        const double ms = MeanOfLast(m, e, kGatingSubBlocks);
        if (ms > 0.0 && Loudness(ms) > kAbsoluteGateLufs) {
            power += ms;
            count += 1;
        }
    }
    if (count == 0) return -std::numeric_limits<double>::infinity();
    const double gate = Loudness(power / double(count)) + kRelativeGateLu;
    power = 0.0;
    count = 0;
    for (int64_t e = kGatingSubBlocks - 1; e < subs; ++e) {
        const double ms = MeanOfLast(m, e, kGatingSubBlocks);
        if (!(ms > 0.0)) continue;
        const double lufs = Loudness(ms);
        if (lufs > kAbsoluteGateLufs && lufs > gate) {
            power += ms;
            count += 1;
        }
    }
    return Loudness(power / double(count));  // the loudest block is always above the gate
}

// Loudness range: the 3 s values above both gates, each compared by its own
// loudness; the value at rank round(p x (count - 1)) of them, ascending,
// for p = 95 % less the one for p = 10 %.
double LoudnessRange(const LoudnessState& m) {
    const int64_t subs = int64_t(m.subSums.size());
    std::vector<double> values;
    values.reserve(size_t(std::max<int64_t>(0, subs - (kShortTermSubBlocks - 1))));
    double power = 0.0;
    for (int64_t e = kShortTermSubBlocks - 1; e < subs; ++e) {
        const double ms = MeanOfLast(m, e, kShortTermSubBlocks);
        if (!(ms > 0.0)) continue;
        const double lufs = Loudness(ms);
        if (!(lufs > kAbsoluteGateLufs)) continue;
        power += ms;
        values.push_back(lufs);
    }
    if (values.empty()) return 0.0;
    const double gate = Loudness(power / double(values.size())) + kRangeGateLu;
    values.erase(std::remove_if(values.begin(), values.end(), [&](double v) { return !(v > gate); }),
                 values.end());
    const int64_t count = int64_t(values.size());  // at least the loudest
    auto at = [&](double p) {
        const auto rank = values.begin() + std::llround(p * double(count - 1));
        std::nth_element(values.begin(), rank, values.end());
        return *rank;
    };
    const double low = at(kRangeLow);
    return at(kRangeHigh) - low;
}

double PeakDb(double peak) { return peak > 0.0 ? 20.0 * std::log10(peak) : kSilentTruePeakDb; }

}  // namespace

KWeighting KWeightingFor(double rate) {
    KWeighting w{};
    double k = std::tan(kPi * kShelfHz / rate);
    const double vh = std::pow(10.0, kShelfGainDb / 20.0);
    const double vb = std::pow(vh, kShelfBandExponent);
    double a0 = 1.0 + k / kShelfQ + k * k;
    w.shelf.b0 = (vh + vb * k / kShelfQ + k * k) / a0;
    w.shelf.b1 = 2.0 * (k * k - vh) / a0;
    w.shelf.b2 = (vh - vb * k / kShelfQ + k * k) / a0;
    w.shelf.a1 = 2.0 * (k * k - 1.0) / a0;
    w.shelf.a2 = (1.0 - k / kShelfQ + k * k) / a0;

    // The high pass keeps the unnormalised numerator 1, -2, 1 of the
    // published 48 kHz stage.
    k = std::tan(kPi * kHighPassHz / rate);
    a0 = 1.0 + k / kHighPassQ + k * k;
    w.highPass.b0 = 1.0;
    w.highPass.b1 = -2.0;
    w.highPass.b2 = 1.0;
    w.highPass.a1 = 2.0 * (k * k - 1.0) / a0;
    w.highPass.a2 = (1.0 - k / kHighPassQ + k * k) / a0;
    return w;
}

TruePeakFilter MakeTruePeakFilter() {
    TruePeakFilter f{};
    f.phase[0][kTruePeakTaps - 1 - kTruePeakCentre] = 1.0;
    for (int p = 1; p < kTruePeakPhases; ++p) {
        // Phases p and kTruePeakPhases - p mirror each other: design one, reverse it.
        if (2 * p > kTruePeakPhases) {
            for (int k = 0; k < kTruePeakTaps; ++k)
                f.phase[p][k] = f.phase[kTruePeakPhases - p][kTruePeakTaps - 1 - k];
            continue;
        }
        DesignPhase(kTruePeakCentre - double(p) / kTruePeakPhases, f.phase[p]);
    }
    for (const auto& phase : f.phase) {
        double magnitude = 0.0;
        for (double c : phase) magnitude += std::fabs(c);
        f.gainBound = std::max(f.gainBound, magnitude * kBoundMargin);
    }
    return f;
}

void StartLoudnessMeter(LoudnessState& m, uint32_t rate, int channels, double fullScale,
                        int64_t expectedFrames) {
    m = LoudnessState{};
    m.started = rate > 0 && (channels == 1 || channels == 2) && fullScale > 0.0;
    if (!m.started) return;
    m.channels = channels;
    m.rate = rate;
    m.scale = 1.0 / fullScale;
    m.k = KWeightingFor(double(rate));
    m.filter = MakeTruePeakFilter();
    m.subEnd = int64_t(rate) / 10;
    if (expectedFrames > 0) {
        const int64_t r = rate;  // sub-blocks finished in the window, and one
        const int64_t subs = expectedFrames / r * 10 + expectedFrames % r * 10 / r + 1;
        m.subSums.reserve(size_t(std::min(subs, kMostReserved)));
    }
}

namespace {

VARNEL_KERNEL void MeasureLoudnessBody(LoudnessState& m, const int32_t* left, const int32_t* right,
                                       int n) {
    if (!m.started) return;
    double scaled[2 * (kHistory + kScratchFrames)];
    int done = 0;
    while (done < n) {
        // Up to the end of the current 100 ms sub-block, a scratch at a time.
        const int part = int(std::min<int64_t>({int64_t(n - done), m.subEnd - m.frames,
                                                int64_t(kScratchFrames)}));
        if (m.channels == 2)
            MeasurePart<2>(m, left + done, right + done, part, scaled);
        else
            MeasurePart<1>(m, left + done, nullptr, part, scaled);
        m.frames += part;
        done += part;
        if (m.frames == m.subEnd) FinishSubBlock(m);
    }
}
VARNEL_BUILD_TWICE(MeasureLoudnessBody)

}  // namespace

void MeasureLoudness(LoudnessState& m, const int32_t* left, const int32_t* right, int n) {
    VARNEL_RUN(Kernel::kBest, MeasureLoudnessBody, m, left, right, n);
}

LoudnessFigures LoudnessResult(const LoudnessState& m) {
    LoudnessFigures r;
    r.integrated = -std::numeric_limits<double>::infinity();
    r.truePeakL = r.truePeakR = kSilentTruePeakDb;
    if (!m.started) return r;
    r.integrated = IntegratedLoudness(m);
    r.range = LoudnessRange(m);

    // The interpolator's run-out: the last inputs followed by as many frames
    // of silence as the filter is long, so a peak in the last samples counts.
    double tail[2 * (kHistory + kTruePeakTaps)] = {};
    std::copy(m.history, m.history + m.channels * kHistory, tail);
    double peak[2] = {m.truePeak[0], m.truePeak[1]};
    if (m.channels == 2)
        FollowTruePeak<2>(m.filter, tail, kTruePeakTaps, peak);
    else
        FollowTruePeak<1>(m.filter, tail, kTruePeakTaps, peak);
    r.truePeakL = PeakDb(peak[0]);
    r.truePeakR = m.channels == 2 ? PeakDb(peak[1]) : r.truePeakL;
    return r;
}

double LoudnessOfLast(const LoudnessState& m, int64_t last, int count) {
    if (count <= 0 || last + 1 < count || last >= int64_t(m.subSums.size()))
        return std::numeric_limits<double>::quiet_NaN();
    const double ms = MeanOfLast(m, last, count);
    return ms > 0.0 ? Loudness(ms) : -std::numeric_limits<double>::infinity();
}

}  // namespace varnel
