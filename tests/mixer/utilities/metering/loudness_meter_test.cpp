#include "mixer/utilities/metering/loudness_meter.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

using namespace varnel;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFull24 = 8388608.0;

struct Segment {
    double dbfs;     // sine peak level
    double seconds;
};

// A 1 kHz sine (or `hz`) through level steps, on the 24-bit output scale.
std::vector<int32_t> SteppedSine(const std::vector<Segment>& segments, uint32_t rate,
                                 double hz = 1000.0) {
    std::vector<int32_t> out;
    int64_t i = 0;
    for (const Segment& s : segments) {
        const double amp = std::pow(10.0, s.dbfs / 20.0) * kFull24;
        const int64_t frames = int64_t(std::llround(s.seconds * rate));
        for (int64_t k = 0; k < frames; ++k, ++i)
            out.push_back(int32_t(std::lround(amp * std::sin(2.0 * kPi * hz * double(i) / rate))));
    }
    return out;
}

// Feeds the same samples to both sides (or one), in blocks of `block`.
LoudnessFigures Measure(const std::vector<int32_t>& x, uint32_t rate, int channels,
                        int block = 131072) {
    LoudnessState m;
    StartLoudnessMeter(m, rate, channels, kFull24);
    for (size_t at = 0; at < x.size(); at += size_t(block)) {
        const int n = int(std::min<size_t>(size_t(block), x.size() - at));
        MeasureLoudness(m, x.data() + at, x.data() + at, n);
    }
    return LoudnessResult(m);
}

double Lufs(double meanSquare) { return -0.691 + 10.0 * std::log10(meanSquare); }

// The gating rules worked out plainly from a list of loudness values (one
// per block or per 3 s value): the values above -70 LUFS, then those above
// `relative` LU under their power mean.
std::vector<double> Gated(const std::vector<double>& lufs, double relative) {
    std::vector<double> kept;
    double power = 0.0;
    for (double v : lufs)
        if (v > -70.0) {
            kept.push_back(v);
            power += std::pow(10.0, (v + 0.691) / 10.0);
        }
    if (kept.empty()) return kept;
    const double gate = Lufs(power / double(kept.size())) + relative;
    std::vector<double> out;
    for (double v : kept)
        if (v > gate) out.push_back(v);
    return out;
}

double PowerMean(const std::vector<double>& lufs) {
    double power = 0.0;
    for (double v : lufs) power += std::pow(10.0, (v + 0.691) / 10.0);
    return Lufs(power / double(lufs.size()));
}

double RangeOf(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const double n1 = double(v.size() - 1);
    return v[size_t(std::llround(0.95 * n1))] - v[size_t(std::llround(0.10 * n1))];
}

// Loudness of each window of `width` of a stereo 1 kHz sine whose level is
// held for each 100 ms (`tenths`, dBFS): what the meter should read, short of
// the K-weighting's brief settling at each step.
std::vector<double> WindowLevels(const std::vector<double>& tenths, int width) {
    std::vector<double> out;
    for (size_t e = size_t(width - 1); e < tenths.size(); ++e) {
        double power = 0.0;
        for (int j = 0; j < width; ++j) power += std::pow(10.0, tenths[e - size_t(j)] / 10.0);
        out.push_back(10.0 * std::log10(power / width));
    }
    return out;
}

std::vector<double> Tenths(const std::vector<Segment>& segments) {
    std::vector<double> t;
    for (const Segment& s : segments) t.insert(t.end(), size_t(std::llround(s.seconds * 10)), s.dbfs);
    return t;
}

// The transposed direct form II biquad, as published, for the reference sums.
double PlainStage(const KBiquad& c, double z[2], double x) {
    const double y = c.b0 * x + z[0];
    z[0] = c.b1 * x - c.a1 * y + z[1];
    z[1] = c.b2 * x - c.a2 * y;
    return y;
}

// Deterministic noise with a slow level swell, different on each side.
std::vector<int32_t> Noise(size_t n, uint32_t seed, double peak) {
    std::vector<int32_t> x(n);
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double u = double(seed >> 8) / double(1u << 24) * 2.0 - 1.0;
        const double swell = 0.55 + 0.45 * std::sin(double(i) * 1e-4 * (1 + seed % 3));
        x[i] = int32_t(std::lround(u * swell * peak * kFull24));
    }
    return x;
}

// The interpolator's response of phase p at f (a fraction of the rate),
// relative to the delay it stands for.
double PhaseGainDb(const TruePeakFilter& f, int p, double fraction) {
    std::complex<double> h = 0.0;
    for (int k = 0; k < kTruePeakTaps; ++k)
        h += f.phase[p][k] * std::polar(1.0, -2.0 * kPi * fraction * (kTruePeakTaps - 1 - k));
    return 20.0 * std::log10(std::abs(h));
}

// Every output of every phase at every frame, the run-out included, with no
// chunk skipped: the meter's true peak must equal it bit for bit.
double BruteTruePeak(const TruePeakFilter& f, const std::vector<int32_t>& x) {
    std::vector<double> w(size_t(kTruePeakHistory), 0.0);
    for (int32_t v : x) w.push_back(double(v) / kFull24);
    w.insert(w.end(), size_t(kTruePeakTaps), 0.0);
    double peak = 0.0;
    for (size_t i = 0; i + kTruePeakTaps <= w.size(); ++i) {
        peak = std::max(peak, std::fabs(w[i + kTruePeakTaps - 1]));
        for (int p = 1; p < kTruePeakPhases; ++p) {
            double out = 0.0;
            for (int k = 0; k < kTruePeakTaps; ++k) out += f.phase[p][k] * w[i + size_t(k)];
            peak = std::max(peak, std::fabs(out));
        }
    }
    return 20.0 * std::log10(peak);
}

}  // namespace

TEST(KWeighting, MatchesThePublished48kHzCoefficients) {
    const KWeighting k = KWeightingFor(48000.0);
    const double tol = 1e-8;
    EXPECT_NEAR(k.shelf.b0, 1.53512485958697, tol);
    EXPECT_NEAR(k.shelf.b1, -2.69169618940638, tol);
    EXPECT_NEAR(k.shelf.b2, 1.19839281085285, tol);
    EXPECT_NEAR(k.shelf.a1, -1.69065929318241, tol);
    EXPECT_NEAR(k.shelf.a2, 0.73248077421585, tol);
    EXPECT_EQ(k.highPass.b0, 1.0);
    EXPECT_EQ(k.highPass.b1, -2.0);
    EXPECT_EQ(k.highPass.b2, 1.0);
    EXPECT_NEAR(k.highPass.a1, -1.99004745483398, tol);
    EXPECT_NEAR(k.highPass.a2, 0.99007225036621, tol);
}

// The meter's sub-block sums are the plain per-channel recursion's, each
// channel summed frame by frame, bit for bit, whichever way the frames arrive.
TEST(Loudness, SubBlockSumsEqualThePlainRecursion) {
    const uint32_t rate = 44100;
    const std::vector<int32_t> left = Noise(rate * 2 + 777, 1, 0.5);
    const std::vector<int32_t> right = Noise(left.size(), 2, 0.1);
    for (int channels : {1, 2}) {
        const KWeighting k = KWeightingFor(rate);
        double z[2][2][2] = {};
        std::vector<double> expected;
        double sum[2] = {};
        for (size_t i = 0; i < left.size(); ++i) {
            for (int ch = 0; ch < channels; ++ch) {
                const double v = double((ch ? right : left)[i]) / kFull24;
                const double y = PlainStage(k.highPass, z[ch][1], PlainStage(k.shelf, z[ch][0], v));
                sum[ch] += y * y;
            }
            if ((i + 1) % (rate / 10) == 0) {
                expected.push_back(sum[0] + sum[1]);
                sum[0] = sum[1] = 0.0;
            }
        }
        for (int block : {1, 1000, 4410, 131072}) {
            LoudnessState m;
            StartLoudnessMeter(m, rate, channels, kFull24);
            for (size_t at = 0; at < left.size(); at += size_t(block)) {
                const int n = int(std::min<size_t>(size_t(block), left.size() - at));
                MeasureLoudness(m, left.data() + at, right.data() + at, n);
            }
            ASSERT_EQ(m.subSums.size(), expected.size());
            for (size_t s = 0; s < expected.size(); ++s)
                EXPECT_EQ(m.subSums[s], expected[s]) << channels << " channels, block " << block;
        }
    }
}

TEST(Loudness, IntegratedConformanceCases) {
    struct Case {
        const char* name;
        std::vector<Segment> segments;
        uint32_t rate;
        int channels;
        double expected;
    };
    // Stereo cases read the sine's level; a single channel reads 3.01 LU less
    // (half the power of two equal channels).
    const double mono = -23.0 + 10.0 * std::log10(0.5);
    const Case cases[] = {
        {"-23 dBFS 20 s", {{-23, 20}}, 48000, 2, -23.0},
        {"-33 dBFS 20 s", {{-33, 20}}, 48000, 2, -33.0},
        {"-36/-23/-36", {{-36, 10}, {-23, 60}, {-36, 10}}, 48000, 2, -23.0},
        {"-72/-36/-23/-36/-72", {{-72, 10}, {-36, 10}, {-23, 60}, {-36, 10}, {-72, 10}}, 48000, 2, -23.0},
        {"-26/-20/-26", {{-26, 20}, {-20, 20.1}, {-26, 20}}, 48000, 2, -23.0},
        {"-23 dBFS at 44.1 kHz", {{-23, 20}}, 44100, 2, -23.0},
        {"-23 dBFS at 96 kHz", {{-23, 10}}, 96000, 2, -23.0},
        {"-23 dBFS one channel", {{-23, 20}}, 48000, 1, mono},
        {"-69.5 dBFS, above the absolute gate", {{-69.5, 5}}, 48000, 2, -69.5},
    };
    for (const Case& c : cases) {
        const LoudnessFigures f = Measure(SteppedSine(c.segments, c.rate), c.rate, c.channels);
        EXPECT_NEAR(f.integrated, c.expected, 0.1) << c.name;
    }
}

// Each 400 ms block meets the relative gate with its own loudness. The
// expected figures follow from the segments' levels by the gating rules
// (the K-weighting's settling at a step moves them by under 0.01 LU).
TEST(Loudness, EachBlockMeetsTheGateByItsOwnLoudness) {
    struct Case {
        std::vector<Segment> segments;
        double published;  // an independent meter's reading, where known
    };
    const Case cases[] = {
        // The quiet half lies 0.003 LU above the gate: kept. A gate 1 LU
        // higher drops it (-20.0); one read by its 0.01 LU bin did too.
        {{{-19.994, 10}, {-32.77804, 10}}, -22.77},
        // The quiet half lies 0.4 LU below the gate: dropped. A gate 1 LU
        // lower keeps it (-22.8).
        {{{-20, 10}, {-33.2, 10}}, NAN},
        // Quiet, loud, quiet: the quiet parts 0.6 LU above the gate.
        {{{-29.3, 8}, {-20, 4}, {-29.3, 8}}, NAN},
    };
    for (const Case& c : cases) {
        const std::vector<double> kept = Gated(WindowLevels(Tenths(c.segments), 4), -10.0);
        const double expected = PowerMean(kept);
        const LoudnessFigures f = Measure(SteppedSine(c.segments, 48000), 48000, 2);
        EXPECT_NEAR(f.integrated, expected, 0.02) << c.segments[1].dbfs;
        if (!std::isnan(c.published)) {
            EXPECT_NEAR(f.integrated, c.published, 0.05);
        }
    }
}

// The loudness range from exact 3 s values: a level swell makes every rank
// of the percentiles a different value (0.05 to 0.1 LU apart, wider at the
// top), and its foot lies across the range gate, so a percentile one rank
// off or a gate 1 LU away moves the figure by more than the tolerance.
TEST(Loudness, RangeTakesEachValueAndRankExactly) {
    std::vector<double> tenths;
    for (int i = 0; i < 800; ++i)  // -45 to -5 dBFS over 80 s, faster and faster
        tenths.push_back(-45.0 + 40.0 * (0.5 * i / 800.0 + 0.5 * (i / 800.0) * (i / 800.0)));
    std::vector<Segment> segments;
    for (double t : tenths) segments.push_back({t, 0.1});
    const std::vector<double> gated = Gated(WindowLevels(tenths, 30), -20.0);
    ASSERT_GT(gated.size(), 300u);
    ASSERT_LT(gated.size(), 700u);  // the gate cuts the ramp's foot
    const LoudnessFigures f = Measure(SteppedSine(segments, 48000), 48000, 2);
    EXPECT_NEAR(f.range, RangeOf(gated), 0.01);
}

// A value 0.0005 LU from the gate falls on the side its own loudness puts
// it, for the blocks and for the 3 s values. The sub-block sums are set
// directly (those of a stereo 1 kHz sine at each tenth's level), so the
// figures follow from the rules alone.
TEST(Loudness, ValuesBesideTheGateFallOnTheirOwnSide) {
    const uint32_t rate = 48000;
    // `loud` tenths at -20 dBFS, then `quiet` ones whose level is solved so
    // that their windows of `width` lie `offset` LU from the gate.
    auto build = [](int loud, int quiet, int width, double relative, double offset) {
        std::vector<double> tenths(size_t(loud + quiet), -20.0);
        double lo = -60.0, hi = -20.0;
        for (int it = 0; it < 100; ++it) {
            const double mid = 0.5 * (lo + hi);
            std::fill(tenths.begin() + loud, tenths.end(), mid);
            const double gate = PowerMean(WindowLevels(tenths, width)) + relative;
            (mid > gate + offset ? hi : lo) = mid;
        }
        return tenths;
    };
    auto figures = [&](const std::vector<double>& tenths) {
        LoudnessState m;
        StartLoudnessMeter(m, rate, 2, kFull24);
        // K-weighted, a 1 kHz sine's two sides hold 10^((dBFS + 0.691) / 10)
        // a frame between them.
        for (double t : tenths) m.subSums.push_back(rate / 10 * std::pow(10.0, (t + 0.691) / 10.0));
        return LoudnessResult(m);
    };
    double integrated[2], range[2];
    for (int side = 0; side < 2; ++side) {
        const double offset = side == 0 ? 0.0005 : -0.0005;
        std::vector<double> tenths = build(100, 100, 4, -10.0, offset);  // 10 s and 10 s
        const std::vector<double> blocks = Gated(WindowLevels(tenths, 4), -10.0);
        EXPECT_EQ(blocks.size(), side == 0 ? 197u : 100u);
        integrated[side] = figures(tenths).integrated;
        EXPECT_NEAR(integrated[side], PowerMean(blocks), 1e-6) << offset;

        tenths = build(300, 300, 30, -20.0, offset);  // 30 s and 30 s
        const std::vector<double> values = Gated(WindowLevels(tenths, 30), -20.0);
        EXPECT_EQ(values.size(), side == 0 ? 571u : 300u);
        range[side] = figures(tenths).range;
        EXPECT_NEAR(range[side], RangeOf(values), 1e-6) << offset;
    }
    EXPECT_LT(integrated[0], integrated[1] - 2.0);
    EXPECT_GT(range[0], range[1] + 10.0);
}

TEST(Loudness, RangeConformanceCases) {
    struct Case {
        std::vector<Segment> segments;
        double expected;
    };
    const Case cases[] = {
        {{{-20, 20}, {-30, 20}}, 10.0},
        {{{-20, 20}, {-15, 20}}, 5.0},
        {{{-40, 20}, {-20, 20}}, 20.0},
        {{{-50, 20}, {-35, 20}, {-20, 20}, {-35, 20}, {-50, 20}}, 15.0},
    };
    for (const Case& c : cases) {
        const LoudnessFigures f = Measure(SteppedSine(c.segments, 48000), 48000, 2);
        EXPECT_NEAR(f.range, c.expected, 0.1) << c.segments.size() << " steps";
    }
}

// Each interpolating phase delays by its fraction of a sample with a flat
// gain: within 0.1 dB up to 0.4 x the rate (the old filter lost 1 dB there).
TEST(TruePeak, PhasesAreFlatToFourTenthsOfTheRate) {
    const TruePeakFilter f = MakeTruePeakFilter();
    for (int p = 1; p < kTruePeakPhases; ++p) {
        for (double fraction : {0.0, 0.02, 0.1, 0.2, 0.3, 0.35, 0.375, 0.4})
            EXPECT_NEAR(PhaseGainDb(f, p, fraction), 0.0, 0.1) << "phase " << p << " at " << fraction;
        // Past the band the response falls: no phase adds energy up there.
        EXPECT_LT(PhaseGainDb(f, p, 0.45), 0.0) << p;
    }
    // Phase 0 is the input itself, the newest but kTruePeakCentre.
    for (int k = 0; k < kTruePeakTaps; ++k)
        EXPECT_EQ(f.phase[0][k], k == kTruePeakTaps - 1 - kTruePeakCentre ? 1.0 : 0.0);
    double sum = 0.0;
    for (int p = 0; p < kTruePeakPhases; ++p) {
        double s = 0.0;
        for (double c : f.phase[p]) s += std::fabs(c);
        sum = std::max(sum, s);
    }
    EXPECT_GE(f.gainBound, sum);
    EXPECT_LE(f.gainBound, sum * (1 + 1e-9));
}

// Sines whose crests fall on each of the four phases read the crest, within
// 0.2 dB. At a quarter of the rate every crest falls on the same phase: with
// that phase left out the nearest outputs lie a quarter of a sample off and
// read 0.7 dB low.
TEST(TruePeak, SinesReadTheirCrestOnEveryPhase) {
    struct Case {
        double fraction;  // of the rate
        double dbfs;
    };
    const Case cases[] = {{0.02, -0.5}, {0.1, -1.0}, {0.25, -3.0}, {0.3, -2.0}, {0.375, -6.0}, {0.4, -1.0}};
    const uint32_t rate = 48000;
    for (const Case& c : cases) {
        for (int p = 0; p < kTruePeakPhases; ++p) {
            // The crest at the position p / 4 after sample 1000.
            const double at = 1000.0 + double(p) / kTruePeakPhases;
            const double amp = std::pow(10.0, c.dbfs / 20.0) * kFull24;
            // Faded in and out over 10 ms: a sine cut short rings past its
            // crest in its band-limited form.
            std::vector<int32_t> x(rate / 2);
            for (size_t i = 0; i < x.size(); ++i) {
                const double fade = std::min({1.0, double(i) / 480.0, double(x.size() - i) / 480.0});
                x[i] = int32_t(std::lround(fade * amp * std::cos(2.0 * kPi * c.fraction * (double(i) - at))));
            }
            const LoudnessFigures f = Measure(x, rate, 2);
            EXPECT_NEAR(f.truePeakL, c.dbfs, 0.2) << c.fraction << " x rate, phase " << p;
            EXPECT_EQ(f.truePeakL, f.truePeakR);
        }
    }
}

// A loud burst in the last samples: five samples of a quarter-rate sine at
// -6.0 dBFS whose band-limited peak is -2.1 dBTP. Without the run-out over
// the filter's length the reading stays at the samples' -6.0.
TEST(TruePeak, BurstAtTheEndIsRunOut) {
    const double s = std::pow(10.0, -6.0 / 20.0) * kFull24;
    std::vector<int32_t> x(48000, 0);
    for (double v : {s, s, -s, -s, s}) x.push_back(int32_t(std::lround(v)));
    // The band-limited peak: the samples' sinc interpolation on a fine grid.
    double reference = 0.0;
    for (double t = double(x.size()) - 10.0; t < double(x.size()) + 10.0; t += 1.0 / 256) {
        double v = 0.0;
        for (size_t n = x.size() - 5; n < x.size(); ++n) {
            const double d = t - double(n);
            v += double(x[n]) / kFull24 * (d == 0.0 ? 1.0 : std::sin(kPi * d) / (kPi * d));
        }
        reference = std::max(reference, std::fabs(v));
    }
    EXPECT_NEAR(20.0 * std::log10(reference), -2.08, 0.01);
    for (int channels : {1, 2}) {
        const LoudnessFigures f = Measure(x, 48000, channels, 4096);
        EXPECT_NEAR(f.truePeakL, -2.1, 0.2) << channels;
        // Silence after the end changes nothing: the run-out already saw it.
        std::vector<int32_t> padded = x;
        padded.resize(x.size() + 100, 0);
        EXPECT_EQ(Measure(padded, 48000, channels, 4096).truePeakL, f.truePeakL) << channels;
    }
}

// Chunks the filter's bound skips could not have raised the peak: the
// meter equals every phase at every frame, bit for bit, for both sides.
TEST(TruePeak, SkippedChunksChangeNothing) {
    const TruePeakFilter f = MakeTruePeakFilter();
    std::vector<int32_t> left = Noise(30000, 7, 0.3), right = Noise(30000, 8, 0.9);
    // A late burst on the left only, so its chunks are worked while the
    // right's are skipped.
    for (int i = 0; i < 64; ++i) left[20000 + size_t(i)] = (i % 2 ? -1 : 1) * 8000000;
    for (int block : {1, 31, 4096}) {
        LoudnessState m;
        StartLoudnessMeter(m, 48000, 2, kFull24);
        LoudnessState one;
        StartLoudnessMeter(one, 48000, 1, kFull24);
        for (size_t at = 0; at < left.size(); at += size_t(block)) {
            const int n = int(std::min<size_t>(size_t(block), left.size() - at));
            MeasureLoudness(m, left.data() + at, right.data() + at, n);
            MeasureLoudness(one, right.data() + at, nullptr, n);
        }
        const LoudnessFigures both = LoudnessResult(m);
        EXPECT_EQ(both.truePeakL, BruteTruePeak(f, left)) << block;
        EXPECT_EQ(both.truePeakR, BruteTruePeak(f, right)) << block;
        EXPECT_EQ(LoudnessResult(one).truePeakL, both.truePeakR) << block;
    }
}

TEST(Loudness, BlockSizeDoesNotChangeTheFigures) {
    const std::vector<int32_t> x = SteppedSine({{-30, 4.05}, {-18, 3.3}}, 44100, 440.0);
    const LoudnessFigures whole = Measure(x, 44100, 2);
    for (int block : {1, 7, 4410, 65536}) {
        const LoudnessFigures f = Measure(x, 44100, 2, block);
        EXPECT_EQ(f.integrated, whole.integrated) << block;
        EXPECT_EQ(f.range, whole.range) << block;
        EXPECT_EQ(f.truePeakL, whole.truePeakL) << block;
    }
}

TEST(Loudness, SilenceAndShortMixes) {
    // Silence passes no gate: no integrated value, no range, the peak floor.
    LoudnessFigures f = Measure(std::vector<int32_t>(48000 * 5, 0), 48000, 2);
    EXPECT_TRUE(std::isinf(f.integrated) && f.integrated < 0);
    EXPECT_TRUE(std::isinf(Measure(SteppedSine({{-70.5, 5}}, 48000), 48000, 2).integrated));
    EXPECT_EQ(f.range, 0.0);
    EXPECT_EQ(f.truePeakL, -144.0);
    EXPECT_EQ(f.truePeakR, -144.0);
    // Under 400 ms there is no gating block; under 3 s no range value.
    f = Measure(SteppedSine({{-20, 0.39}}, 48000), 48000, 2);
    EXPECT_TRUE(std::isinf(f.integrated));
    f = Measure(SteppedSine({{-20, 2.9}}, 48000), 48000, 2);
    EXPECT_NEAR(f.integrated, -20.0, 0.1);
    EXPECT_EQ(f.range, 0.0);
    // A meter that was never started measures nothing and reads as silence.
    LoudnessState idle;
    int32_t one = 1000000;
    MeasureLoudness(idle, &one, &one, 1);
    EXPECT_EQ(LoudnessResult(idle).truePeakL, -144.0);
}

// One number per finished 100 ms: reserved once when the window is known.
TEST(Loudness, KeepsEightBytesPerTenthOfASecond) {
    const uint32_t rate = 44100;
    const std::vector<int32_t> x = SteppedSine({{-20, 10}}, rate);
    LoudnessState m;
    StartLoudnessMeter(m, rate, 2, kFull24, int64_t(3 * x.size()));
    const size_t reserved = m.subSums.capacity();
    EXPECT_EQ(reserved, 301u);
    for (int pass = 0; pass < 3; ++pass) MeasureLoudness(m, x.data(), x.data(), int(x.size()));
    EXPECT_EQ(m.subSums.size(), 300u);
    EXPECT_EQ(m.subSums.capacity(), reserved);
    EXPECT_EQ(sizeof m.subSums[0], 8u);
}
