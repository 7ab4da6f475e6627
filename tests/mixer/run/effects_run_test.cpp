// Whole runs of the built mixer with effect chains on channels, submixes and
// the master: filter responses, compressor state machines, the limiter,
// effect order, post-effects gain and the clipping report.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <numbers>

#include "run_signals.hpp"

using namespace runsignals;
using testsupport::ReadFile;
using testsupport::Session;

namespace {

constexpr double kRate = 48000.0;
constexpr double kTwoPi = 6.283185307179586;

struct Coeffs {
    double b0, b1, b2, a1, a2;
};

// The designs, written out from their textbook formulas for the test.
Coeffs Design(const std::string& kind, double f, double gaindB, double q) {
    const double A = std::pow(10.0, gaindB / 40.0);
    const double w0 = kTwoPi * f / kRate;
    const double alpha = std::sin(w0) / (2.0 * q);
    const double c = std::cos(w0);
    const double s = 2.0 * std::sqrt(A) * alpha;
    if (kind == "hshelf") {
        const double a0 = (A + 1) - (A - 1) * c + s;
        return {A * ((A + 1) + (A - 1) * c + s) / a0, -2 * A * ((A - 1) + (A + 1) * c) / a0,
                A * ((A + 1) + (A - 1) * c - s) / a0, 2 * ((A - 1) - (A + 1) * c) / a0,
                ((A + 1) - (A - 1) * c - s) / a0};
    }
    if (kind == "lshelf") {
        const double a0 = (A + 1) + (A - 1) * c + s;
        return {A * ((A + 1) - (A - 1) * c + s) / a0, 2 * A * ((A - 1) - (A + 1) * c) / a0,
                A * ((A + 1) - (A - 1) * c - s) / a0, -2 * ((A - 1) + (A + 1) * c) / a0,
                ((A + 1) + (A - 1) * c - s) / a0};
    }
    const double a0 = 1 + alpha / A;
    return {(1 + alpha * A) / a0, -2 * c / a0, (1 - alpha * A) / a0, -2 * c / a0, (1 - alpha / A) / a0};
}

double ResponsedB(const std::string& kind, double corner, double gaindB, double q, double f) {
    const std::complex<double> z1 = std::polar(1.0, -kTwoPi * f / kRate);  // z^-1
    std::complex<double> h;
    if (kind == "hp") {
        const double rc = 1.0 / (kTwoPi * corner), dt = 1.0 / kRate;
        const double a = rc / (rc + dt), b = (kRate - 4.0 * corner) / kRate;
        h = a * (1.0 - z1) / (1.0 - b * z1);
    } else {
        const Coeffs c = Design(kind, corner, gaindB, q);
        h = (c.b0 + c.b1 * z1 + c.b2 * z1 * z1) / (1.0 + c.a1 * z1 + c.a2 * z1 * z1);
    }
    return 20.0 * std::log10(std::abs(h));
}

int32_t ChannelThreshold(double dB) { return int32_t(std::pow(10.0, dB / 20.0) * 8388608.0); }
int32_t BusThreshold(double dB) { return ChannelThreshold(dB) * 256 - 1; }

double Limit(double x, double threshold) {
    const double knee = threshold * 0.89125;
    const double p = x < 0 ? -1.0 : 1.0;
    double m = std::fabs(x);
    if (m > knee) m = knee + (m - knee) * 0.125;
    return p * m;
}

}  // namespace

// ---------------------------------------------------------------- filters

struct FilterCase {
    const char* line;  // the effect line for channel 1
    const char* kind;
    double corner, gaindB, q;
};

TEST(EffectsRunFilters, MagnitudeMatchesTheDesignWithinAHundredthOfADecibel) {
    const FilterCase cases[] = {
        {"hp\t1\t100", "hp", 100, 0, 1},
        {"band1\t1\t1000\t6\t1", "band1", 1000, 6, 1},
        {"band3\t1\t3000\t-9\t2.5", "band3", 3000, -9, 2.5},
        {"hshelf\t1\t4000\t5\t0.7", "hshelf", 4000, 5, 0.7},
        {"lshelf\t1\t200\t-6\t0.7", "lshelf", 200, -6, 0.7},
    };
    const double freqs[] = {50, 100, 250, 1000, 3000, 10000};
    const int frames = 24000, window = 4800;  // 4800 samples hold whole periods of every tone
    for (const auto& c : cases)
        for (double f : freqs) {
            Session s;
            auto in = Sine(frames, 2000000.0, f, kRate);
            s.AddPcm("a.wav", 2, 24, Both(in));
            s.faders = Faders(1, std::string(c.line) + "\n");
            auto r = s.Run();
            ASSERT_EQ(r.status, 0) << r.output;
            auto out = Mix(s);
            ASSERT_EQ(out.size(), size_t(2 * frames));
            for (int side = 0; side < 2; ++side) {
                const double gain = ToneAmplitude(Side(out, side), frames - window, window, f, kRate) /
                                    ToneAmplitude(in, frames - window, window, f, kRate);
                EXPECT_NEAR(20.0 * std::log10(gain), ResponsedB(c.kind, c.corner, c.gaindB, c.q, f), 0.01)
                    << c.line << " at " << f << " Hz, side " << side;
            }
        }
}

TEST(EffectsRunFilters, HighPassBlocksDirectCurrentCompletely) {
    Session s;
    s.AddPcm("a.wav", 2, 24, Both(std::vector<int32_t>(20000, 1000000)));
    s.faders = Faders(1, "hp\t1\t100\n");
    ASSERT_EQ(s.Run().status, 0);
    auto out = Mix(s);
    EXPECT_EQ(out[0], 1000000);  // the first sample a high-pass sees passes unchanged
    for (size_t i = 2 * 5000; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
}

TEST(EffectsRunFilters, FlatBandsAndShelvesLeaveSamplesUnchanged) {
    Session s;
    const auto in = Noise(2 * 30000, 12345, 23);  // over the whole 24-bit range
    s.AddPcm("a.wav", 2, 24, in);
    s.faders = Faders(1, "band1\t1\t100\t0\t1\nband2\t1\t1000\t0\t0.3\nband3\t1\t5000\t0\t4\n"
                         "band4\t1\t12000\t0\t9\nhshelf\t1\t6000\t0\t0.7\nlshelf\t1\t150\t0\t0.7\n");
    ASSERT_EQ(s.Run().status, 0);
    EXPECT_EQ(Mix(s), in);
}

// ----------------------------------------------------- compressors, limiter

namespace {

constexpr int kSilence = 1000, kBurst = 2000, kQuiet = 1000;
constexpr int kLoud = 6000000, kSoft = 1000;
constexpr int kAttack = 48, kRelease = 480;  // 1 ms and 10 ms at 48 kHz
constexpr double kRatio = 4.0;

// Silence, then a loud square wave of one-sample half-cycles, then a soft one
// that carries on alternating. `firstNegative` starts the burst below zero.
std::vector<int32_t> BurstSignal(bool firstNegative) {
    std::vector<int32_t> x(kSilence, 0);
    for (int j = 0; j < kBurst + kQuiet; ++j) {
        const bool negative = (j % 2 == 0) == firstNegative;
        const int m = j < kBurst ? kLoud : kSoft;
        x.push_back(negative ? -m : m);
    }
    return x;
}

// The expected output of the switched gain law: untouched until `trigger`,
// attack over kAttack frames, hold, four quiet half-cycles still held, a
// release of kRelease frames, then untouched again.
std::vector<int32_t> SwitchedLaw(const std::vector<int32_t>& in, int trigger) {
    std::vector<int32_t> out = in;
    const int quietStart = kSilence + kBurst;
    for (int i = trigger; i < quietStart + 4 + kRelease; ++i) {
        double g;
        if (i < trigger + kAttack) {
            g = 1.0 - (1.0 - 1.0 / kRatio) * std::sin(double(i - trigger + 1) * std::numbers::pi / (2.0 * kAttack));
        } else if (i < quietStart + 4) {
            g = 1.0 / kRatio;
        } else {
            const int k = i - (quietStart + 4) + 1;
            g = 1.0 / kRatio + (1.0 - 1.0 / kRatio) * std::sin(double(k) * std::numbers::pi / (2.0 * kRelease));
        }
        out[size_t(i)] = int32_t(double(in[size_t(i)]) * g);
    }
    return out;
}

void ExpectWithinOne(const std::vector<int32_t>& got, const std::vector<int32_t>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) ASSERT_NEAR(got[i], want[i], 1) << "frame " << i;
}

// Runs the burst through one compressor line and checks both sides against
// the gain law triggered at `trigger`; returns the left side.
std::vector<int32_t> RunBurst(const std::string& line, bool firstNegative, int trigger) {
    Session s;
    auto in = BurstSignal(firstNegative);
    s.AddPcm("a.wav", 2, 24, Both(in));
    s.faders = Faders(1, line);
    EXPECT_EQ(s.Run().status, 0);
    auto out = Mix(s);
    const auto want = SwitchedLaw(in, trigger);
    ExpectWithinOne(Side(out, 0), want);
    ExpectWithinOne(Side(out, 1), want);
    return Side(out, 0);
}

}  // namespace

TEST(EffectsRunDynamics, PeakCompressorAttackHoldReleaseCounts) {
    const auto in = BurstSignal(false);
    const auto out = RunBurst("comp\t1\t-6\t1\t10\t4\n", false, kSilence);  // the first loud sample triggers
    // The frames around each transition, exactly.
    const int idle = kSilence + kBurst + 4 + kRelease;
    EXPECT_EQ(out[kSilence - 1], 0);
    EXPECT_EQ(out[kSilence + kAttack], kLoud / 4);
    EXPECT_EQ(out[kSilence + kBurst + 3], -kSoft / 4);
    EXPECT_EQ(out[size_t(idle - 1)], in[size_t(idle - 1)]);
    EXPECT_EQ(out[size_t(idle)], in[size_t(idle)]);
}

TEST(EffectsRunDynamics, RmsCompressorTriggersOnTheFirstLoudHalfCycle) {
    // The first loud sample closes a half-cycle that still holds the silence,
    // whose RMS stays far below the threshold; the second one triggers.
    const auto out = RunBurst("rms\t1\t-6\t1\t10\t4\n", true, kSilence + 1);
    EXPECT_EQ(out[kSilence], -kLoud);
}

TEST(EffectsRunDynamics, SignalBelowEveryThresholdIsBitIdentical) {
    Session s;
    const auto in = Noise(2 * 20000, 99, 20);  // within +-2^19, far below -6 dB
    s.AddPcm("a.wav", 2, 24, in);
    s.faders = Faders(1, "rms\t1\t-6\t5\t50\t3\ncomp\t1\t-6\t5\t50\t3\nnlc\t1\t-6\t64\t3\nlim\t1\t-6\n");
    ASSERT_EQ(s.Run().status, 0);
    EXPECT_EQ(Mix(s), in);
}

TEST(EffectsRunDynamics, LimiterFollowsItsCurveAndKeepsTheCeiling) {
    const int32_t thr = ChannelThreshold(-6);
    std::vector<int32_t> in;
    for (int i = -4000; i <= 4000; ++i) in.push_back(int32_t(double(i) / 4000.0 * 1.76125 * thr));
    Session s;
    s.AddPcm("a.wav", 2, 24, Both(in));
    s.faders = Faders(1, "lim\t1\t-6\n");
    ASSERT_EQ(s.Run().status, 0);
    auto out = Side(Mix(s), 0);
    ASSERT_EQ(out.size(), in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        ASSERT_EQ(out[i], int32_t(Limit(in[i], thr))) << i;
        ASSERT_LE(std::abs(out[i]), thr) << i;
    }
}

TEST(EffectsRunDynamics, MasterLimiterKeepsTheMasterUnderItsThreshold) {
    const int32_t thr = BusThreshold(-3);
    std::vector<int32_t> in;
    for (int i = -3000; i <= 3000; ++i) in.push_back(int32_t(double(i) / 3000.0 * 8388607.0));
    Session s;
    s.AddPcm("a.wav", 2, 24, Both(in));
    s.faders = Faders(1, "lim\tM\t-3\n");
    ASSERT_EQ(s.Run().status, 0);
    auto out = Side(Mix(s), 1);
    for (size_t i = 0; i < in.size(); ++i) {
        const int32_t bus = int32_t(Limit(double(in[i]) * 256.0, thr));
        ASSERT_EQ(out[i], bus / 256) << i;
        ASSERT_LE(std::abs(out[i]) * 256, thr) << i;
    }
}

// --------------------------------------- order, post-effects gain, clipping

TEST(EffectsRunOrder, PositionsReorderTheChain) {
    // A peak compressor with a one-sample attack halves the signal at once;
    // the limiter at 0 dB bends everything above its knee.
    const int32_t x = 8000000;
    const double lim0 = Limit(x, 8388608.0);
    struct Case {
        const char* order;
        int32_t expect;
    } cases[] = {
        {"", int32_t(Limit(x * 0.5, 8388608.0))},          // fixed order: comp, then lim
        {"order\tlim\t1\t1\n", int32_t(lim0 * 0.5)},        // lim moved in front
        {"order\tcomp\t1\t12\n", int32_t(lim0)},            // outside 1..11: never runs
        {"order\tlim\t1\t3\norder\tcomp\t1\t3\n", int32_t(Limit(x * 0.5, 8388608.0))},  // shared: fixed order
        {"order:comp:1:4\norder\tlim\t1\t2\n", int32_t(lim0 * 0.5)},
    };
    for (const auto& c : cases) {
        Session s;
        std::vector<int32_t> in;
        for (int i = 0; i < 200; ++i) in.push_back(i % 2 ? -x : x);
        s.AddPcm("a.wav", 2, 24, Both(in));
        s.faders = Faders(1, std::string("comp\t1\t-20\t0\t1000\t2\nlim\t1\t0\n") + c.order);
        ASSERT_EQ(s.Run().status, 0) << c.order;
        auto out = Side(Mix(s), 0);
        for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], i % 2 ? -c.expect : c.expect) << c.order << i;
    }
}

TEST(EffectsRunOrder, PostEffectsGainAndClipFlagsOfChannelSubmixAndMaster) {
    const double g6 = std::pow(10.0, 6.0 / 20.0);
    struct Case {
        const char* lines;
        int32_t sample;     // constant input of the single channel
        int32_t expect;     // output sample (24-bit), or 0 to skip the check
        const char* clip;   // clipping line of the report, or ""
    } cases[] = {
        {"lim\t1\t0\nfxg\t1\t6\n", 1000000, int32_t(1000000 * g6), ""},
        {"lim\t1\t0\nfxg\t1\t6\n", 5000000, 0, "Channel 1 is clipping after effects processing!\n"},
        {"sub\t1\t1\nlim\tG\t1\t0\nfxg\tG\t1\t6\n", 1000000, int32_t(256000000.0 * g6) / 256, ""},
        {"sub\t1\t1\nlim\tG\t1\t0\nfxg\tG\t1\t6\n", 5000000, 0, "Submix 1 is clipping after effects processing!\n"},
        {"fxg\tM\t6\n", 1000000, int32_t(256000000.0 * g6) / 256, ""},
        {"fxg\tM\t6\n", 5000000, 0, "Master channel is clipping after effects processing!\n"},
        // A channel without chain effects is never tested, whatever its post gain.
        {"fxg\t1\t12\n", 5000000, 0, ""},
    };
    for (const auto& c : cases) {
        Session s;
        s.AddPcm("a.wav", 2, 24, Both(std::vector<int32_t>(100, c.sample)));
        s.faders = Faders(1, c.lines);
        auto r = s.Run();
        ASSERT_EQ(r.status, 0) << c.lines << r.output;
        if (c.expect != 0) {
            for (int32_t v : Mix(s)) ASSERT_EQ(v, c.expect) << c.lines;
        }
        const std::string report = ReadFile(s.Path("stats_mix.txt"));
        const bool clipped = report.find("clipping after effects") != std::string::npos;
        if (*c.clip) {
            EXPECT_NE(report.find(c.clip), std::string::npos) << c.lines << report;
        } else {
            EXPECT_FALSE(clipped) << c.lines << report;
        }
    }
}

// ------------------------------------------------------------ whole chains

TEST(EffectsRunChain, ChannelSubmixAndMasterChainsGiveExactSamples) {
    // Channel: peak compressor (one-sample attack, ratio 2) and a limiter at
    // -3 dB; submix 1: a limiter at -9 dB; master: a limiter at -12 dB and a
    // post gain of +2 dB. Every stage is memoryless once triggered, so each
    // sample can be followed by hand.
    const double chThr = ChannelThreshold(-3), subThr = BusThreshold(-9), mThr = BusThreshold(-12);
    const double post = std::pow(10.0, 2.0 / 20.0);
    std::vector<int32_t> in;
    for (int i = 0; i < 3000; ++i) in.push_back(int32_t((i % 2 ? -1 : 1) * (6000000 + 700 * i)));
    Session s;
    s.AddPcm("a.wav", 2, 24, Both(in));
    s.faders = Faders(1, "sub\t1\t1\ncomp\t1\t-20\t0\t1000\t2\nlim\t1\t-3\nlim\tG\t1\t-9\n"
                         "lim\tM\t-12\nfxg\tM\t2\n");
    auto r = s.Run();
    ASSERT_EQ(r.status, 0) << r.output;
    auto out = Mix(s);
    for (size_t i = 0; i < in.size(); ++i) {
        const int32_t ch = int32_t(Limit(in[i] * 0.5, chThr));
        const int32_t sub = int32_t(Limit(double(ch) * 256.0, subThr));
        const int32_t master = int32_t(Limit(double(sub), mThr) * post);
        ASSERT_EQ(out[2 * i], master / 256) << i;
        ASSERT_EQ(out[2 * i + 1], master / 256) << i;
    }
}

TEST(EffectsRunChain, FullChainsEverywhereKeepTheDocumentedProperties) {
    const std::string chain =
        "hp\t@\t40\nband1\t@\t100\t3\t1\nband2\t@\t800\t-4\t2\nband3\t@\t3000\t2\t1\n"
        "band4\t@\t9000\t-2\t0.7\nhshelf\t@\t10000\t1\t0.7\nlshelf\t@\t80\t-1\t0.7\n"
        "rms\t@\t-12\t10\t200\t3\nnlc\t@\t-10\t64\t2\ncomp\t@\t-8\t2\t100\t4\nlim\t@\t-1\n";
    auto For = [&](const std::string& who) {
        std::string out = chain;
        for (size_t p; (p = out.find('@')) != std::string::npos;) out.replace(p, 1, who);
        return out;
    };
    Session s;
    const int frames = 3 * 131072 + 999;  // the chains carry their state over block edges
    std::vector<int32_t> in(size_t(frames), 0);
    for (int i = 48000; i < frames; ++i)
        in[size_t(i)] = int32_t(7000000.0 * std::sin(2 * std::numbers::pi * 220.0 * i / kRate) *
                                (0.5 + 0.5 * std::sin(2 * std::numbers::pi * 0.7 * i / kRate)));
    s.AddPcm("a.wav", 2, 24, Both(in));
    s.AddPcm("b.wav", 2, 24, Both(in));
    s.faders = Faders(2, "sub\t1\t2\n" + For("1") + For("G\t1") + For("M"));
    auto r = s.Run();
    ASSERT_EQ(r.status, 0) << r.output;
    auto out = Mix(s);
    ASSERT_EQ(out.size(), size_t(2 * frames));
    // Silence in, silence out: the near-zero guard of every stage truncates away.
    for (size_t i = 0; i < 2 * 48000; ++i) ASSERT_EQ(out[i], 0) << i;
    // The master limiter at -1 dB bends its input 8:1 above the knee; with two
    // channels of at most -3 dB each the output stays under the full scale.
    int32_t peak = 0;
    for (int32_t v : out) peak = std::max(peak, std::abs(v));
    EXPECT_GT(peak, 1000000);
    EXPECT_LT(peak, 8388608);
    const std::string report = ReadFile(s.Path("stats_mix.txt"));
    EXPECT_EQ(report.find("clipping"), std::string::npos) << report;
    // The left and right chains are linked and fed alike: both sides agree.
    for (size_t i = 0; i < out.size(); i += 2) ASSERT_EQ(out[i], out[i + 1]) << i;
}

TEST(EffectsRunChain, ChannelsWithTransparentEffectsMixLikeChannelsWithout) {
    // Channels with effects are faded and summed a tile of the chain at a
    // time, channels without a block at a time: with flat bands, which leave
    // every sample as it was, both must give the same mix. Fader and VCA
    // ramps and a late start fall inside tiles; channels 1 and 2 run as a
    // pair, 3 alone; 4 feeds a submix and the room reverb.
    const int frames = 9000;
    auto build = [&](bool effects) {
        auto s = std::make_unique<Session>();
        const char* names[4] = {"t1.wav", "t2.wav", "t3.wav", "t4.wav"};
        for (int k = 0; k < 4; ++k) s->AddPcm(names[k], 2, 24, Noise(2 * frames, 77u * (k + 1), 21));
        std::string extra =
            "sub\t1\t4\nVCA:\t1\t1,2\nsstamp\t3\t1500\nvca\t1\t0\nrev\t4\t-6\nrtn\t-6\t60\n"
            "t\t0\t0\t20\nv\t3\t-9\nrmp\t0.05\nvca\t1\t-6\nrmp\t0.04\nshape\t2\n"
            "t\t0\t0\t110\nv\t1\t-3\nrmp\t0.02\n";
        const char* flat[4] = {"band1\t1\t100\t0\t1\nband2\t1\t2000\t0\t0.7\n",
                               "band1\t2\t100\t0\t1\nband2\t2\t2000\t0\t0.7\n",
                               "band1\t3\t100\t0\t1\nband2\t3\t2000\t0\t0.7\n",
                               "band1\t4\t100\t0\t1\nband2\t4\t2000\t0\t0.7\n"};
        if (effects)
            for (const char* lines : flat) extra += lines;
        s->faders = Faders(4, extra);
        return s;
    };
    auto plain = build(false), fx = build(true);
    const auto r1 = plain->Run(), r2 = fx->Run();
    ASSERT_EQ(r1.status, 0) << r1.output;
    ASSERT_EQ(r2.status, 0) << r2.output;
    const auto a = Mix(*plain), b = Mix(*fx);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(a, b);
}
