// Whole runs of the built mixer checked through their reports: the names of
// the statistics file and the fader-file copy, the exact report of a small
// hand-computed session, the reverb send lines and the clipping list.
#include <gtest/gtest.h>

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

std::string Format(const char* format, double a, double b) {
    char text[200];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

std::string UpToProcessingTime(const std::string& report) {
    return report.substr(0, report.find("Processing time = "));
}

}  // namespace

TEST(ReportRun, FileNamesWithAndWithoutBackupDirectory) {
    struct Case {
        std::string bakdir;       // preference value, "" for none
        bool makeDir;
        int status;
        std::string stats, copy;  // expected paths, "" when nothing is written
    } cases[] = {
        {"", false, 0, "stats_song.txt", "faders_song.txt"},
        {"bak/", true, 0, "bak/stats_song.txt", "bak/faders_song.txt"},
        {"bak_", false, 0, "bak_stats_song.txt", "bak_faders_song.txt"},  // the prefix is used as written
        {"gone/", false, 2, "", ""},
    };
    for (const auto& c : cases) {
        Session s;
        s.AddPcm("a.wav", 2, 24, {1000, -1000, 2000, -2000});
        s.faders = "begin\nsong\nt\t0\t0\t0\nv\t1\t0\nend\n";
        if (!c.bakdir.empty()) s.prefs = "begin\ndither\t0\nverbo\t1\nbakdir\t" + c.bakdir + "\nend\n";
        if (c.makeDir) std::filesystem::create_directory(s.Path("bak"));
        auto r = s.Run();
        EXPECT_EQ(r.status, c.status) << c.bakdir << r.output;
        if (c.status == 0) {
            EXPECT_TRUE(FileExists(s.Path(c.stats))) << c.stats;
            EXPECT_EQ(ReadFile(s.Path(c.copy)), "\nsong\nt\t0\t0\t0\nv\t1\t0\nend\n");
        } else {
            EXPECT_NE(r.output.find("Error: cannot write the statistics file gone/stats_song.txt: its "
                                    "directory gone does not exist; nothing was written.\n"),
                      std::string::npos)
                << r.output;
        }
        if (!c.bakdir.empty()) {
            EXPECT_FALSE(FileExists(s.Path("stats_song.txt"))) << c.bakdir;
            EXPECT_FALSE(FileExists(s.Path("faders_song.txt"))) << c.bakdir;
        }
    }
}

TEST(ReportRun, ExactReportOfAHandComputedSession) {
    // Channel 1: square waves of +-2^21 with half-cycles of 5000 frames, a
    // left peak of 2^22 at frame 66150 (1.5 s) and a right full-scale sample
    // at frame 100. Channel 2 is switched off; channel 3 is silent and feeds
    // submix 1.
    const int frames = 66151;
    std::vector<int32_t> l, r;
    for (int i = 0; i < frames; ++i) {
        const int32_t v = (i / 5000) % 2 ? -(1 << 21) : (1 << 21);
        l.push_back(v);
        r.push_back(v);
    }
    l[66150] = 1 << 22;
    r[100] = -8388608;
    Session s;
    s.AddPcm("vox.take2.wav", 2, 24, Stereo(l, r), kRate);
    s.AddLine("2 off.wav -");
    testsupport::WriteWavPcm(s.Path("c.wav"), kRate, 1, 16, std::vector<int32_t>(10, 0));
    s.AddLine("3 c.wav +");
    s.faders = "begin\nmix\nsub\t1\t3\nt\t0\t0\t0\nv\t1\t0\nv\t3\t0\nend\n";
    auto run = s.Run();
    ASSERT_EQ(run.status, 0) << run.output;

    // The meter closes a window at each polarity change after more than 4410
    // frames: 13 windows, the first one (5001 frames) holding the full-scale
    // right sample; the window open at the end is not counted.
    const double a = 2097152.0;
    const double first = std::sqrt((5000.0 * a * a + 8388608.0 * 8388608.0) / 5001.0);
    const double rmsR = (first + 12.0 * a) / 13.0;
    const float atR = float(100) / float(kRate * 60);
    const std::string expected =
        "Peaks (dB):\n\n"
        "Ch 1\tL  -6.02\tR  0.00\tvox\n"
        "\n"
        "Ch 3\tL  -144.00\tR  -144.00\tc\n"
        "\n"
        "\nSub 1\tL  -144.00\tR  -144.00\n" +
        Format("\nRMS\tL  %.2f\tR  %.2f\t(average)\n", -20.0 * std::log10(8388608.0 / a),
               -20.0 * std::log10(8388608.0 / rmsR)) +
        "\nPeak Out L = -6.02 dB at 0 min : 1.500 sec\n" +
        Format("Peak Out R = 0.00 dB at %.0f min : %.3f sec\n", 0.0, double(atR * 60.0f)) + "\n";
    const std::string report = ReadFile(s.Path("stats_mix.txt"));
    EXPECT_EQ(UpToProcessingTime(report), expected);
    EXPECT_EQ(report.rfind("Processing time = ", std::string::npos), expected.size());
    EXPECT_EQ(report.back(), '\n');
    // Verbosity 1 prints the report without the processing time.
    EXPECT_NE(run.output.find(expected), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Processing time"), std::string::npos);
}

TEST(ReportRun, ReverbSendLinesAndOverWarnings) {
    Session s;
    s.AddPcm("a.wav", 2, 24, {4194304, 8388607, 0, 0, 0, 0}, kRate);
    s.faders = Faders(1, "rev\t1\t0\nrtn\t0\t0\ntrev\t1\t0\ntrtn\t-6\t0\t1\n");
    ASSERT_EQ(s.Run().status, 0);
    const std::string report = ReadFile(s.Path("stats_mix.txt"));
    const double tapInput = double(float(std::pow(10.0, -6.0 / 20.0)));
    const std::string lines =
        "\nRev\tL  -6.02\tR  -0.00\t(send)\n" +
        Format("\nTrev\tL  %.2f\tR  %.2f\t(send)\n", 20.0 * std::log10(tapInput * 1073741824.0 / 2147483648.0),
               20.0 * std::log10(tapInput * 8388607.0 * 256.0 / 2147483648.0));
    EXPECT_NE(report.find(lines), std::string::npos) << report;

    // Two full-scale channels sent at unity overload both sends.
    Session over;
    over.AddPcm("a.wav", 2, 24, {8388607, 8388607}, kRate);
    over.AddPcm("b.wav", 2, 24, {8388607, 8388607}, kRate);
    over.faders = Faders(2, "rev\t1\t0\nrev\t2\t0\nrtn\t0\t0\ntrev\t1\t0\ntrev\t2\t0\ntrtn\t0\t0\t1\n");
    ASSERT_EQ(over.Run().status, 0);
    EXPECT_NE(ReadFile(over.Path("stats_mix.txt"))
                  .find("\n\nRev\tL  6.02\tR  6.02\t(send)Reverb Over!\nTrev\tL  6.02\tR  6.02\t(send)Tap Reverb Over!\nRMS"),
              std::string::npos)
        << ReadFile(over.Path("stats_mix.txt"));
}

TEST(ReportRun, ClippingLinesInTheirOrder) {
    Session s;
    s.AddPcm("a.wav", 2, 24, {5000000, 5000000}, kRate);
    s.AddPcm("b.wav", 2, 24, {5000000, 5000000}, kRate);
    s.faders = Faders(2, "sub\t1\t2\nsub\t0\t1\nlim\t1\t0\nfxg\t1\t12\nlim\tG\t1\t0\nfxg\tG\t1\t12\n"
                         "fxg\tM\t12\n");
    ASSERT_EQ(s.Run().status, 0);
    const std::string report = ReadFile(s.Path("stats_mix.txt"));
    EXPECT_NE(report.find("sec\nChannel 1 is clipping after effects processing!\n"
                          "Submix 1 is clipping after effects processing!\n"
                          "Master channel is clipping after effects processing!\n\n"
                          "Processing time = "),
              std::string::npos)
        << report;
}

TEST(ReportRun, FaderCopyIsTheScriptBodyUsed) {
    Session s;
    s.AddPcm("a.wav", 2, 24, {1000, -1000, 2000, -2000});
    s.faders = "Notes above the script.\nbegin\nmix\nt\t0\t0\t0\nv\t1 \t-3\nv\t1\t0\n\nend\nnotes after\n";
    auto r = s.Run();
    ASSERT_EQ(r.status, 0) << r.output;
    // Everything after "begin", as the mixer read it: every space is gone.
    EXPECT_EQ(ReadFile(s.Path("faders_mix.txt")), "\nmix\nt\t0\t0\t0\nv\t1\t-3\nv\t1\t0\n\nend\nnotesafter\n");
}
