// Whole runs of the built mixer with the room and tap reverbs: echo patterns
// from the room geometry, tails across block edges, silent returns, the fatal
// geometry errors, master-fed reverbs and the reverb tap files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "run_signals.hpp"

using namespace runsignals;
using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::Session;

namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 131072;

// Surface distances in samples: front, left, right, rear, floor, ceiling
// (index 1..6), from the room size in feet and the listening position.
std::array<int, 7> Distances(float size, float x = 37, float y = 39, float z = 43) {
    const float f = float(kRate) / 1130.0f;
    const float L = f * size, W = 0.83116f * f * size, H = 0.64935f * f * size;
    return {0,
            int((1.0f - x / 100.0f) * L),
            int((z / 100.0f) * W),
            int((1.0f - z / 100.0f) * W),
            int((x / 100.0f) * L),
            int((y / 100.0f) * H),
            int((1.0f - y / 100.0f) * H)};
}

// Tap delays per tap and surface (1 front, 2 left, 3 right, 4 rear, 5 floor,
// 6 ceiling); each further tap starts from another surface's previous one.
std::vector<std::array<int, 7>> TapDelays(float size, int taps) {
    const auto d = Distances(size);
    auto pair = [&](int i, int j) { return std::sqrt(float(d[size_t(i)]) * float(d[size_t(i)]) + float(d[size_t(j)]) * float(d[size_t(j)])); };
    std::vector<std::array<int, 7>> t(static_cast<size_t>(taps));
    for (int k = 1; k <= 6; ++k) t[0][size_t(k)] = 2 * d[size_t(k)];
    // Source surface of each surface, for the five patterns in turn.
    const int from[5][7] = {
        {0, 4, 3, 1, 6, 2, 5},  // left<-right, right<-front, front<-rear, rear<-ceiling, ceiling<-floor, floor<-left
        {0, 6, 1, 4, 5, 3, 2},
        {0, 5, 4, 6, 2, 1, 3},
        {0, 2, 6, 5, 3, 4, 1},
        {0, 3, 5, 2, 1, 6, 4},
    };
    for (int n = 1; n < taps; ++n)
        for (int k = 1; k <= 6; ++k) {
            const int src = from[(n - 1) % 5][k];
            t[size_t(n)][size_t(k)] = int(float(t[size_t(n - 1)][size_t(src)]) + float(d[size_t(k)]) + pair(k, src));
        }
    return t;
}

// A stereo impulse at `at` in a track of `frames` frames.
std::vector<int32_t> Impulse(int frames, int at, int32_t left, int32_t right) {
    std::vector<int32_t> l(size_t(frames), 0), r(size_t(frames), 0);
    l[size_t(at)] = left;
    r[size_t(at)] = right;
    return Stereo(l, r);
}

std::vector<int32_t> RunImpulse(const std::string& lines, int frames, int at = 0,
                                const std::string& prefs = "") {
    Session s;
    s.AddPcm("a.wav", 2, 24, Impulse(frames, at, 4000000, 2000000), kRate);
    s.faders = Faders(1, lines);
    if (!prefs.empty()) s.prefs = prefs;
    auto r = s.Run();
    EXPECT_EQ(r.status, 0) << r.output;
    return Mix(s);
}

struct Fatal {
    std::string lines;
    int frames;
    std::string message;
};

void ExpectFatal(const Fatal& c) {
    Session s;
    s.AddPcm("a.wav", 2, 24, Impulse(c.frames, 0, 1000, 1000), kRate);
    testsupport::WriteFile(s.Path("mix.wav"), "earlier mix");
    s.faders = Faders(1, c.lines);
    s.prefs = "begin\ndither\t0\nverbo\t1\ntap\trev\nend\n";
    auto r = s.Run();
    EXPECT_EQ(r.status, 1) << c.lines << r.output;
    EXPECT_NE(r.output.find(c.message), std::string::npos) << c.lines << r.output;
    EXPECT_EQ(r.output.find("Done!"), std::string::npos) << c.lines;
    EXPECT_EQ(ReadFile(s.Path("mix.wav")), "earlier mix") << c.lines;
    EXPECT_FALSE(FileExists(s.Path("stats_mix.txt"))) << c.lines;
    EXPECT_FALSE(FileExists(s.Path("revTap.wav"))) << c.lines;
    int files = 0;  // the track, the three text files and the earlier mix
    for (auto& e : std::filesystem::directory_iterator(s.dir.path())) files += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 5) << c.lines;
}

}  // namespace

// ------------------------------------------------------------- room reverb

TEST(ReverbRunRoom, ImpulseGivesTheEchoPatternOfTheRoom) {
    const auto d = Distances(75);
    ASSERT_EQ(d, (std::array<int, 7>{0, 1844, 1046, 1386, 1082, 741, 1159}));
    // Sent by the channel, and by a submix.
    for (const char* send : {"rev\t1\t0\n", "sub\t1\t1\nrev\tG\t1\t0\n"}) {
        SCOPED_TRACE(send);
        auto out = RunImpulse(std::string(send) + "rtn\t0\t75\n", 20000);
        const auto L = Side(out, 0), R = Side(out, 1);
        // Each surface hears its side at a quarter, the width 50 % halves the
        // cross-side of the front, rear, floor and ceiling.
        std::vector<int32_t> wantL(3000, 0), wantR(3000, 0);
        wantL[0] = 4000000;
        wantR[0] = 2000000;
        const int32_t qL = 1000000, qR = 500000;  // a quarter of each side
        wantL[size_t(d[1])] += qL / 2, wantR[size_t(d[1])] += qL;  // front, fed by the left
        wantL[size_t(d[2])] += qL;                                 // left wall
        wantR[size_t(d[3])] += qR;                                 // right wall
        wantL[size_t(d[4])] += qR, wantR[size_t(d[4])] += qR / 2;  // rear, fed by the right
        wantL[size_t(d[5])] += qL / 2, wantR[size_t(d[5])] += qL;  // floor, fed by the left
        wantL[size_t(d[6])] += qR, wantR[size_t(d[6])] += qR / 2;  // ceiling, fed by the right
        // The first passage through the network comes back no earlier than the
        // shortest path surface -> surface -> listener.
        int first = 1 << 30;
        for (int j = 1; j <= 6; ++j)
            for (int k = 1; k <= 6; ++k)
                if (j != k) {
                    const int djk = int(std::sqrt(double(d[size_t(j)] * d[size_t(j)] + d[size_t(k)] * d[size_t(k)])));
                    first = std::min(first, djk + d[size_t(j)]);
                }
        ASSERT_LT(first, 3000);
        for (int i = 0; i < first; ++i) {
            ASSERT_EQ(L[size_t(i)], wantL[size_t(i)]) << i;
            ASSERT_EQ(R[size_t(i)], wantR[size_t(i)]) << i;
        }
        bool heard = false;
        for (int i = first; i < first + 50; ++i) heard = heard || L[size_t(i)] != 0 || R[size_t(i)] != 0;
        EXPECT_TRUE(heard);
    }
}

TEST(ReverbRunRoom, TailCrossesABlockEdgeWithoutAGapOrADoubledSample) {
    const int tail = 40000, at = kBlock - 1500;
    const auto early = RunImpulse("rev\t1\t0\nrtn\t0\t75\n", tail);
    const auto late = RunImpulse("rev\t1\t0\nrtn\t0\t75\n", at + tail, at);
    ASSERT_EQ(late.size(), size_t(2 * (at + tail)));
    for (size_t i = 0; i < size_t(2 * at); ++i) ASSERT_EQ(late[i], 0) << i;
    for (size_t i = 0; i < size_t(2 * tail); ++i) ASSERT_EQ(late[size_t(2 * at) + i], early[i]) << i;
}

TEST(ReverbRunRoom, ZeroSendGivesAnExactlySilentReturn) {
    const std::string percent = "begin\ndither\t0\nverbo\t1\nv=percent\nend\n";
    const auto in = Impulse(5000, 0, 4000000, 2000000);
    struct Case {
        std::string lines, prefs;
    } cases[] = {
        {"rev\t1\t0\nrtn\t100\t75\n", percent},   // send level 0 %
        {"rev\t1\t100\nrtn\t0\t75\n", percent},   // return (input) level 0 %
        {"rtn\t0\t75\nrhp\t100\nrlp\t5000\n", ""},  // no send at all, through the input filters
    };
    for (const auto& c : cases) {
        Session s;
        s.AddPcm("a.wav", 2, 24, in, kRate);
        s.faders = "begin\nmix\nt\t0\t0\t0\nv\t1\t" + std::string(c.prefs.empty() ? "0" : "100") + "\n" +
                   c.lines + "end\n";
        if (!c.prefs.empty()) s.prefs = c.prefs;
        auto r = s.Run();
        ASSERT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(Mix(s), in) << c.lines;
    }
}

TEST(ReverbRunRoom, GeometryErrorsEndWithStatus1AndNoOutput) {
    const Fatal cases[] = {
        {"rev\t1\t0\nrtn\t0\t-5\n", 20000, "Illegal value for reverb room size"},
        {"rev\t1\t0\nrtn\t0\t4261\n", kBlock, "Please reduce room size in reverb!"},
        {"rev\t1\t0\nrtn\t0\t75\n", 2000, "Please reduce room size in reverb!"},  // mix shorter than the room
    };
    for (const auto& c : cases) ExpectFatal(c);
    Session s;  // the largest room that still fits the block
    s.AddPcm("a.wav", 2, 24, Impulse(kBlock, 0, 1000, 1000), kRate);
    s.faders = Faders(1, "rev\t1\t0\nrtn\t0\t4260\n");
    EXPECT_EQ(s.Run().status, 0);
}

// -------------------------------------------------------------- tap reverb

TEST(ReverbRunTap, TapTimesAndGainsForASimpleRoom) {
    const auto one = TapDelays(75, 1);
    ASSERT_EQ(one[0], (std::array<int, 7>{0, 3688, 2092, 2772, 2164, 1482, 2318}));
    EXPECT_EQ(TapDelays(75, 2)[1][2], 5554);
    EXPECT_EQ(std::ranges::max(TapDelays(75, 11)[10]), 35365);
    for (int taps : {1, 2, 5}) {
        const auto t = TapDelays(75, taps);
        auto out = RunImpulse("trev\t1\t0\ntrtn\t0\t75\t" + std::to_string(taps) + "\n", 30000);
        std::vector<int64_t> wantL(30000, 0), wantR(30000, 0);
        wantL[0] = 4000000;
        wantR[0] = 2000000;
        for (int n = 0; n < taps; ++n) {
            const double g = 1.0 / double(2 << n);
            for (int k : {2, 5, 6, 1, 4}) wantL[size_t(t[size_t(n)][size_t(k)])] += int64_t(4000000 * g);
            for (int k : {3, 5, 6, 1, 4}) wantR[size_t(t[size_t(n)][size_t(k)])] += int64_t(2000000 * g);
        }
        for (size_t i = 0; i < 30000; ++i) {
            ASSERT_EQ(out[2 * i], wantL[i]) << taps << " taps, frame " << i;
            ASSERT_EQ(out[2 * i + 1], wantR[i]) << taps << " taps, frame " << i;
        }
    }
}

TEST(ReverbRunTap, RunsBeforeTheRoomReverbIntoTheSameReturn) {
    // Both reverbs add into one return: together they give the sum of each alone.
    const auto tap = RunImpulse("trev\t1\t0\ntrtn\t0\t75\t2\n", 20000);
    const auto room = RunImpulse("rev\t1\t0\nrtn\t0\t75\n", 20000);
    const auto both = RunImpulse("trev\t1\t0\ntrtn\t0\t75\t2\nrev\t1\t0\nrtn\t0\t75\n", 20000);
    for (size_t i = 2; i < 2 * 2000; ++i) ASSERT_EQ(both[i], tap[i] + room[i]) << i;
    // The tap reverb is set up first: its fatal error is the one reported.
    ExpectFatal({"trev\t1\t0\ntrtn\t0\t-5\t1\nrev\t1\t0\nrtn\t0\t-5\n", 20000,
                 ">>> Error:  Illegal value for tap reverb room size"});
    Session s;
    s.AddPcm("a.wav", 2, 24, Impulse(20000, 0, 1000, 1000), kRate);
    s.faders = Faders(1, "trev\t1\t0\ntrtn\t0\t-5\t1\nrev\t1\t0\nrtn\t0\t-5\n");
    EXPECT_EQ(s.Run().output.find("Illegal value for reverb room size"), std::string::npos);
}

TEST(ReverbRunTap, FatalMessagesOfTheTapReverb) {
    const auto big = TapDelays(300, 11);
    const int m = std::ranges::max(big[10]);
    ASSERT_GE(m, kBlock);
    char suggestion[200];
    std::snprintf(suggestion, sizeof suggestion,
                  ">>> Error:  Please decrease reverb tap number to %i or room length to %.0f feet\n",
                  int(11.0 * kBlock / m - 1), 300.0 * kBlock / m - 1);
    const Fatal cases[] = {
        {"trev\t1\t0\ntrtn\t0\t-5\t1\n", 20000, ">>> Error:  Illegal value for tap reverb room size"},
        {"trev\t1\t0\ntrtn\t0\t1333\t1\n", 20000, ">>> Error: A tap reverb dimension has exceeded the limit"},
        {"trev\t1\t0\ntrtn\t0\t300\t11\n", 20000, suggestion},
    };
    for (const auto& c : cases) ExpectFatal(c);
}

// ------------------------------------------------------ master-fed reverbs

TEST(ReverbRunMaster, MasterSendReplacesSubmixSendsAndSkipsChannelSends) {
    // A single channel at unity: the master carries exactly the channel.
    EXPECT_EQ(RunImpulse("rev\tM\t0\nrtn\t0\t75\n", 20000), RunImpulse("rev\t1\t0\nrtn\t0\t75\n", 20000));
    const auto masterOnly = RunImpulse("rev\tM\t-6\nrtn\t0\t75\n", 20000);
    EXPECT_NE(masterOnly, RunImpulse("rev\tM\t0\nrtn\t0\t75\n", 20000));
    struct Case {
        const char* lines;
    } cases[] = {
        {"rev\t1\t0\nrev\tM\t-6\nrtn\t0\t75\n"},                   // channel send skipped
        {"sub\t1\t1\nrev\tG\t1\t0\nrev\tM\t-6\nrtn\t0\t75\n"},     // submix send replaced
        {"rev\tM\t-6\nrtn\t0\t75\ntrev\t1\t0\ntrtn\t0\t75\t3\n"},  // the tap reverb is not fed: it does not run
    };
    for (const auto& c : cases) EXPECT_EQ(RunImpulse(c.lines, 20000), masterOnly) << c.lines;
}

// ---------------------------------------------------------------- tap files

TEST(ReverbRunTapFile, BothModesWriteSixBytesAFrame) {
    const int frames = 6000;
    const auto in = Impulse(frames, 0, 4000000, 2000000);
    for (const char* mode : {"rev", "rtn"}) {
        Session s;
        s.AddPcm("a.wav", 2, 24, in, kRate);
        s.faders = Faders(1, "rev\t1\t0\nrtn\t0\t75\n");
        s.prefs = std::string("begin\ndither\t0\nverbo\t1\noutbits\t16\ntap\t") + mode + "\nend\n";
        auto r = s.Run();
        ASSERT_EQ(r.status, 0) << r.output;
        const std::string name = std::string(mode) + "Tap.wav";
        ASSERT_TRUE(FileExists(s.Path(name))) << name;
        EXPECT_FALSE(FileExists(s.Path(std::string(mode) == "rev" ? "rtnTap.wav" : "revTap.wav")));
        EXPECT_EQ(ReadFile(s.Path(name)).size(), 44u + 6u * frames);
        int ch = 0, bits = 0, rate = 0;
        const auto tap = testsupport::ReadWavSamples(s.Path(name), &ch, &bits, &rate);
        EXPECT_EQ(ch, 2);
        EXPECT_EQ(bits, 24);
        EXPECT_EQ(rate, kRate);
        if (std::string(mode) == "rev") {
            EXPECT_EQ(tap, in);  // the send without its input level, at 24-bit scale
        } else {
            const auto mix = RunImpulse("rev\t1\t0\nrtn\t0\t75\n", frames);  // the return alone past frame 0
            for (size_t i = 2; i < tap.size(); ++i) ASSERT_NEAR(tap[i], mix[i], 1) << i;
            EXPECT_EQ(tap[0], 0);
        }
        if (!testsupport::HaveTool("python3")) continue;
        auto py = testsupport::RunProgram(
            "python3",
            {"-c", "import wave; w = wave.open('" + name +
                       "'); print(w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes())"},
            s.dir.path());
        EXPECT_EQ(py.output, "2 3 44100 6000\n") << name;
    }
}

TEST(ReverbRunTapFile, NoTapFileWithoutTheRoomReverb) {
    Session s;
    s.AddPcm("a.wav", 2, 24, Impulse(3000, 0, 1000, 1000), kRate);
    s.faders = Faders(1, "trev\t1\t0\ntrtn\t0\t75\t1\n");
    s.prefs = "begin\ndither\t0\nverbo\t1\ntap\trev\nend\n";
    ASSERT_EQ(s.Run().status, 0);
    EXPECT_FALSE(FileExists(s.Path("revTap.wav")));
}

TEST(ReverbRunTapFile, MonoSixteenBitMixStillGetsSixByteTapFrames) {
    if (!testsupport::HaveTool("python3")) GTEST_SKIP() << "python3 not installed";
    Session s;
    s.AddPcm("a.wav", 2, 24, Impulse(3000, 0, 1000, 1000), kRate);
    s.faders = Faders(1, "rev\t1\t0\nrtn\t0\t75\n");
    s.prefs = "begin\ndither\t0\nverbo\t1\nmono\t1\noutbits\t16\ntap\trtn\nend\n";
    ASSERT_EQ(s.Run().status, 0);
    auto py = testsupport::RunProgram(
        "python3",
        {"-c", "import wave; w = wave.open('rtnTap.wav'); m = wave.open('mix.wav'); "
               "print(w.getsampwidth() * w.getnchannels(), m.getsampwidth() * m.getnchannels(), "
               "w.getnframes(), len(w.readframes(w.getnframes())))"},
        s.dir.path());
    EXPECT_EQ(py.output, "6 2 3000 18000\n");
}
