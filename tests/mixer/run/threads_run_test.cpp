// Whole runs of the built mixer with the channel pass on several threads: a
// session with every sort of strip gives the same files and messages on 1, 2,
// 3 and 8 threads, and the report names the threads only when more than one
// was used. (Every other whole-run test is also run again at "threads 3" by
// Session::Run.)
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mixer/run/threaded_pass.hpp"
#include "run_signals.hpp"

using namespace runsignals;
using testsupport::ReadFile;
using testsupport::Session;
using testsupport::Steady;

namespace {

constexpr int kFrames = 2 * 131072 + 7000;   // the song: two full blocks and a short one

std::vector<int32_t> Tone(int frames, double amplitude, double freq, uint32_t seed) {
    std::vector<int32_t> s = Sine(frames, amplitude, freq, 48000.0);
    const std::vector<int32_t> n = Noise(frames, seed, 18);
    for (size_t i = 0; i < s.size(); ++i) s[i] += n[i];
    return s;
}

std::vector<float> ToFloat(const std::vector<int32_t>& v) {
    std::vector<float> f;
    for (int32_t x : v) f.push_back(float(x) / 8388608.0f);
    return f;
}

std::string ChainA(const std::string& who) {
    return "hp\t" + who + "\t40\nband1\t" + who + "\t200\t4\t1\nband3\t" + who +
           "\t3000\t-3\t0.7\nrms\t" + who + "\t-14\t5\t150\t3\nlim\t" + who + "\t-2\n";
}

std::string ChainB(const std::string& who) {
    return "band2\t" + who + "\t900\t5\t2\nhshelf\t" + who + "\t8000\t2\t0.7\nlshelf\t" + who +
           "\t90\t-2\t0.7\nnlc\t" + who + "\t-12\t64\t2\ncomp\t" + who + "\t-10\t2\t80\t4\nlim\t" +
           who + "\t-1\n";
}

// Ten channels, seven with effects. 1 and 2 share a chain and run as a pair in
// every block; 3 is mono with a delay pan; 4 is float and starts inside the
// second block, feeding submix 1 with 5 (no effects, ramps, inverted); 6 is
// mono at the pan law and ends inside the second block, pairing there with 7,
// which starts on that block's first frame, ends in it too and feeds submix 2
// (with effects of its own); 8 has no effects; 9 runs its compressor first; 10
// has no effects. VCA 1 holds 2, 8 and submix 1, and ramps across the first
// block's end; both reverbs get channel and submix sends; the master has a
// chain and a post-effects gain.
void BuildSession(Session& s) {
    s.AddPcm("t1.wav", 2, 24, Stereo(Noise(kFrames, 11, 23), Noise(kFrames, 12, 23)));
    s.AddPcm("t2.wav", 2, 24, Stereo(Noise(kFrames, 21, 22), Tone(kFrames, 2e6, 330, 22)));
    s.AddPcm("t3.wav", 1, 16, Noise(kFrames, 31, 16));
    const int late = kFrames - 140000;
    s.AddFloat("t4.wav", 2, ToFloat(Stereo(Tone(late, 3e6, 110, 41), Tone(late, 1e6, 440, 42))));
    s.AddPcm("t5.wav", 2, 24, Stereo(Tone(kFrames, 1.5e6, 55, 51), Noise(kFrames, 52, 21)));
    s.AddPcm("t6.wav", 1, 24, Tone(200000, 4e6, 220, 61));
    s.AddPcm("t7.wav", 2, 24, Stereo(Noise(100000, 71, 22), Noise(100000, 72, 20)));
    s.AddPcm("t8.wav", 2, 24, Stereo(Tone(kFrames, 2.5e6, 660, 81), Tone(kFrames, 2.5e6, 665, 82)));
    s.AddPcm("t9.wav", 2, 24, Stereo(Noise(kFrames, 91, 23), Noise(kFrames, 92, 22)));
    s.AddPcm("t10.wav", 2, 24, Stereo(Noise(kFrames, 101, 19), Noise(kFrames, 102, 19)));
    std::string lines =
        "sub\t1\t4,5\nsub\t2\t7\nVCA:\t1\t2,8,128\nsstamp\t4\t140000\nsstamp\t7\t131072\n"
        "vca\t1\t0\nv\tG\t1\t-3\nv\tG\t2\t0\np\t1\t-30\np\t2\t45\ndp\t3\t40\np\t6\t-20\n"
        "pol\t5\t-1\nv\t3\t-4\nv\t9\t-6\n"
        "t\t0\t2\t650\nv\t5\t-12\nrmp\t0.5\nvca\t1\t-4\nrmp\t0.3\nshape\t2\n"
        "t\t0\t4\t500\nv\t2\t-2\nrmp\t0.2\nv\tG\t1\t0\nrmp\t0.1\n"
        "rev\t1\t-8\nrev\t8\t-10\nrev\tG\t1\t-12\ntrev\t9\t-6\ntrev\t3\t-9\ntrev\tG\t2\t-10\n"
        "rtn\t-6\t60\ntrtn\t-8\t50\t4\n"
        "order\tcomp\t9\t1\ncomp\t9\t-14\t1\t60\t3\n";
    for (const char* ch : {"1", "2", "3", "6", "7", "9"}) lines += ChainA(ch);
    lines += ChainB("4") + ChainB("G\t2") + "rms\tG\t1\t-16\t10\t200\t2\n";
    lines += "hp\tM\t30\nband1\tM\t120\t2\t1\nrms\tM\t-10\t10\t300\t2\nlim\tM\t-1\nfxg\tM\t-1\n";
    s.faders = Faders(10, lines);
    s.prefs = "begin\ndither\t0\nverbo\t2\nend\n";
    s.crossCheckThreads = false;
}

struct Outcome {
    int status;
    std::string console, mix, stats, copy;
};

Outcome MixOn(Session& s, int threads) {
    s.prefs = "begin\ndither\t0\nverbo\t2\nthreads\t" + std::to_string(threads) + "\nend\n";
    const auto r = s.Run();
    return {r.status, r.output, ReadFile(s.Path("mix.wav")), ReadFile(s.Path("stats_mix.txt")),
            ReadFile(s.Path("faders_mix.txt"))};
}

}  // namespace

TEST(ThreadsRun, EverySortOfStripMixesTheSameOnOneTwoThreeAndEightThreads) {
    Session s;
    BuildSession(s);
    const Outcome one = MixOn(s, 1);
    ASSERT_EQ(one.status, 0) << one.console;
    ASSERT_EQ(one.mix.size(), size_t(44 + 6 * kFrames));
    EXPECT_EQ(one.stats.find("Threads used"), std::string::npos) << one.stats;
    // Seven channels have effects: eight threads use seven.
    const struct {
        int threads, used;
    } runs[] = {{2, 2}, {3, 3}, {8, 7}};
    for (const auto& run : runs) {
        const Outcome o = MixOn(s, run.threads);
        ASSERT_EQ(o.status, 0) << run.threads << " threads\n" << o.console;
        EXPECT_TRUE(o.mix == one.mix) << run.threads << " threads: the mix differs";
        EXPECT_EQ(Steady(o.stats), Steady(one.stats)) << run.threads << " threads";
        EXPECT_EQ(Steady(o.console), Steady(one.console)) << run.threads << " threads";
        EXPECT_EQ(o.copy, one.copy);
        EXPECT_NE(o.stats.find("\nThreads used = " + std::to_string(run.used) + "\n"),
                  std::string::npos)
            << run.threads << " threads\n" << o.stats;
    }
    // The session's reverbs, submixes and compressors all left their mark.
    for (const char* line : {"\nRev\t", "\nTrev\t", "\nSub 1\t", "\nSub 2\t"})
        EXPECT_NE(one.stats.find(line), std::string::npos) << line << one.stats;
}

TEST(ThreadsRun, OneChannelWithEffectsStaysOnOneThreadAndTheReportIsUnchanged) {
    Session s;
    s.AddPcm("a.wav", 2, 24, Stereo(Noise(5000, 1, 22), Noise(5000, 2, 22)));
    s.AddPcm("b.wav", 2, 24, Stereo(Noise(5000, 3, 22), Noise(5000, 4, 22)));
    s.faders = Faders(2, ChainA("1"));
    s.crossCheckThreads = false;
    s.prefs = "begin\ndither\t0\nverbo\t3\nend\n";
    const auto a = s.Run();
    const std::string stats = ReadFile(s.Path("stats_mix.txt"));
    s.prefs = "begin\ndither\t0\nverbo\t3\nthreads\t0\nend\n";
    const auto b = s.Run();
    ASSERT_EQ(b.status, 0) << b.output;
    EXPECT_EQ(b.output.find("Threads used"), std::string::npos) << b.output;
    EXPECT_EQ(Steady(b.output), Steady(a.output));
    EXPECT_EQ(ReadFile(s.Path("stats_mix.txt")).find("Threads used"), std::string::npos);
    EXPECT_EQ(Steady(ReadFile(s.Path("stats_mix.txt"))), Steady(stats));
}

TEST(ThreadsRun, CheckNamesTheThreadsAndAnOutOfRangeCountIsWarnedAbout) {
    Session s;
    BuildSession(s);
    const int cores = varnel::RequestedLanes(0);
    const struct {
        std::string value;
        int threads;
    } cases[] = {{"1", 1}, {"3", 3}, {"8", 7}, {"0", std::min(cores, 7)}, {"99", 1}};
    for (const auto& c : cases) {
        s.prefs = "begin\ndither\t0\nthreads\t" + c.value + "\nend\n";
        const auto r = s.Run({"--check"});
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_NE(r.output.find("\nThreads: " + std::to_string(c.threads) + "\n"), std::string::npos)
            << c.value << "\n" << r.output;
    }
    // "threads" is a keyword; its range is 0 to 64, and --strict stops on the warning.
    s.prefs = "begin\ndither\t0\nverbo\t1\nthreads\t65\nend\n";
    const auto r = s.Run({"--strict"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("prefs.txt:4: Threads is set out of range (0-64)\n"), std::string::npos)
        << r.output;
    EXPECT_EQ(r.output.find("not a keyword"), std::string::npos) << r.output;
    EXPECT_FALSE(testsupport::FileExists(s.Path("mix.wav")));
}
