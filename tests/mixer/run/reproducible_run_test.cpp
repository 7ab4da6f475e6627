// Whole runs that check what a user needs to rebuild and trust a mix: the
// "seed" preference gives the same file byte for byte, and output samples
// that reach full scale are counted and reported.
#include <gtest/gtest.h>

#include <regex>

#include "mixer/utilities/dither_random.hpp"
#include "run_signals.hpp"

using namespace runsignals;
using testsupport::ReadFile;
using testsupport::Session;

namespace {

constexpr int kRate = 44100;

std::string Prefs(const std::string& lines) { return "begin\nverbo\t1\n" + lines + "end\n"; }

}  // namespace

TEST(ReproducibleRun, TheSeedRebuildsTheMixByteForByte) {
    Session s;
    s.AddPcm("a.wav", 2, 24, Stereo(Noise(30000, 1, 20), Noise(30000, 2, 20)), kRate);
    s.faders = Faders(1, "");
    auto MixWith = [&](const std::string& prefs) {
        s.prefs = prefs;
        auto r = s.Run();
        EXPECT_EQ(r.status, 0) << r.output;
        return ReadFile(s.Path("mix.wav"));
    };
    auto SeedLine = [&] {
        const std::string stats = ReadFile(s.Path("stats_mix.txt"));
        const size_t at = stats.find("\nSeed = ");
        return at == std::string::npos ? std::string() : stats.substr(at + 1, stats.find('\n', at + 1) - at);
    };
    const std::string first = MixWith(Prefs("seed\t42\n"));
    EXPECT_EQ(SeedLine(), "Seed = 42 (from the preferences)\n");
    EXPECT_EQ(MixWith(Prefs("seed\t42\n")), first);
    EXPECT_NE(MixWith(Prefs("seed\t43\n")), first);
    // A mix seeded by the clock is rebuilt from the seed its report names.
    const std::string clocked = MixWith(Prefs(""));
    std::smatch m;
    const std::string line = SeedLine();
    ASSERT_TRUE(std::regex_match(line, m, std::regex("Seed = (\\d+) \\(from the clock\\)\n"))) << line;
    EXPECT_LT(std::stoi(m[1].str()), 3600);
    EXPECT_EQ(MixWith(Prefs("seed\t" + m[1].str() + "\n")), clocked);
    // With dither 0 the seed changes nothing.
    EXPECT_EQ(MixWith(Prefs("dither\t0\nseed\t1\n")), MixWith(Prefs("dither\t0\nseed\t2\n")));
}

TEST(ReproducibleRun, TheSeedGivesTheDitherSequenceOfTheCLibraryGenerator) {
    // Silence with dither of depth 2: every output sample is one dither value,
    // 2 - (r mod 5), left then right in stereo, one per frame in mono.
    for (bool mono : {false, true}) {
        Session s;
        s.AddPcm("a.wav", 2, 24, std::vector<int32_t>(2000, 0), kRate);
        s.faders = Faders(1, "");
        s.prefs = Prefs(std::string("dither\t2\nseed\t1234\n") + (mono ? "mono\t0\n" : ""));
        ASSERT_EQ(s.Run().status, 0);
        const std::vector<int32_t> out = Mix(s);
        ASSERT_EQ(out.size(), mono ? 1000u : 2000u);
        varnel::DitherRandom g;
        varnel::SeedDitherRandom(g, 1234);
        for (size_t i = 0; i < out.size(); ++i)
            ASSERT_EQ(out[i], 2 - varnel::NextDitherRandom(g) % 5) << mono << " " << i;
    }
}

TEST(ReproducibleRun, OutputSamplesAtFullScaleAreCountedAndReported) {
    struct Case {
        const char* name;
        std::string prefs;
        int tracks;                       // identical tracks summed
        std::vector<int32_t> left, right; // each track's sides
        std::string warning;
        std::vector<int32_t> written;     // the output at frames 4410, 8820, 13230 (left side)
    };
    std::vector<int32_t> quiet(20000, 1000);
    auto With = [&](std::vector<int32_t> side, std::initializer_list<std::pair<int, int32_t>> set) {
        for (auto [frame, v] : set) side[size_t(frame)] = v;
        return side;
    };
    const Case cases[] = {
        // A mono fold at unity of two sides at 0.6 of full scale passes it on
        // both signs, and where the sides cancel it does not; the strips and
        // the master know nothing of it.
        {"mono fold", Prefs("dither\t0\nmono\t0\n"), 1,
         With(quiet, {{4410, 5000000}, {8820, -5000000}, {13230, 5000000}}),
         With(quiet, {{4410, 5000000}, {8820, -5000000}, {13230, -4999000}}),
         "Warning: the output clipped 2 samples (L 2, R 2); the first at 0 min : 0.100 sec.\n",
         {8388607, -8388608, 1000}},
        // Two stereo tracks whose sum passes full scale on each side apart.
        {"stereo sum", Prefs("dither\t0\n"), 2, With(quiet, {{8820, 6000000}, {13230, -6000000}}),
         With(quiet, {{4410, -6000000}}),
         "Warning: the output clipped 3 samples (L 2, R 1); the first at 0 min : 0.100 sec.\n",
         {2000, 8388607, -8388608}},
        // A sample at exactly the negative full scale reaches it.
        {"exact full scale", Prefs("dither\t0\noutbits\t16\n"), 1, With(quiet, {{13230, -8388608}}),
         quiet, "Warning: the output clipped 1 samples (L 1, R 0); the first at 0 min : 0.300 sec.\n",
         {3, 3, -32768}},
        // The largest positive word and the next negative one are clean.
        {"clean", Prefs("dither\t0\n"), 1, With(quiet, {{4410, 8388607}, {8820, -8388607}}), quiet, "",
         {8388607, -8388607, 1000}},
    };
    for (const Case& c : cases) {
        Session s;
        for (int t = 0; t < c.tracks; ++t)
            s.AddPcm(std::string(1, char('a' + t)) + ".wav", 2, 24, Stereo(c.left, c.right), kRate);
        s.faders = Faders(c.tracks, "");
        s.prefs = c.prefs;
        auto r = s.Run();
        ASSERT_EQ(r.status, 0) << c.name << r.output;
        const std::string report = ReadFile(s.Path("stats_mix.txt"));
        const std::vector<int32_t> out = Mix(s);
        const size_t stride = c.prefs.find("mono") != std::string::npos ? 1 : 2;
        for (size_t k = 0; k < 3; ++k)
            EXPECT_EQ(out[(4410 * (k + 1)) * stride], c.written[k]) << c.name << " " << k;
        // The warning follows the loudness lines, before the run record, and is printed.
        const std::regex tail("Processing time = [0-9.]+ sec\n"
                              "Integrated loudness = [^\n]*\nLoudness range = [^\n]*\n"
                              "True peak L = [^\n]*\nTrue peak R = [^\n]*\n([\\s\\S]*?)\nRun record:\n");
        std::smatch m;
        ASSERT_TRUE(std::regex_search(report, m, tail)) << c.name << report;
        EXPECT_EQ(m[1].str(), c.warning) << c.name;
        const size_t printed = r.output.find("output clipped");
        EXPECT_EQ(printed == std::string::npos, c.warning.empty()) << c.name << r.output;
        if (printed != std::string::npos) {
            EXPECT_EQ(r.output.substr(printed - 13), c.warning) << c.name;
        }
        // No strip clipped after effects: only the master sum of two tracks did.
        EXPECT_EQ(report.find("Master channel is clipping") != std::string::npos, c.tracks == 2) << c.name;
    }
}

TEST(ReproducibleRun, AQuietRunStillPrintsTheClipWarning) {
    Session s;
    s.AddPcm("a.wav", 2, 24, {5000000, 5000000, 0, 0}, kRate);
    s.faders = Faders(1, "");
    s.prefs = "begin\npre\toff\nverbo\t0\ndither\t0\nmono\t0\nend\n";
    auto r = s.Run();
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.output, "\nWarning: the output clipped 1 samples (L 1, R 1); the first at 0 min : 0.000 sec.\n");
}
