// Whole runs of the built mixer that check the gains the mix script gives:
// steps, ramps, shapes, block edges, entry order, automatic ramps, offsets,
// previews and the time base. Every expected output sample is predicted from
// the gain formulas in script_model.hpp.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mixer/run/script_model.hpp"
#include "support/session.hpp"

using namespace scriptmodel;
using testsupport::FileExists;
using testsupport::ReadWavSamples;
using testsupport::Session;

namespace {

constexpr int kRate = 48000;
const std::string kPrefs = "begin\ndither\t0\nverbo\t1\n";

struct GainCase {
    std::string name;
    std::string script;  // the lines after the mix name
    std::string prefs;   // extra preference lines
    int trackFrames;
    std::vector<Entry> entries;  // channel 1's table as the engine should hold it
    int64_t start = 0;           // first sample of the mix window
    int64_t length = -1;         // window length, -1 for the rest of the song
    int64_t offset = 0;          // start offset of channel 1
    std::string outName = "mix.wav";
    std::string message = {};  // printed text the run must contain
};
// The case's name alone, so that test lists stay readable.
void PrintTo(const GainCase& c, std::ostream* os) { *os << c.name; }

// Predicted 24-bit output of a stereo alternating track on channel 1 at 0
// pan through a master without effects.
std::vector<int32_t> Predict(const GainCase& c, const std::vector<int32_t>& in, int64_t length) {
    std::vector<int32_t> out;
    for (int64_t s = c.start; s < c.start + length; ++s) {
        const int64_t f = s - c.offset;
        const bool sounding = f >= 0 && f < c.trackFrames;
        const double g = Gain(LevelAt(c.entries, s), 1.0f, kChannelDiv);
        for (int side = 0; side < 2; ++side) {
            int32_t x = sounding ? in[size_t(2 * f + side)] : 0;
            out.push_back(Out24(Scale(x, g)));
        }
    }
    return out;
}

void RunGainCase(const GainCase& c) {
    Session s;
    auto in = Alternating(c.trackFrames);
    s.AddPcm("a.wav", 2, 24, in);
    s.faders = "begin\nmix\n" + c.script + "end\n";
    s.prefs = kPrefs + c.prefs + "end\n";
    auto r = s.Run();
    ASSERT_EQ(r.status, 0) << r.output;
    if (!c.message.empty()) {
        EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    }
    auto out = ReadWavSamples(s.Path(c.outName));
    const int64_t song = c.offset + c.trackFrames;
    const int64_t length = c.length >= 0 ? c.length : song - c.start;
    auto expect = Predict(c, in, length);
    ASSERT_EQ(out.size(), expect.size());
    for (size_t i = 0; i < out.size(); ++i) {
        ASSERT_EQ(out[i], expect[i]) << "frame " << (c.start + int64_t(i / 2)) << " side " << i % 2;
    }
}

const int32_t L0 = Level(0), Lm6 = Level(-6), Lm12 = Level(-12), Lm20 = Level(-20);
const std::string kHuge = "dbps\t1000000\n";  // level changes without "rmp" stay steps

std::vector<GainCase> GainCases() {
    const std::string rampScript = "t\t0\t0\t0\nv\t1\t-20\nt\t0\t1\t0\nv\t1\t0\nrmp\t1\n";
    const std::vector<Entry> ramp = {{0, Lm20, 0}, {48000, L0, 48000}};
    return {
        {"Step", "t\t0\t0\t0\nv\t1\t0\nt\t0\t1\t0\nv\t1\t-6\n", kHuge, 72000,
         {{0, L0, 0}, {48000, Lm6, 0}}},
        {"LinearRamp", rampScript, "", 120000, ramp},
        {"ShapedRamp", rampScript + "shape\t2\n", "", 120000, {{0, Lm20, 0}, {48000, L0, 48000, 2.0f}}},
        {"ShapeBelowOne", rampScript + "shape\t0.5\n", "", 120000,
         {{0, Lm20, 0}, {48000, L0, 48000, 0.5f}}},
        {"RampAcrossBlockEdge", "t\t0\nv\t1\t-12\nt\t2.5\nv\t1\t0\nrmp\t0.5\n", "tfields\t1\n",
         150000, {{0, Lm12, 0}, {120000, L0, 24000}}},
        {"TwoEntriesAtOneTimeTheLastWins", "t\t0\t0\t0\nv\t1\t0\nt\t0\t1\t0\nv\t1\t-6\nv\t1\t-12\n",
         "", 72000, {{0, L0, 0}, {48000, Lm6, 0}, {48000, Lm12, AutoRamp(Lm6, Lm12, kRate)}}},
        {"EntriesOutOfOrderAreSorted",
         "t\t0\t0\t0\nv\t1\t0\nt\t0\t1\t0\nv\t1\t-12\nt\t0\t0\t500\nv\t1\t-6\n", "", 72000,
         {{0, L0, 0}, {24000, Lm6, AutoRamp(L0, Lm6, kRate)}, {48000, Lm12, AutoRamp(Lm6, Lm12, kRate)}},
         0, -1, 0, "mix.wav",
         "Warning: faders.txt:8: the level entries of fader 1 were out of time order and have been "
         "sorted.\n"},
        {"RampCutByNextEntry", "t\t0\t0\t0\nv\t1\t-20\nt\t0\t1\t0\nv\t1\t0\nrmp\t2\nt\t0\t2\t0\nv\t1\t-6\n",
         "", 144000, {{0, Lm20, 0}, {48000, L0, 48000}, {96000, Lm6, AutoRamp(L0, Lm6, kRate)}}},
        {"AutomaticRampAtTheDefaultRate", "t\t0\t0\t0\nv\t1\t0\nt\t0\t1\t0\nv\t1\t-6\n", "", 72000,
         {{0, L0, 0}, {48000, Lm6, AutoRamp(L0, Lm6, kRate)}}},
        {"AutomaticRampAtADbpsRate", "t\t0\t0\t0\nv\t1\t0\nt\t0\t1\t0\nv\t1\t-6\n", "dbps\t12\n",
         96000, {{0, L0, 0}, {48000, Lm6, AutoRamp(L0, Lm6, kRate, 12.0)}}},
        {"FirstEntryLateRulesFromTheStart", "t\t0\t0\t500\nv\t1\t-6\n", "", 48000, {{24000, Lm6, 0}}},
        {"PreviewStartsInsideARamp", rampScript, "pre\ton\nstart\t0\t1\t500\nlength\t1\n", 120000,
         ramp, 72000, 48000, 0, "preview.wav"},
        {"HeadStartsInsideARamp", rampScript, "head\t1.5\n", 120000, ramp, 72000},
        {"OffsetAfterAllEntries", "sstamp\t1\t96000\nt\t0\t0\t0\nv\t1\t0\nt\t0\t1\t0\nv\t1\t-6\n", "",
         24000, {{0, L0, 0}, {48000, Lm6, AutoRamp(L0, Lm6, kRate)}}, 0, -1, 96000},
        {"OffsetBetweenEntries", "sstamp\t1\t48000\nt\t0\t0\t0\nv\t1\t0\nt\t0\t1\t500\nv\t1\t-6\n",
         "", 48000, {{0, L0, 0}, {72000, Lm6, AutoRamp(L0, Lm6, kRate)}}, 0, -1, 48000},
        // The 1 s ramp at 2.5 s is cut to the song's end at 160000.
        {"OffsetInsideARampInALaterBlock",
         "sstamp\t1\t140000\nt\t0\t0\t0\nv\t1\t-20\nt\t0\t2\t500\nv\t1\t0\nrmp\t1\n", "", 20000,
         {{0, Lm20, 0}, {120000, L0, 40000}}, 0, -1, 140000, "mix.wav",
         "Adjusted volume ramp that exceeded song length (channel 1)\n"},
        {"OffsetInsideARampInTheFirstBlock",
         "sstamp\t1\t36000\nt\t0\t0\t0\nv\t1\t0\nt\t0\t0\t500\nv\t1\t-20\nrmp\t1\n", "", 60000,
         {{0, L0, 0}, {24000, Lm20, 48000}}, 0, -1, 36000},
        {"PreviewAndOffsetInsideARamp",
         "sstamp\t1\t200000\nt\t0\t0\t0\nv\t1\t-20\nt\t0\t4\t0\nv\t1\t0\nrmp\t1\n",
         // The preview's default length (the song's) would run past the song's end.
         "pre\ton\nstart\t0\t1\t0\n", 40000, {{0, Lm20, 0}, {192000, L0, 48000}}, 48000, -1, 200000,
         "preview.wav", "Warning: the mix window ends past the song's end; it is cut at 0:05.000.\n"},
    };
}

class ScriptGain : public ::testing::TestWithParam<GainCase> {};

TEST_P(ScriptGain, EveryOutputSampleFollowsTheFormulas) { RunGainCase(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Cases, ScriptGain, ::testing::ValuesIn(GainCases()),
                         [](const auto& info) { return info.param.name; });

// Chosen samples of the runs above, by hand: the values the ramps must reach.
TEST(ScriptGainByHand, RampStartMiddleAndEnd) {
    const std::vector<Entry> lin = {{0, Lm20, 0}, {48000, L0, 48000}};
    const std::vector<Entry> sq = {{0, Lm20, 0}, {48000, L0, 48000, 2.0f}};
    EXPECT_EQ(LevelAt(lin, 47999), Lm20);
    EXPECT_NEAR(DB(LevelAt(lin, 48000)), -20.0 + 20.0 / 48000, 1e-5);  // first ramp sample
    EXPECT_NEAR(DB(LevelAt(lin, 48000 + 23999)), -10.0, 1e-6);        // progress 24000
    EXPECT_NEAR(DB(LevelAt(sq, 48000 + 23999)), -15.0, 1e-6);         // (1/2)^2 of the way
    EXPECT_EQ(LevelAt(lin, 48000 + 47999), L0);                       // progress 48000
    EXPECT_EQ(AutoRamp(L0, Lm6, kRate), 1500);                        // 6 dB at 192 dB/s
    EXPECT_EQ(AutoRamp(L0, Lm6, kRate, 12.0), 24000);                 // 6 dB at 12 dB/s
}

TEST(ScriptGainByHand, RampAcrossTheBlockEdgeHasNoJump) {
    Session s;
    auto in = Alternating(150000);
    s.AddPcm("a.wav", 2, 24, in);
    s.faders = "begin\nmix\nt\t0\nv\t1\t-12\nt\t2.5\nv\t1\t0\nrmp\t0.5\nend\n";
    s.prefs = kPrefs + "tfields\t1\nend\n";
    ASSERT_EQ(s.Run().status, 0);
    auto out = ReadWavSamples(s.Path("mix.wav"));
    // 12 dB over 24000 samples: neighbouring samples differ by 1/2000 dB.
    const double step = std::pow(10.0, 12.0 / 20.0 / 24000.0);
    for (size_t f : {131070u, 131071u, 131072u}) {
        double a = std::abs(double(out[2 * f])), b = std::abs(double(out[2 * f + 2]));
        EXPECT_NEAR(b / a, step, 5e-6) << f;
    }
    // Progress 11073 of 24000 at the first sample of the second block.
    EXPECT_NEAR(out[2 * 131072],
                Out24(Scale(kAmp, Gain(Level(-12.0 + 11073 * (12.0 / 24000)), 1.0f, kChannelDiv))),
                1);
}

// A side whose input keeps its sign keeps its gain: a level change reaches
// it only at its next sign change.
TEST(ScriptGainByHand, GainsChangeOnlyAtSignChanges) {
    Session s;
    std::vector<int32_t> in;
    for (int i = 0; i < 2000; ++i) {
        in.push_back(1000);                   // left: never changes sign
        in.push_back(i < 1200 ? 1000 : -1000);  // right: changes at frame 1200
    }
    s.AddPcm("a.wav", 2, 24, in);
    s.faders = "begin\nmix\nt\t0\t0\t0\nv\t1\t0\nt\t0\t0\t20\nv\t1\t-6\nend\n";  // step at 960
    s.prefs = kPrefs + kHuge + "end\n";
    ASSERT_EQ(s.Run().status, 0);
    auto out = ReadWavSamples(s.Path("mix.wav"));
    ASSERT_EQ(out.size(), 4000u);
    const int32_t unity = 1000, down = Out24(Scale(-1000, Gain(Lm6, 1.0f, kChannelDiv)));
    for (int f = 0; f < 2000; ++f) {
        ASSERT_EQ(out[size_t(2 * f)], unity) << f;
        ASSERT_EQ(out[size_t(2 * f + 1)], f < 1200 ? unity : down) << f;
    }
}

// ---------------------------------------------------------------- times

struct TimeCase {
    std::string name;
    std::string prefs;
    std::string script;  // sets 0 dB first, then -6 dB at the time under test
    int64_t first;       // time of the first entry
    int64_t step;        // expected time of the -6 dB entry
    std::string message = {};
};
// The case's name alone, so that test lists stay readable.
void PrintTo(const TimeCase& c, std::ostream* os) { *os << c.name; }

class ScriptTimes : public ::testing::TestWithParam<TimeCase> {};

TEST_P(ScriptTimes, TheStepLandsOnTheComputedSample) {
    const TimeCase& c = GetParam();
    GainCase g{c.name, c.script, kHuge + c.prefs, 96000, {{c.first, L0, 0}, {c.step, Lm6, 0}}};
    g.message = c.message;
    RunGainCase(g);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScriptTimes,
    ::testing::Values(
        TimeCase{"ThreeFields", "", "t\t0\t0\t0\nv\t1\t0\nt\t0\t1\t250\nv\t1\t-6\n", 0, 60000},
        TimeCase{"TwoFields", "tfields\t2\n", "t\t0\t0\nv\t1\t0\nt\t0\t1.5\nv\t1\t-6\n", 0, 72000},
        TimeCase{"OneField", "tfields\t1\n", "t\t0\nv\t1\t0\nt\t0.75\nv\t1\t-6\n", 0, 36000},
        // 120 bpm, 4/4 at 48000 Hz: 24000 samples a beat; bar 1, beat 2, tick 240.
        TimeCase{"TempoBarBeatTick", "tempo\n",
                 "tmap\t120\t4\t8\nt\t1\t1\t0\nv\t1\t0\nt\t1\t2\t240\nv\t1\t-6\n", 0, 36000},
        // One field in tempo mode is the beat of bar 0, which lies one bar
        // before the song: beat 5 is the song's first beat, beat 7 two beats in.
        TimeCase{"TempoOneFieldIsTheBeatOfBarZero", "tempo\ntfields\t1\n",
                 "tmap\t120\t4\t8\nt\t5\nv\t1\t0\nt\t7\nv\t1\t-6\n", 0, 48000},
        // Second segment at 60 bpm in 3/4 after one bar of 4/4 at 240 bpm (48000 samples).
        TimeCase{"TempoSecondSegment", "tempo\n",
                 "tmap\t240\t4\t1\ntmap\t60\t3\t4\nt\t1\t1\t0\nv\t1\t0\nt\t2\t1\t240\nv\t1\t-6\n", 0,
                 72000},
        TimeCase{"IncMovesTheCurrentTime", "", "t\t0\t0\t0\nv\t1\t0\nt\t0\t1\t0\ninc\t0.5\nv\t1\t-6\n",
                 0, 72000},
        TimeCase{"OfsMovesTheEntry", "", "t\t0\t0\t0\nv\t1\t0\nt\t0\t1\t0\nv\t1\t-6\nofs\t-0.5\n", 0,
                 24000},
        TimeCase{"AutomationOffset", "offset\t0\t0\t500\n",
                 "t\t0\t0\t0\nv\t1\t0\nt\t0\t1\t0\nv\t1\t-6\n", 24000, 72000,
                 "Automation offset by 24000 samples.\n"}),
    [](const auto& info) { return info.param.name; });

struct FatalCase {
    std::string name;
    std::string prefs;
    std::string script;
    std::string message = {};
};
// The case's name alone, so that test lists stay readable.
void PrintTo(const FatalCase& c, std::ostream* os) { *os << c.name; }

class ScriptTimeErrors : public ::testing::TestWithParam<FatalCase> {};

TEST_P(ScriptTimeErrors, EndWithStatus2AndWriteNothing) {
    const FatalCase& c = GetParam();
    Session s;
    s.AddPcm("a.wav", 2, 24, Alternating(96000));
    s.faders = "begin\nmix\n" + c.script + "end\n";
    s.prefs = kPrefs + c.prefs + "end\n";
    auto r = s.Run();
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    EXPECT_FALSE(FileExists(s.Path("mix.wav")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScriptTimeErrors,
    ::testing::Values(
        FatalCase{"PastTheSong", "", "t\t0\t0\t0\nv\t1\t0\nt\t0\t2\t1\nv\t1\t-6\n",
                  "Error:  Time entry 2 exceeds song length\n"},
        FatalCase{"OffsetPushesPastTheSong", "offset\t0\t0\t500\n", "t\t0\t0\t0\nv\t1\t0\nt\t0\t1\t990\n",
                  "Error:  Time entry 2 exceeds song length\n"},
        FatalCase{"TempoBarZeroIsBeforeTheSong", "tempo\n", "tmap\t120\t4\t8\nt\t0\t0\t0\nv\t1\t0\n",
                  "Error:  Time entry 1 is less than zero\n"},
        FatalCase{"TempoWithoutMap", "tempo\n", "t\t1\t1\t0\nv\t1\t0\n",
                  "Tempo mode is on, but no tempos or meters have been entered!\n"}),
    [](const auto& info) { return info.param.name; });

TEST(ScriptTimeErrors, TheSongEndItselfIsAccepted) {
    GainCase g{"End", "t\t0\t0\t0\nv\t1\t0\nt\t0\t2\t0\nv\t1\t-6\n", kHuge, 96000, {{0, L0, 0}, {96000, Lm6, 0}}};
    RunGainCase(g);
}

}  // namespace
