#include "mixer/stringout/report.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <ctime>
#include <regex>
#include <string>

using namespace varnel;

namespace {

struct Tables {
    std::array<double, 139> peakL{}, peakR{};
    std::array<int, 128> hasFile{};
    std::array<int, 9> busActive{};
    std::array<int, 137> clip{};

    void AttachTo(ReportInputs& in) const {
        in.peakL = peakL;
        in.peakR = peakR;
        in.hasFile = hasFile;
        in.busActive = busActive;
        in.clipFlags = clip;
    }
};

// Three channels (the second without a file), the room reverb's left send
// over full scale, submix 2, and everything clipping.
ReportInputs SmallMix(Tables& t) {
    ReportInputs in;
    in.peakOutL = 8388608.0;
    in.peakOutR = 838860.8;
    in.peakOutPosL = 2646000;
    in.peakOutPosR = 66150;
    in.rmsSumL = 4194304.0f;
    in.rmsCountL = 1.0f;
    in.rmsSumR = 1048576.0f;
    in.rmsCountR = 4.0f;
    in.rate = 44100;
    in.trackNames = {"vox.take2.wav", "", "gtr.wav"};
    t.peakL[1] = 2147483648.0;
    t.peakR[1] = 1073741824.0;
    t.peakL[137] = 4294967296.0;
    t.peakR[137] = 1073741824.0;
    t.peakL[129] = t.peakR[129] = 214748364.8;
    t.hasFile[1] = t.hasFile[3] = 1;
    t.busActive[0] = t.busActive[2] = 1;
    t.clip[3] = t.clip[129] = t.clip[0] = 1;
    t.AttachTo(in);
    in.roomReverbOn = 1;
    in.startClock = std::clock();
    in.outBits = 24;
    in.faderText = "begin\nv\t1\t0\t-6\n\xe9\r\nend\n";
    in.verbosity = 0;
    in.channelsPlusOne = 4;
    return in;
}

const char* const kSmallBody =
    "Peaks (dB):\n\n"
    "Ch 1\tL  0.00\tR  -6.02\tvox\n"
    "\n"
    "Ch 3\tL  -144.00\tR  -144.00\tgtr\n"
    "\nRev\tL  6.02\tR  -6.02\t(send)Reverb Over!"
    "\nSub 2\tL  -20.00\tR  -20.00\n"
    "\nRMS\tL  -6.02\tR  -30.10\t(average)\n"
    "\nPeak Out L = 0.00 dB at 1 min : 0.000 sec\n"
    "Peak Out R = -20.00 dB at 0 min : 1.500 sec\n"
    "Channel 3 is clipping after effects processing!\n"
    "Submix 2 is clipping after effects processing!\n"
    "Master channel is clipping after effects processing!\n"
    "\n";

// Splits a report into its body and checks the time line that ends it.
std::string BodyOf(const std::string& report) {
    const size_t at = report.rfind("Processing time = ");
    EXPECT_NE(at, std::string::npos);
    if (at == std::string::npos) return report;
    EXPECT_TRUE(std::regex_match(report.substr(at), std::regex("Processing time = [0-9]+\\.[0-9]{2} sec\n")))
        << report.substr(at);
    return report.substr(0, at);
}

}  // namespace

TEST(RawTodB, Conversions) {
    struct Case { double raw, full, expected; };
    const Case cases[] = {
        {2147483648.0, 2147483648.0, 0.0},  {1073741824.0, 2147483648.0, -6.0206},
        {0.0, 2147483648.0, -144.0},        {-5.0, 32768.0, -144.0},
        {327680.0, 32768.0, 20.0},          {838860.8, 8388608.0, -20.0},
    };
    for (const Case& c : cases) {
        double r = 1.0;
        RawTodB(c.raw, &r, c.full, -144.0);
        EXPECT_NEAR(r, c.expected, 1e-4) << c.raw;
    }
    double r = 1.0;
    RawTodB(2147483648.0, &r, 2147483648.0, -144.0);
    EXPECT_FALSE(std::signbit(r));  // prints 0.00, not -0.00
}

TEST(Report, SmallMixContent) {
    Tables t;
    ReportInputs in = SmallMix(t);
    const ReportTexts report = ComposeReport(in);
    EXPECT_EQ(report.console, "");  // verbosity 0 prints nothing
    EXPECT_EQ(BodyOf(report.stats), kSmallBody);
    EXPECT_EQ(in.trackNames[0], "vox");  // the cut is made in the caller's table
    EXPECT_EQ(report.faderCopy, "begin\nv\t1\t0\t-6\n\xe9\r\nend\n");
    in.faderText = std::string("begin\nv\t1\t0\n\0after", 17);
    EXPECT_EQ(ComposeReport(in).faderCopy, "begin\nv\t1\t0\n");  // up to the first NUL
}

TEST(Report, EmptyLineRulesAndSixteenBit) {
    // Two channels, no room reverb, the master feeding the tap reverb at full
    // scale, 16-bit output.
    Tables t;
    ReportInputs in;
    in.rate = 48000;
    in.trackNames = {"a.wav", "b"};
    t.hasFile[1] = t.hasFile[2] = 1;
    t.peakL[138] = t.peakR[138] = 2147483648.0;
    t.AttachTo(in);
    in.masterToTap = 1;
    in.peakOutL = 32768.0;
    in.peakOutR = 16384.0;
    in.peakOutPosL = 72000;  // 1.5 s at 48 kHz
    in.peakOutPosR = 0;
    in.rmsSumL = in.rmsSumR = 8388608.0f;
    in.rmsCountL = in.rmsCountR = 1.0f;
    in.outBits = 16;
    in.verbosity = 0;
    in.channelsPlusOne = 3;
    in.startClock = std::clock();
    EXPECT_EQ(BodyOf(ComposeReport(in).stats),
              "Peaks (dB):\n\n"
              "Ch 1\tL  -144.00\tR  -144.00\ta\n"
              "Ch 2\tL  -144.00\tR  -144.00\tb\n"
              "\n"
              "\nTrev\tL  0.00\tR  0.00\t(send)\n"
              "\nRMS\tL  0.00\tR  0.00\t(average)\n"
              "\nPeak Out L = 0.00 dB at 0 min : 1.500 sec\n"
              "Peak Out R = -6.02 dB at 0 min : 0.000 sec\n"
              "\n");
}

TEST(Report, VerbosityOnTheConsole) {
    struct Case { int verbosity; bool body; bool time; };
    const Case cases[] = {{0, false, false}, {1, true, false}, {2, true, false}, {3, true, true}};
    for (const Case& c : cases) {
        Tables t;
        ReportInputs in = SmallMix(t);
        in.verbosity = c.verbosity;
        const ReportTexts report = ComposeReport(in);
        const std::string& out = report.console;
        std::string expected = c.body ? kSmallBody : "";
        if (c.time) {
            ASSERT_GT(out.size(), expected.size());
            EXPECT_EQ(out.substr(0, expected.size() + 1), expected + "\n") << c.verbosity;
            EXPECT_TRUE(std::regex_match(out.substr(expected.size() + 1),
                                         std::regex("Processing time = [0-9]+\\.[0-9]{2} sec\n")));
        } else {
            EXPECT_EQ(out, expected) << c.verbosity;
        }
        // The file always ends with the time line.
        EXPECT_EQ(BodyOf(report.stats), kSmallBody);
    }
}

TEST(Report, FileNames) {
    EXPECT_EQ(StatsFileName("bak/", "song"), "bak/stats_song.txt");
    EXPECT_EQ(FaderCopyFileName("bak/", "song"), "bak/faders_song.txt");
    EXPECT_EQ(StatsFileName("bak", "song"), "bakstats_song.txt");  // used exactly as written
    EXPECT_EQ(StatsFileName("", "song"), "stats_song.txt");
    EXPECT_EQ(FaderCopyFileName("", "preview"), "faders_preview.txt");
}

TEST(Report, LongestReportIsNotCut) {
    Tables t;
    ReportInputs in = SmallMix(t);
    in.channelsPlusOne = 128;
    in.trackNames.clear();
    for (int ch = 1; ch <= 127; ++ch) {
        in.trackNames.push_back(std::string(size_t(255 - 4), char('a' + ch % 26)) + ".wav");
        t.hasFile[size_t(ch)] = 1;
    }
    const std::string stats = ComposeReport(in).stats;
    EXPECT_GT(stats.size(), 16384u * 2);
    for (int ch = 1; ch <= 127; ++ch) {
        const std::string line = "Ch " + std::to_string(ch) + "\t";
        ASSERT_NE(stats.find(line), std::string::npos) << ch;
    }
    EXPECT_NE(stats.find("Ch 127\tL  -144.00\tR  -144.00\t" + std::string(251, char('a' + 127 % 26)) + "\n"),
              std::string::npos);
}
