// Whole runs with a loudness target ("lufs", "tpmax"): the written file read
// back by the project's meter and by ffmpeg, the ceiling, silence, the exact
// relation of the two passes, and a rich session mixed alike in both.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <regex>
#include <string>
#include <vector>

#include "mixer/interop/peer_tools.hpp"
#include "mixer/run/output_stage.hpp"
#include "mixer/utilities/metering/loudness_meter.hpp"
#include "mixer/utilities/metering/loudness_target.hpp"
#include "mixer/utilities/text/numbers.hpp"
#include "support/session.hpp"

using testsupport::ReadFile;
using testsupport::ReadWavSamples;
using testsupport::Session;
using namespace varnel;

namespace {

constexpr int kRate = 48000;
constexpr double kFull24 = 8388608.0;

// Deterministic noise in -1..1.
struct Noise {
    uint32_t state;
    double Next() {
        state = state * 1664525u + 1013904223u;
        return double(state >> 8) / double(1u << 23) - 1.0;
    }
};

// A stereo programme of tones and noise whose level swells, left and right
// apart, 24-bit: about -18 LUFS, its true peak some 9 dB above. With
// `spikes`, short loud bursts over a quiet bed instead: a peak far above the
// loudness, so a loud target meets the ceiling.
std::vector<int32_t> Programme(int seconds, bool spikes = false) {
    std::vector<int32_t> s;
    Noise n{12345};
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < seconds * kRate; ++i) {
        const double t = double(i) / kRate;
        const double swell = 0.6 + 0.4 * std::sin(2 * pi * 0.3 * t);
        double l = swell * (0.25 * std::sin(2 * pi * 220 * t) + 0.08 * std::sin(2 * pi * 3100 * t)) +
                   0.05 * n.Next();
        double r = swell * (0.2 * std::sin(2 * pi * 330 * t + 1) + 0.1 * std::sin(2 * pi * 5200 * t)) +
                   0.05 * n.Next();
        if (spikes) {
            l *= 0.1;
            r *= 0.1;
            if (i % kRate < 48) l += 0.6 * std::sin(2 * pi * 0.27 * i);  // 1 ms a second
        }
        s.push_back(int32_t(std::lround(l * kFull24)));
        s.push_back(int32_t(std::lround(r * kFull24)));
    }
    return s;
}

// The project's meter over a written file.
LoudnessFigures MeterOf(const std::string& path) {
    int channels = 0, bits = 0, rate = 0;
    const std::vector<int32_t> s = ReadWavSamples(path, &channels, &bits, &rate);
    std::vector<int32_t> left, right;
    for (size_t i = 0; i + size_t(channels) <= s.size(); i += size_t(channels)) {
        left.push_back(s[i]);
        right.push_back(s[i + size_t(channels) - 1]);
    }
    LoudnessState m;
    StartLoudnessMeter(m, uint32_t(rate), channels, bits == 16 ? 32768.0 : kFull24);
    MeasureLoudness(m, left.data(), right.data(), int(left.size()));
    return LoudnessResult(m);
}

double PeakOf(const LoudnessFigures& f) { return std::max(f.truePeakL, f.truePeakR); }

// ffmpeg's ebur128 summary of a file: integrated loudness and true peak, or
// false when it could not be read.
bool FfmpegReading(const std::string& path, double& integrated, double& peak) {
    const peertools::Shell r = peertools::RunShell(
        "ffmpeg -hide_banner -nostats -i '" + path + "' -af ebur128=peak=true -f null - 2>&1");
    std::smatch m;
    const std::regex i("I:\\s+(-?[0-9.]+|-inf) LUFS"), p("Peak:\\s+(-?[0-9.]+|-inf) dBFS");
    // The summary comes last: take the last match of each.
    bool gotI = false, gotP = false;
    for (auto it = std::sregex_iterator(r.output.begin(), r.output.end(), i); it != std::sregex_iterator(); ++it) {
        integrated = std::stod((*it)[1]);
        gotI = true;
    }
    for (auto it = std::sregex_iterator(r.output.begin(), r.output.end(), p); it != std::sregex_iterator(); ++it) {
        peak = std::stod((*it)[1]);
        gotP = true;
    }
    return gotI && gotP;
}

std::string Prefs(const std::string& lines) { return "begin\nverbo\t1\n" + lines + "end\n"; }

struct Delivery {
    double target, ceiling;
    int bits;
    bool mono;
};

// Targets and ceilings of common deliveries, one of them a 16-bit mono file.
constexpr Delivery kDeliveries[] = {
    {-16, -1, 24, false}, {-23, -2, 24, false}, {-14, -1, 24, false}, {-16, -1, 16, true}};

std::string DeliveryPrefs(const Delivery& d) {
    char b[160];
    std::snprintf(b, sizeof b, "lufs\t%g\ntpmax\t%g\noutbits\t%d\n%s", d.target, d.ceiling, d.bits,
                  d.mono ? "mono\t-3\n" : "");
    return Prefs(b);  // dither 1, from the clock: as a user would run it
}

std::string Label(const Delivery& d) {
    return std::to_string(int(d.target)) + " LUFS / " + std::to_string(int(d.ceiling)) + " dBTP, " +
           std::to_string(d.bits) + (d.mono ? "-bit mono" : "-bit stereo");
}

// Twelve seconds of programme mixed for delivery d.
void DeliverySession(Session& s, const Delivery& d) {
    s.AddPcm("song.wav", 2, 24, Programme(12));
    s.prefs = DeliveryPrefs(d);
}

}  // namespace

// Each delivery the ceiling does not hold back reads its target within
// 0.1 LU from the written file, its true peak at or under the ceiling (to
// a thousandth of a dB: the output's last step and the dither may add that
// much), and says what it did.
TEST(LoudnessTargetRun, DeliversTheTargetUnderTheCeiling) {
    for (const Delivery& d : kDeliveries) {
        Session s;
        DeliverySession(s, d);
        const auto r = s.Run();
        ASSERT_EQ(r.status, 0) << r.output;
        const LoudnessFigures f = MeterOf(s.Path("mix.wav"));
        EXPECT_NEAR(f.integrated, d.target, 0.1) << Label(d);
        EXPECT_LE(PeakOf(f), d.ceiling + 0.001) << Label(d);
        char line[80];
        std::snprintf(line, sizeof line, "Loudness target = %.1f LUFS, gain applied = ", d.target);
        EXPECT_NE(r.output.find(line), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("Warning"), std::string::npos) << r.output;
        // The report's loudness lines describe the written file.
        char measured[64];
        std::snprintf(measured, sizeof measured, "Integrated loudness = %.1f LUFS\n", f.integrated);
        EXPECT_NE(r.output.find(measured), std::string::npos) << r.output;
        const std::string stats = ReadFile(s.Path("stats_mix.txt"));
        EXPECT_NE(stats.find(line), std::string::npos) << Label(d);
    }
}

// The same files read by an independent meter: ffmpeg's ebur128 filter.
TEST(LoudnessTargetRun, FfmpegAgrees) {
    if (!peertools::Have("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    for (const Delivery& d : kDeliveries) {
        Session s;
        DeliverySession(s, d);
        ASSERT_EQ(s.Run().status, 0);
        double integrated = 0.0, peak = 0.0;
        ASSERT_TRUE(FfmpegReading(s.Path("mix.wav"), integrated, peak)) << Label(d);
        EXPECT_NEAR(integrated, d.target, 0.1) << Label(d);
        EXPECT_LE(peak, d.ceiling + 0.1) << Label(d);
    }
}

// Peaks far above the loudness: the gain stops where the true peak meets
// the ceiling, the file reaches exactly the loudness the warning names, and
// its true peak sits on the ceiling.
TEST(LoudnessTargetRun, CeilingHoldsTheGainBack) {
    Session s;
    s.AddPcm("song.wav", 2, 24, Programme(12, true));
    s.prefs = Prefs("dither\t0\nlufs\t-14\ntpmax\t-1\n");
    const auto r = s.Run();
    ASSERT_EQ(r.status, 0) << r.output;
    const LoudnessFigures f = MeterOf(s.Path("mix.wav"));
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.output, m,
                                  std::regex("Warning: the target was not reached: the true-peak "
                                             "ceiling of -1\\.0 dBTP allows (-[0-9]+\\.[0-9]) LUFS at "
                                             "most\\.\n")))
        << r.output;
    EXPECT_NEAR(f.integrated, std::stod(m[1]), 0.05 + 0.01);
    EXPECT_LT(f.integrated, -20.0);  // far from the target
    EXPECT_NEAR(PeakOf(f), -1.0, 0.01);
    EXPECT_LE(PeakOf(f), -1.0 + 0.001);
    EXPECT_NE(ReadFile(s.Path("stats_mix.txt")).find(m[0].str()), std::string::npos);
}

// Silence has no loudness to move: no gain, the run says so and ends well;
// the file is the plain mix's.
TEST(LoudnessTargetRun, SilenceGetsNoGain) {
    std::vector<int32_t> quiet(size_t(2 * kRate * 3), 0);
    quiet[1000] = 5;  // not all zero, still far under the gates
    std::string plain;
    for (bool target : {false, true}) {
        Session s;
        s.AddPcm("song.wav", 2, 24, quiet);
        s.prefs = Prefs(std::string("dither\t0\n") + (target ? "lufs\t-16\n" : ""));
        const auto r = s.Run();
        ASSERT_EQ(r.status, 0) << r.output;
        const std::string mix = ReadFile(s.Path("mix.wav"));
        if (!target) {
            plain = mix;
            continue;
        }
        EXPECT_EQ(mix, plain);
        EXPECT_NE(r.output.find("Integrated loudness = -inf LUFS\n"
                                "Loudness range = 0.0 LU\n"),
                  std::string::npos)
            << r.output;
        EXPECT_NE(r.output.find("Loudness target = -16.0 LUFS, gain applied = +0.00 dB\n"
                                "Warning: the target was not reached: the mix has no loudness above "
                                "the gates (-inf LUFS), so no gain was applied.\n"),
                  std::string::npos)
            << r.output;
    }
}

// Dither 0 and a fixed seed: the second pass is the first one times the
// gain, truncated as the output conversion does. The single track at 0 dB
// puts its samples on the master bus times 256, so the test knows the first
// pass's master exactly and works the gain out with the same meter.
TEST(LoudnessTargetRun, SecondPassIsTheFirstTimesTheGain) {
    const std::vector<int32_t> programme = Programme(6);
    struct Case {
        int bits;
        bool mono;
    };
    for (const Case c : {Case{24, false}, Case{16, false}, Case{24, true}}) {
        const std::string label = std::to_string(c.bits) + (c.mono ? " mono" : " stereo");
        Session s;
        s.AddPcm("song.wav", 2, 24, programme);
        s.prefs = Prefs("dither\t0\nseed\t7\nlufs\t-12.5\ntpmax\t-0.5\noutbits\t" +
                        std::to_string(c.bits) + "\n" + (c.mono ? "mono\t-4\n" : ""));
        ASSERT_EQ(s.Run().status, 0) << label;

        // The first pass: the master at bus scale, folded as the output folds it.
        OutputSettings out;
        out.mono = c.mono;
        out.monoGain = std::pow(10.0, -4.0 / 20.0);
        const size_t frames = programme.size() / 2;
        std::vector<int32_t> L(frames), R(frames), M(frames);
        for (size_t i = 0; i < frames; ++i) {
            L[i] = programme[2 * i] * 256;
            R[i] = programme[2 * i + 1] * 256;
            M[i] = TruncToInt32(double(L[i]) * out.monoGain + double(R[i]) * out.monoGain);
        }
        LoudnessState first;
        StartLoudnessMeter(first, kRate, c.mono ? 1 : 2, 2147483648.0);
        MeasureLoudness(first, c.mono ? M.data() : L.data(), R.data(), int(frames));
        LoudnessTarget t;
        t.set = true;
        t.target = -12.5;
        t.ceiling = -0.5;
        ChooseTargetGain(t, LoudnessResult(first));
        const double g = TargetGainFactor(t);
        ASSERT_GT(std::fabs(t.gainDb), 1.0) << label;

        const int sh = c.bits == 16 ? 16 : 8;
        std::vector<int32_t> expected;
        for (size_t i = 0; i < frames; ++i) {
            const int32_t l = TruncToInt32(double(L[i]) * g), r = TruncToInt32(double(R[i]) * g);
            if (c.mono) {
                expected.push_back(
                    ShiftTowardZero(TruncToInt32(double(l) * out.monoGain + double(r) * out.monoGain), sh));
            } else {
                expected.push_back(ShiftTowardZero(l, sh));
                expected.push_back(ShiftTowardZero(r, sh));
            }
        }
        EXPECT_EQ(ReadWavSamples(s.Path("mix.wav")), expected) << label;
    }
}

// A session with state in every corner (effects on channels, a submix and
// the master, both reverbs with their tails, ramps, a VCA, a track that ends
// early): the second pass
// mixes exactly what the first did, so the report's peaks before the master
// are the plain mix's and the written file is the plain mix times one gain.
TEST(LoudnessTargetRun, BothPassesMixAlike) {
    for (const char* threads : {"1", "2"}) {
        Session plain, target;
        for (Session* s : {&plain, &target}) {
            s->AddPcm("a.wav", 2, 24, Programme(8));
            s->AddPcm("b.wav", 2, 24, Programme(6, true));  // ends before the mix does
            s->faders =
                "begin\nmix\nsub\t1\t2\nVCA:\t1\t1,2\n"
                "t\t0\t0\t0\nv\t1\t-3\nv\t2\t-8\nv\tG\t1\t-3\nv\tM\t0\nvca\t1\t0\np\t1\t-30\n"
                "t\t0\t3\t0\nv\t1\t-6\nrmp\t1.5\nvca\t1\t-2\nrmp\t1\n"
                "t\t0\t6\t0\nv\tM\t-4\nrmp\t1\n"
                "hp\t1\t60\nband2\t1\t2500\t2\t1\nrms\t1\t-12\t10\t200\t2\nhp\t2\t90\n"
                "comp\tG\t1\t-10\t2\t120\t3\nrms\tM\t-20\t10\t300\t1.5\nlim\tM\t-1\n"
                "rev\t1\t-6\ntrev\t2\t-12\nrtn\t-6\t60\ntrtn\t-8\t45\t4\nrhp\t150\nrlp\t9000\n"
                "end\n";
            s->prefs = Prefs(std::string("dither\t0\nthreads\t") + threads + "\n" +
                             (s == &target ? "lufs\t-14\ntpmax\t-1\n" : ""));
        }
        const auto a = plain.Run(), b = target.Run();
        ASSERT_EQ(a.status, 0) << a.output;
        ASSERT_EQ(b.status, 0) << b.output;
        const std::string peaks = "Peaks (dB):";
        const auto Section = [&](const std::string& text) {
            const size_t from = text.find(peaks), to = text.find("\nRMS");
            return from == std::string::npos || to == std::string::npos ? std::string()
                                                                        : text.substr(from, to - from);
        };
        EXPECT_NE(Section(a.output), "") << threads;
        EXPECT_EQ(ReadFile(target.Path("stats_mix.txt")).find("Threads used = 2") != std::string::npos,
                  std::string(threads) == "2");
        EXPECT_EQ(Section(b.output), Section(a.output)) << threads;

        const std::vector<int32_t> x = ReadWavSamples(plain.Path("mix.wav"));
        const std::vector<int32_t> y = ReadWavSamples(target.Path("mix.wav"));
        ASSERT_EQ(x.size(), y.size());
        double xy = 0.0, xx = 0.0;
        for (size_t i = 0; i < x.size(); ++i) {
            xy += double(x[i]) * y[i];
            xx += double(x[i]) * x[i];
        }
        const double g = xy / xx;
        EXPECT_GT(std::fabs(20.0 * std::log10(g)), 1.0) << threads;
        double worst = 0.0;
        for (size_t i = 0; i < x.size(); ++i) worst = std::max(worst, std::fabs(y[i] - g * x[i]));
        EXPECT_LE(worst, g + 2.0) << threads;  // the two truncations of one step each
    }
}

// "tpmax" without "lufs" changes nothing; "--check" names the target.
TEST(LoudnessTargetRun, CeilingAloneChangesNothing) {
    std::string files[2];
    for (int k = 0; k < 2; ++k) {
        Session s;
        s.AddPcm("song.wav", 2, 24, Programme(2));
        s.prefs = Prefs(std::string("dither\t0\n") + (k ? "tpmax\t-3\n" : ""));
        const auto r = s.Run();
        ASSERT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(r.output.find("Loudness target"), std::string::npos);
        files[k] = ReadFile(s.Path("mix.wav"));
    }
    EXPECT_EQ(files[0], files[1]);

    Session s;
    s.AddPcm("song.wav", 2, 24, Programme(1));
    s.prefs = Prefs("lufs\t-16\n");
    const auto r = s.Run({"--check"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("Loudness target: -16.0 LUFS under a true-peak ceiling of -1.0 dBTP "
                            "(measured first, then mixed again at the gain that reaches it)\n"),
              std::string::npos)
        << r.output;
}

// Values out of range are warnings of the preferences file: named with the
// file and line, listed by --check, and fatal under --strict.
TEST(LoudnessTargetRun, OutOfRangeValuesAreWarnings) {
    const std::string warnings =
        "Warning: prefs.txt:4: the loudness target \"0.5\" is not a number from -70 to 0 LUFS; the "
        "line is ignored.\n"
        "Warning: prefs.txt:5: the true-peak ceiling \"-21\" is not a number from -20 to 0 dBTP; the "
        "line is ignored.\n";
    for (const char* option : {"--check", "--strict"}) {
        Session s;
        s.AddPcm("song.wav", 2, 24, Programme(1));
        s.prefs = "begin\nverbo\t1\ndither\t0\nlufs\t0.5\ntpmax\t-21\nend\n";
        const auto r = s.Run({option});
        EXPECT_EQ(r.status, std::string(option) == "--strict" ? 2 : 0) << r.output;
        EXPECT_NE(r.output.find(warnings), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("Loudness target"), std::string::npos) << r.output;
    }
}
