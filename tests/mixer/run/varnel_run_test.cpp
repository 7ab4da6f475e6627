// Whole runs of the built mixer on small sessions: exact output samples,
// messages and exit statuses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "support/session.hpp"

using testsupport::ReadFile;
using testsupport::ReadWavSamples;
using testsupport::Session;

namespace {

std::vector<int32_t> Ramp24(int frames, int channels, int32_t step = 997) {
    std::vector<int32_t> s;
    for (int i = 0; i < frames * channels; ++i) {
        int32_t v = int32_t((int64_t(i) * step) % 16777216) - 8388608;
        s.push_back(v);
    }
    return s;
}

}  // namespace

TEST(VarnelRun, MissingTrackListEndsWithStatus2) {
    Session s;
    testsupport::WriteFile(s.Path("faders.txt"), s.faders);
    testsupport::WriteFile(s.Path("prefs.txt"), s.prefs);
    auto r = testsupport::RunProgram(VARNEL_BIN, {}, s.dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.output, "tracks.txt file was not found.\nCreate the file and run again.\nExiting...\n");
}

TEST(VarnelRun, CreatesDefaultPreferencesAndMixesAtVerbosity2) {
    Session s;
    s.AddPcm("a.wav", 2, 24, {100, -100, 200, -200});
    testsupport::WriteFile(s.Path("tracks.txt"), s.tracks);
    testsupport::WriteFile(s.Path("faders.txt"), s.faders);
    auto r = testsupport::RunProgram(VARNEL_BIN, {}, s.dir.path());
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ReadFile(s.Path("prefs.txt")),
              "begin\npre\toff\nstart\t0\t0\t0\nlength\t0\noutbits\t24\n\nend\n");
    EXPECT_EQ(r.output.rfind("\nWarning: prefs.txt file was not found...\n...created one for you.\n"
                             "Varnel version 1.164 (w20e)",
                             0),
              0u)
        << r.output;
    for (const char* line : {"Counted 1 track\n", "Read file headers.\n", "Sample Rate: 48000\n",
                             "Checking Preferences...\n", "Mixing...\n",
                             "\nDone!  Created the file: mix.wav\n\n"})
        EXPECT_NE(r.output.find(line), std::string::npos) << line;
    EXPECT_TRUE(testsupport::FileExists(s.Path("stats_mix.txt")));
    EXPECT_EQ(ReadFile(s.Path("faders_mix.txt")), "\nmix\nt\t0\t0\t0\nv\t1\t0\nend\n");
}

TEST(VarnelRun, VerbosityThreeIsNotASupersetOfTwo) {
    Session s;
    s.AddPcm("a.wav", 2, 24, {1, 2, 3, 4});
    s.prefs = "begin\nverbo\t3\ndither\t0\nend\n";
    auto r = s.Run();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output.find("Varnel version"), std::string::npos);
    EXPECT_EQ(r.output.find("Counted 1 track"), std::string::npos);
    EXPECT_EQ(r.output.find("Mixing..."), std::string::npos);
    EXPECT_NE(r.output.find("\nDone!  Created the file: mix.wav\n\n"), std::string::npos);
    EXPECT_NE(r.output.find("\tReading peak compressor settings..."), std::string::npos);
    EXPECT_NE(r.output.find("\nProcessing time = "), std::string::npos);

    s.prefs = "begin\nverbo\t0\ndither\t0\nend\n";
    r = s.Run();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output.find("Done!"), std::string::npos);
}

TEST(VarnelRun, ThreeArgumentsNameTheFiles) {
    Session s;
    s.AddPcm("a.wav", 1, 16, {1000, -1000});
    testsupport::WriteFile(s.Path("t2.txt"), s.tracks);
    testsupport::WriteFile(s.Path("f2.txt"), "begin\nother\nt\t0\t0\t0\nv\t1\t0\nend\n");
    testsupport::WriteFile(s.Path("p2.txt"), "begin\ndither\t0\nverbo\t1\nend\n");
    auto r = testsupport::RunProgram(VARNEL_BIN, {"t2.txt", "f2.txt", "p2.txt"}, s.dir.path());
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_FALSE(testsupport::FileExists(s.Path("prefs.txt")));
    EXPECT_TRUE(testsupport::FileExists(s.Path("other.wav")));
}

TEST(VarnelRun, MistypedPreferencesNameNeverTruncatesPrefsTxt) {
    Session s;
    s.AddPcm("a.wav", 1, 16, {1000, -1000});
    s.prefs = "begin\ndither\t0\nverbo\t1\noname\tkept\nend\n";
    auto r = s.Run({"tracks.txt", "faders.txt", "typo.txt"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ReadFile(s.Path("prefs.txt")), s.prefs);
    EXPECT_FALSE(testsupport::FileExists(s.Path("typo.txt")));
}

TEST(VarnelRun, LaunchRunsOnlyAfterACompleteRun) {
    Session s;
    s.AddPcm("a.wav", 2, 24, {1, 2, 3, 4});
    s.prefs = "begin\ndither\t0\nverbo\t1\nlaunch\ttouch\tlaunched\nend\n";
    // "launch" takes the next field only: the command is "touch".
    s.prefs = "begin\ndither\t0\nverbo\t1\nlaunch\t./hook.sh\nend\n";
    testsupport::WriteFile(s.Path("hook.sh"), "#!/bin/sh\ntouch launched\n");
    std::system(("chmod +x " + s.Path("hook.sh")).c_str());
    EXPECT_EQ(s.Run().status, 0);
    EXPECT_TRUE(testsupport::FileExists(s.Path("launched")));

    std::remove(s.Path("launched").c_str());
    s.faders = "begin\nmix\nt\t9\t0\t0\nv\t1\t0\nend\n";  // time entry past the song
    auto r = s.Run();
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("Error:  Time entry 1 exceeds song length\n"), std::string::npos);
    EXPECT_FALSE(testsupport::FileExists(s.Path("launched")));
}

TEST(VarnelRun, UnityMixReproduces24BitInputExactly) {
    Session s;
    const int frames = 2 * 131072 + 17;  // crosses two block edges
    auto in = Ramp24(frames, 2);
    s.AddPcm("a.wav", 2, 24, in);
    auto r = s.Run();
    ASSERT_EQ(r.status, 0) << r.output;
    int ch = 0, bits = 0, rate = 0;
    auto out = ReadWavSamples(s.Path("mix.wav"), &ch, &bits, &rate);
    EXPECT_EQ(ch, 2);
    EXPECT_EQ(bits, 24);
    EXPECT_EQ(rate, 48000);
    ASSERT_EQ(out.size(), in.size());
    EXPECT_EQ(out, in);
}

TEST(VarnelRun, SixteenBitOutputRoundsTowardZero) {
    Session s;
    // 24-bit values v become v * 256 on the bus; 16-bit output is that >> 16 toward zero.
    std::vector<int32_t> in = {-255, -256, -257, 255, 256, 65535, -65536, 8388607, -8388608, 0};
    s.AddPcm("a.wav", 1, 24, in);
    s.prefs = "begin\ndither\t0\nverbo\t1\noutbits\t16\npan\t0\nend\n";  // pan law 0: mono at unity
    auto r = s.Run();
    ASSERT_EQ(r.status, 0) << r.output;
    auto out = ReadWavSamples(s.Path("mix.wav"));
    std::vector<int32_t> expect;
    for (int32_t v : in) {
        int32_t o = (v * 256) / 65536;  // C division truncates toward zero
        expect.push_back(o);
        expect.push_back(o);
    }
    EXPECT_EQ(out, expect);
}

TEST(VarnelRun, TwoTracksSumAndMonoTrackTakesThePanLaw) {
    Session s;
    std::vector<int32_t> a = {1000, -2000, 3000, -4000};
    std::vector<int32_t> b = {50, -70};  // 16-bit mono
    s.AddPcm("a.wav", 2, 24, a);
    s.AddPcm("b.wav", 1, 16, b);
    s.faders = "begin\nmix\nt\t0\t0\t0\nv\t1\t0\nv\t2\t0\nend\n";
    auto r = s.Run();
    ASSERT_EQ(r.status, 0) << r.output;
    auto out = ReadWavSamples(s.Path("mix.wav"));
    // Default pan law 3 dB: a centred mono track gets 10^(-3/20) (single precision) per side.
    const float c = float(1.0 * std::pow(10.0, -3.0 / 20.0));
    const double g = 134217728.0 * double(c) / 524288.0;
    ASSERT_EQ(out.size(), 4u);
    for (int f = 0; f < 2; ++f)
        for (int side = 0; side < 2; ++side) {
            int32_t busA = a[size_t(2 * f + side)] * 256;
            int32_t busB = int32_t(double(b[size_t(f)] * 256) * g);
            EXPECT_EQ(out[size_t(2 * f + side)], (busA + busB) / 256) << f << side;
        }
}

TEST(VarnelRun, StartOffsetDelaysATrack) {
    Session s;
    std::vector<int32_t> a = {111, -222, 333};
    s.AddPcm("a.wav", 1, 24, a);
    s.prefs = "begin\ndither\t0\nverbo\t1\npan\t0\nend\n";
    s.faders = "begin\nmix\nsstamp\t1\t131070\nt\t0\t0\t0\nv\t1\t0\nend\n";
    auto r = s.Run();
    ASSERT_EQ(r.status, 0) << r.output;
    auto out = ReadWavSamples(s.Path("mix.wav"));
    ASSERT_EQ(out.size(), size_t(2 * (131070 + 3)));
    for (size_t i = 0; i < 2 * 131070; ++i) ASSERT_EQ(out[i], 0) << i;
    for (size_t f = 0; f < 3; ++f) {
        EXPECT_EQ(out[2 * (131070 + f)], a[f]);
        EXPECT_EQ(out[2 * (131070 + f) + 1], a[f]);
    }
}

TEST(VarnelRun, SampleRateMismatchEndsWithStatus1) {
    Session s;
    s.AddPcm("a.wav", 1, 16, {1, 2}, 44100);
    s.AddPcm("b.wav", 1, 16, {1, 2}, 48000);
    auto r = s.Run();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("The sample rate appears to be 44100\n"
                            "tracks.txt:3: The file assigned to channel 2 has a different rate! "
                            "(b.wav: 48000 Hz)\n"),
              std::string::npos)
        << r.output;
    EXPECT_FALSE(testsupport::FileExists(s.Path("mix.wav")));
}

TEST(VarnelRun, OutputNeverReplacesAnInput) {
    Session s;
    s.AddPcm("mix.wav", 2, 24, {1, 2, 3, 4});
    const std::string before = ReadFile(s.Path("mix.wav"));
    auto r = s.Run();
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("mix.wav"), std::string::npos);
    EXPECT_EQ(ReadFile(s.Path("mix.wav")), before);
}

TEST(VarnelRun, FailedRunLeavesAnEarlierMixInPlace) {
    Session s;
    s.AddPcm("a.wav", 2, 24, {1, 2, 3, 4});
    testsupport::WriteFile(s.Path("mix.wav"), "earlier mix");
    s.faders = "begin\nmix\nt\t0\t0\t-5\nv\t1\t0\nend\n";  // a negative time: fatal after the header
    auto r = s.Run();
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("Error:  Time entry 1 is less than zero\n"), std::string::npos);
    EXPECT_EQ(ReadFile(s.Path("mix.wav")), "earlier mix");
    int leftovers = 0;
    for (auto& e : std::filesystem::directory_iterator(s.dir.path()))
        if (e.path().filename().string().find("mix.wav") != std::string::npos) ++leftovers;
    EXPECT_EQ(leftovers, 1);
}

TEST(VarnelRun, UnwritableOutputIsAnErrorNotDone) {
    Session s;
    s.AddPcm("a.wav", 2, 24, {1, 2, 3, 4});
    // A regular file where the mix directory should be: no one can create files below it.
    testsupport::WriteFile(s.Path("out"), "not a directory");
    s.prefs = "begin\ndither\t0\nverbo\t1\nmixdir\tout/\nend\n";
    auto r = s.Run();
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.output.find("Done!"), std::string::npos);
    EXPECT_NE(r.output.find("out/mix.wav"), std::string::npos) << r.output;
}

TEST(VarnelRun, FullDiskIsAnErrorNotDone) {
    if (!testsupport::FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    Session s;
    s.AddPcm("a.wav", 2, 24, std::vector<int32_t>(2 * 40000, 5));
    std::filesystem::create_symlink("/dev/full", s.Path("mix.wav"));
    auto r = s.Run();
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.output.find("Done!"), std::string::npos);
    EXPECT_NE(r.output.find("mix.wav"), std::string::npos) << r.output;
}

TEST(VarnelRun, IndependentReaderAgreesOnTheOutput) {
    if (!testsupport::HaveTool("python3")) GTEST_SKIP() << "python3 not installed";
    Session s;
    s.AddPcm("a.wav", 2, 24, Ramp24(1000, 2));
    s.prefs = "begin\ndither\t0\nverbo\t1\noutbits\t16\nend\n";
    ASSERT_EQ(s.Run().status, 0);
    auto r = testsupport::RunProgram(
        "python3",
        {"-c",
         "import wave; w = wave.open('mix.wav'); "
         "print(w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes())"},
        s.dir.path());
    EXPECT_EQ(r.output, "2 2 48000 1000\n");
}

TEST(VarnelRun, MasterSumPastTheRangeSaturatesAndIsReported) {
    Session s;
    // Two full-scale tracks at +6 dB: each reaches about 2^31 on the bus, the sum twice that.
    std::vector<int32_t> loud = {8388607, 8388607, -8388608, -8388608};
    s.AddPcm("a.wav", 2, 24, loud);
    s.AddPcm("b.wav", 2, 24, loud);
    s.faders = "begin\nmix\nt\t0\t0\t0\nv\t1\t6\nv\t2\t6\nend\n";
    auto r = s.Run();
    ASSERT_EQ(r.status, 0) << r.output;
    auto out = ReadWavSamples(s.Path("mix.wav"));
    EXPECT_EQ(out, (std::vector<int32_t>{8388607, 8388607, -8388608, -8388608}));
    EXPECT_NE(r.output.find("Master channel is clipping after effects processing!\n"),
              std::string::npos)
        << r.output;
}
