#include "mixer/utilities/loudness_meter.hpp"

#include <gtest/gtest.h>

#include <cmath>
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
    };
    for (const Case& c : cases) {
        const LoudnessFigures f = Measure(SteppedSine(c.segments, c.rate), c.rate, c.channels);
        EXPECT_NEAR(f.integrated, c.expected, 0.1) << c.name;
    }
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
        EXPECT_NEAR(f.range, c.expected, 1.0) << c.segments.size() << " steps";
    }
}

TEST(Loudness, TruePeakFindsInterSamplePeaks) {
    struct Case {
        double hz, phaseDeg, dbfs;
    };
    // Sines whose samples miss their crests; the true peak is the sine's own
    // peak level. Accepted: 0.4 dB under to 0.2 dB over. A 10 ms fade-in
    // keeps the onset from ringing above the crest.
    const Case cases[] = {
        {12000, 45, -6.0},   // a quarter of the rate: samples at 0.707 of the crest
        {12000, 60, -6.0},
        {8000, 30, -3.0},
        {997, 0, -0.5},
        {4800, 18, -1.0},
    };
    for (const Case& c : cases) {
        const uint32_t rate = 48000;
        const double amp = std::pow(10.0, c.dbfs / 20.0) * kFull24;
        std::vector<int32_t> x(rate);
        double samplePeak = 0.0;
        for (size_t i = 0; i < x.size(); ++i) {
            const double fade = std::min(1.0, double(i) / (rate / 100));
            x[i] = int32_t(std::lround(fade * amp * std::sin(2.0 * kPi * c.hz * double(i) / rate +
                                                      c.phaseDeg * kPi / 180.0)));
            samplePeak = std::max(samplePeak, std::fabs(double(x[i])));
        }
        const LoudnessFigures f = Measure(x, rate, 2);
        EXPECT_GE(f.truePeakL, c.dbfs - 0.4) << c.hz << " Hz";
        EXPECT_LE(f.truePeakL, c.dbfs + 0.2) << c.hz << " Hz";
        EXPECT_EQ(f.truePeakL, f.truePeakR);
        EXPECT_GE(f.truePeakL, 20.0 * std::log10(samplePeak / kFull24) - 1e-9);
    }
    // The quarter-rate case: its sample peak alone would read 3 dB low.
    const double amp = std::pow(10.0, -6.0 / 20.0) * kFull24;
    const double sampleDb = 20.0 * std::log10(std::lround(amp * std::sin(kPi / 4)) / kFull24);
    EXPECT_NEAR(sampleDb, -9.01, 0.01);
}

TEST(Loudness, BlockSizeDoesNotChangeTheFigures) {
    const std::vector<int32_t> x = SteppedSine({{-30, 4.05}, {-18, 3.3}}, 44100, 440.0);
    const LoudnessFigures whole = Measure(x, 44100, 2);
    for (int block : {1, 7, 4410, 65536}) {
        const LoudnessFigures f = Measure(x, 44100, 2, block);
        EXPECT_DOUBLE_EQ(f.integrated, whole.integrated) << block;
        EXPECT_DOUBLE_EQ(f.range, whole.range) << block;
        EXPECT_DOUBLE_EQ(f.truePeakL, whole.truePeakL) << block;
    }
}

TEST(Loudness, SilenceAndShortMixes) {
    // Silence passes no gate: no integrated value, no range, the peak floor.
    LoudnessFigures f = Measure(std::vector<int32_t>(48000 * 5, 0), 48000, 2);
    EXPECT_TRUE(std::isinf(f.integrated) && f.integrated < 0);
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

TEST(Loudness, StateSizeIsFixedWhenStarted) {
    LoudnessState m;
    StartLoudnessMeter(m, 48000, 2, kFull24);
    const std::vector<int32_t> x = SteppedSine({{-20, 10}}, 48000);
    for (int pass = 0; pass < 3; ++pass) MeasureLoudness(m, x.data(), x.data(), int(x.size()));
    EXPECT_EQ(m.blocks.count.size(), size_t(kLoudnessBins));
    EXPECT_EQ(m.shortTerm.power.size(), size_t(kLoudnessBins));
    EXPECT_EQ(m.blocks.count.capacity(), size_t(kLoudnessBins));
}
