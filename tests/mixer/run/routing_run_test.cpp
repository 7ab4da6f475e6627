// Whole runs of the built mixer that check pans, polarity, delay pan, trims,
// scale, master trim, the master fader, submix routing and VCAs, with every
// output sample predicted from the formulas in script_model.hpp.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "mixer/run/script_model.hpp"
#include "support/session.hpp"

using namespace scriptmodel;
using testsupport::ReadWavSamples;
using testsupport::Session;

namespace {

const std::string kPrefs = "begin\ndither\t0\nverbo\t1\n";
const int32_t L0 = Level(0), Lm6 = Level(-6);

std::vector<int32_t> MonoAlternating(int frames) {
    std::vector<int32_t> s;
    for (int i = 0; i < frames; ++i) s.push_back(i % 2 == 0 ? kAmp : -kAmp);
    return s;
}

// Pan law gains of a mono track, in single precision: the centre sits `law`
// dB below the sides and the near side rises linearly in dB to 0 dB.
void MonoPan(float law, int p, float& left, float& right) {
    const float c = float(1.0 * std::pow(10.0, double(-law) / 20.0));
    left = right = c;
    if (p > 0) {
        left = c * float(100 - p) / 100.0f;
        right = float(double(c) * std::pow(10.0, double(float(p) * law / 100.0f) / 20.0));
    }
    if (p < 0) {
        left = float(double(c) * std::pow(10.0, double(float(-p) * law / 100.0f) / 20.0));
        right = c * float(100 + p) / 100.0f;
    }
}

struct PanCase {
    std::string name;
    int channels;        // of the track
    std::string script;  // lines after the mix name
    std::string prefs;
    float panL, panR;
    int polarity;
    int32_t level;       // channel 1's level
    int delay = 0;       // frames the left side of a mono track lags the right
    double master = 1.0;  // master fader gain (2^27 divisor), 1 when it has no entries
};
// The case's name alone, so that test lists stay readable.
void PrintTo(const PanCase& c, std::ostream* os) { *os << c.name; }

PanCase Mono(std::string name, float law, int p) {
    PanCase c{name, 1, "t\t0\t0\t0\nv\t1\t0\np\t1\t" + std::to_string(p) + "\n",
              "pan\t" + std::to_string(law) + "\n", 1, 1, 1, L0};
    MonoPan(law, p, c.panL, c.panR);
    return c;
}

std::vector<PanCase> PanCases() {
    const std::string unity = "t\t0\t0\t0\nv\t1\t0\n";
    const double g6 = Gain(Lm6, 1.0f, kBusDiv);
    return {
        {"StereoBalanceRight", 2, unity + "p\t1\t50\n", "", 0.5f, 1.0f, 1, L0},
        {"StereoBalanceLeft", 2, unity + "p\t1\t-25\n", "", 1.0f, 0.75f, 1, L0},
        {"StereoPolarityInverted", 2, unity + "pol\t1\t-1\n", "", 1, 1, -1, L0},
        {"PolarityOtherThanOneIsOne", 2, unity + "pol\t1\t2\n", "", 1, 1, 1, L0},
        Mono("MonoCentreDefaultLaw", 3.0f, 0),
        Mono("MonoHardRight", 3.0f, 100),
        Mono("MonoPartLeft", 3.0f, -40),
        Mono("MonoCentreSixDbLaw", 6.0f, 0),
        {"MonoLawZeroIsUnity", 1, unity + "p\t1\t0\n", "pan\t0\n", 1, 1, 1, L0},
        // 48000 x 8.5 / 13560 = 30.09 frames at full pan: 15 at half.
        {"MonoDelayPan", 1, unity + "dp\t1\t50\n", "", 1, 1, 1, L0, 15},
        {"Trim", 2, unity + "trim\t1\t-6\n", "", 1, 1, 1,
         int32_t(std::trunc(double(L0) * std::pow(10.0, -6.0 / 20.0)))},
        {"TrimAbove24IsBypassed", 2, unity + "trim\t1\t30\n", "", 1, 1, 1, L0},
        {"Scale", 2, unity + "scale\t0.5\n", "", 1, 1, 1, L0 / 2},
        {"MasterTrimScalesChannelsOnly", 2, unity + "v\tM\t0\nmtrim\t-3\n", "", 1, 1, 1,
         int32_t(std::trunc(double(L0) * std::pow(10.0, -3.0 / 20.0)))},
        {"TrimScaleAndMasterTrimInTurn", 2, unity + "trim\t1\t-6\nscale\t0.5\nmtrim\t-3\n", "", 1, 1,
         1,
         int32_t(std::trunc(
             std::trunc(std::trunc(double(L0) * std::pow(10.0, -6.0 / 20.0)) * 0.5) *
             std::pow(10.0, -3.0 / 20.0)))},
        {"PercentLevelAndTrim", 2, "t\t0\t0\t0\nv\t1\t50\ntrim\t1\t50\n", "v=percent\n", 1, 1, 1,
         33554432},
        {"MasterFader", 2, unity + "v\tM\t-6\n", "", 1, 1, 1, L0, 0, g6},
    };
}

class ScriptPan : public ::testing::TestWithParam<PanCase> {};

TEST_P(ScriptPan, GainsFollowTheLaw) {
    const PanCase& c = GetParam();
    const int frames = 400;
    Session s;
    std::vector<int32_t> in = c.channels == 1 ? MonoAlternating(frames) : Alternating(frames);
    s.AddPcm("a.wav", c.channels, 24, in);
    s.faders = "begin\nmix\n" + c.script + "end\n";
    s.prefs = kPrefs + c.prefs + "end\n";
    auto r = s.Run();
    ASSERT_EQ(r.status, 0) << r.output;
    auto out = ReadWavSamples(s.Path("mix.wav"));
    ASSERT_EQ(out.size(), size_t(2 * frames));
    const double gL = Gain(c.level, c.panL, kChannelDiv, c.polarity);
    const double gR = Gain(c.level, c.panR, kChannelDiv, c.polarity);
    for (int f = 0; f < frames; ++f) {
        int32_t xL, xR;
        if (c.channels == 2) {
            xL = in[size_t(2 * f)];
            xR = in[size_t(2 * f + 1)];
        } else {
            xR = in[size_t(f)];
            xL = f >= c.delay ? in[size_t(f - c.delay)] : 0;
        }
        int32_t yL = Scale(xL, gL), yR = Scale(xR, gR);
        if (c.master != 1.0) yL = Scale(yL, c.master), yR = Scale(yR, c.master);
        ASSERT_EQ(out[size_t(2 * f)], Out24(yL)) << f;
        ASSERT_EQ(out[size_t(2 * f + 1)], Out24(yR)) << f;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ScriptPan, ::testing::ValuesIn(PanCases()),
                         [](const auto& info) { return info.param.name; });

TEST(ScriptPanByHand, MonoLawValues) {
    float l = 0, r = 0;
    MonoPan(3.0f, 100, l, r);
    EXPECT_EQ(l, 0.0f);
    EXPECT_NEAR(r, 1.0f, 1e-6);
    MonoPan(3.0f, 0, l, r);
    EXPECT_NEAR(l, 0.708f, 1e-3);
    EXPECT_EQ(l, r);
}

// ---------------------------------------------------------------- routing

// Output side of two stereo channels (x1, x2 their input samples of one side)
// for a routing script.
using SideFn = std::function<int32_t(int32_t x1, int32_t x2, int side)>;

struct RouteCase {
    std::string name;
    std::string script;  // after "t 0 0 0", "v 1 0", "v 2 0"
    SideFn predict;
    std::string message = {};
};
// The case's name alone, so that test lists stay readable.
void PrintTo(const RouteCase& c, std::ostream* os) { *os << c.name; }

int32_t Ch(int32_t x) { return Scale(x, Gain(L0, 1.0f, kChannelDiv)); }  // channel at 0 dB
const double kCurve6 = double(Lm6) * 7.450580596923828e-09;                  // VCA at -6 dB
const double kSub6 = Gain(Lm6, 1.0f, kBusDiv);                                // submix at -6 dB

std::vector<RouteCase> RouteCases() {
    return {
        {"NoRoutingFeedsTheMaster", "", [](int32_t a, int32_t b, int) { return Out24(Ch(a) + Ch(b)); }},
        {"SubmixWithItsOwnLevel", "sub\t1\t1\nv\tG\t1\t-6\n",
         [](int32_t a, int32_t b, int) { return Out24(Scale(Ch(a), kSub6) + Ch(b)); }},
        {"SubmixWithoutEntriesOrEffectsIsUnity", "sub\t1\t1,2\n",
         [](int32_t a, int32_t b, int) { return Out24(Ch(a) + Ch(b)); }},
        {"SubmixMuteSilencesItsFeeders", "sub\t1\t1\nsubmu\t1\n",
         [](int32_t, int32_t b, int) { return Out24(Ch(b)); }},
        {"SubmixSoloMutesEverythingElse", "sub\t2\t2\nsubso\t2\n",
         [](int32_t, int32_t b, int) { return Out24(Ch(b)); }},
        {"ChannelInASubmixAndBusZero", "sub\t0\t1\nsub\t3\t1\nv\tG\t3\t-6\n",
         [](int32_t a, int32_t b, int) { return Out24(Ch(a) + Scale(Ch(a), kSub6) + Ch(b)); }},
        {"SubmixBalanceAndPolarity", "sub\t1\t1\nv\tG\t1\t0\np\tG\t1\t50\npol\tG\t1\t-1\n",
         [](int32_t a, int32_t b, int side) {
             return Out24(Scale(Ch(a), Gain(L0, side == 0 ? 0.5f : 1.0f, kBusDiv, -1)) + Ch(b));
         }},
        {"VcaScalesItsMembers", "VCA:\t1\t1\nvca\t1\t-6\n",
         [](int32_t a, int32_t b, int) {
             return Out24(Scale(a, Gain(L0, 1.0f, kChannelDiv) * kCurve6) + Ch(b));
         }},
        {"VcaWithoutEntriesSilencesItsMembers", "VCA:\t1\t1\n",
         [](int32_t, int32_t b, int) { return Out24(Ch(b)); }},
        {"VcaOfTheHighestNumberWins", "VCA:\t2\t1\nVCA:\t5\t1\nvca\t2\t-6\nvca\t5\t0\n",
         [](int32_t a, int32_t b, int) { return Out24(Ch(a) + Ch(b)); }},
        {"VcaOnASubmix", "sub\t1\t1\nv\tG\t1\t0\nVCA:\t2\t128\nvca\t2\t-6\n",
         [](int32_t a, int32_t b, int) {
             return Out24(Scale(Ch(a), Gain(L0, 1.0f, kBusDiv) * kCurve6) + Ch(b));
         }},
        {"VcaOnTheMaster", "VCA:\t3\t0\nvca\t3\t-6\nv\tM\t0\n",
         [](int32_t a, int32_t b, int) {
             return Out24(Scale(Ch(a) + Ch(b), Gain(L0, 1.0f, kBusDiv) * kCurve6));
         }},
        // The master follows a VCA only through its own fader.
        {"VcaOnTheMasterWithoutMasterEntries", "VCA:\t3\t0\nvca\t3\t-6\n",
         [](int32_t a, int32_t b, int) { return Out24(Ch(a) + Ch(b)); }},
        {"OutOfRangeListItemIsReported", "sub\t1\t1,200\n",
         [](int32_t a, int32_t b, int) { return Out24(Ch(a) + Ch(b)); },
         "Channel assigned to sub 1 is out of range!\n"},
    };
}

class ScriptRouting : public ::testing::TestWithParam<RouteCase> {};

TEST_P(ScriptRouting, BusesSumAsRouted) {
    const RouteCase& c = GetParam();
    const int frames = 300;
    Session s;
    auto a = Alternating(frames, kAmp / 2);  // room for three sums on the bus
    auto b = Alternating(frames, kAmp / 4);
    s.AddPcm("a.wav", 2, 24, a);
    s.AddPcm("b.wav", 2, 24, b);
    s.faders = "begin\nmix\nt\t0\t0\t0\nv\t1\t0\nv\t2\t0\n" + c.script + "end\n";
    auto r = s.Run();
    ASSERT_EQ(r.status, 0) << r.output;
    if (!c.message.empty()) {
        EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    }
    auto out = ReadWavSamples(s.Path("mix.wav"));
    ASSERT_EQ(out.size(), size_t(2 * frames));
    for (size_t i = 0; i < out.size(); ++i) {
        ASSERT_EQ(out[i], c.predict(a[i], b[i], int(i % 2))) << "frame " << i / 2 << " side " << i % 2;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ScriptRouting, ::testing::ValuesIn(RouteCases()),
                         [](const auto& info) { return info.param.name; });

// A VCA ramp, and a preview that starts inside it: the members follow the
// curve sample by sample.
struct VcaRampCase {
    std::string name;
    std::string prefs;
    int64_t start, length;
    std::string outName;
};
// The case's name alone, so that test lists stay readable.
void PrintTo(const VcaRampCase& c, std::ostream* os) { *os << c.name; }

class ScriptVcaRamp : public ::testing::TestWithParam<VcaRampCase> {};

TEST_P(ScriptVcaRamp, MembersFollowTheCurve) {
    const VcaRampCase& c = GetParam();
    const int frames = 96000;
    Session s;
    auto in = Alternating(frames);
    s.AddPcm("a.wav", 2, 24, in);
    s.faders = "begin\nmix\nVCA:\t1\t1\nt\t0\t0\t0\nv\t1\t0\nvca\t1\t0\nt\t0\t1\t0\nvca\t1\t-6\n"
               "rmp\t0.5\nend\n";
    s.prefs = kPrefs + c.prefs + "end\n";
    auto r = s.Run();
    ASSERT_EQ(r.status, 0) << r.output;
    auto out = ReadWavSamples(s.Path(c.outName));
    ASSERT_EQ(out.size(), size_t(2 * c.length));
    // VCAs get no automatic ramps: the ramp is the written 24000 samples.
    auto curve = VcaCurve({{0, L0, 0}, {48000, Lm6, 24000}}, frames);
    EXPECT_NEAR(curve[47999], 1.0, 1e-9);
    EXPECT_NEAR(curve[48000 + 11999], std::pow(10.0, -3.0 / 20.0), 1e-4);
    EXPECT_NEAR(curve[48000 + 23999], std::pow(10.0, -6.0 / 20.0), 1e-6);
    const double g = Gain(L0, 1.0f, kChannelDiv);
    for (int64_t i = 0; i < 2 * c.length; ++i) {
        const int64_t sample = c.start + i / 2;
        ASSERT_EQ(out[size_t(i)], Out24(Scale(in[size_t(2 * c.start + i)], g * curve[size_t(sample)])))
            << "frame " << sample;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ScriptVcaRamp,
                         ::testing::Values(VcaRampCase{"WholeSong", "", 0, 96000, "mix.wav"},
                                           VcaRampCase{"PreviewInsideTheRamp",
                                                       "pre\ton\nstart\t0\t1\t250\nlength\t0.5\n",
                                                       60000, 24000, "preview.wav"}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
