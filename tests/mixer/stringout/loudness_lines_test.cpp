#include "mixer/stringout/loudness_lines.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>

#include "mixer/stringout/report.hpp"

using namespace varnel;

namespace {

LoudnessFigures Figures(double i, double lra, double l, double r) {
    LoudnessFigures f;
    f.integrated = i;
    f.range = lra;
    f.truePeakL = l;
    f.truePeakR = r;
    return f;
}

// The smallest report: no channel, 24-bit output.
ReportInputs EmptyMix(int verbosity) {
    ReportInputs in;
    in.rate = 48000;
    in.verbosity = verbosity;
    in.hasLoudness = true;
    in.loudness = Figures(-23.04, 7.25, -1.05, -144.0);
    return in;
}

const char* const kLines =
    "Integrated loudness = -23.0 LUFS\n"
    "Loudness range = 7.2 LU\n"
    "True peak L = -1.1 dBTP\n"
    "True peak R = -144.0 dBTP\n";

}  // namespace

TEST(LoudnessLines, Formats) {
    struct Case {
        LoudnessFigures f;
        const char* text;
    };
    const Case cases[] = {
        {Figures(-23.0, 0.0, 0.0, -0.04),
         "Integrated loudness = -23.0 LUFS\nLoudness range = 0.0 LU\n"
         "True peak L = 0.0 dBTP\nTrue peak R = -0.0 dBTP\n"},
        {Figures(-HUGE_VAL, 0.0, -144.0, -144.0),
         "Integrated loudness = -inf LUFS\nLoudness range = 0.0 LU\n"
         "True peak L = -144.0 dBTP\nTrue peak R = -144.0 dBTP\n"},
        {Figures(-9.96, 15.04, 1.26, 0.5),
         "Integrated loudness = -10.0 LUFS\nLoudness range = 15.0 LU\n"
         "True peak L = 1.3 dBTP\nTrue peak R = 0.5 dBTP\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(LoudnessLines(c.f), c.text);
}

TEST(LoudnessLines, CloseTheFileAndTheConsoleReport) {
    const std::regex time("Processing time = [0-9]+\\.[0-9]{2} sec\n");
    for (int verbosity : {0, 2, 3}) {
        ReportInputs in = EmptyMix(verbosity);
        const ReportTexts report = ComposeReport(in);
        const std::string& console = report.console;
        const std::string& stats = report.stats;

        // In the file: after the processing time, as the last lines.
        const size_t at = stats.rfind("Processing time = ");
        ASSERT_NE(at, std::string::npos);
        const std::string tail = stats.substr(at);
        const size_t timeEnd = tail.find('\n') + 1;
        EXPECT_TRUE(std::regex_match(tail.substr(0, timeEnd), time)) << tail;
        EXPECT_EQ(tail.substr(timeEnd), kLines);

        // On the console: last too, and only when the report is printed.
        if (verbosity == 0) {
            EXPECT_EQ(console, "");
        } else {
            ASSERT_GE(console.size(), std::string(kLines).size());
            EXPECT_EQ(console.substr(console.size() - std::string(kLines).size()), kLines);
            EXPECT_EQ(console.find("Processing time") != std::string::npos, verbosity > 2);
        }
    }
}

TEST(LoudnessLines, AbsentWithoutAMeasurement) {
    ReportInputs in = EmptyMix(2);
    in.hasLoudness = false;
    const ReportTexts report = ComposeReport(in);
    EXPECT_EQ(report.console.find("loudness"), std::string::npos);
    EXPECT_EQ(report.stats.find("loudness"), std::string::npos);
}

// With a loudness target, its line follows the loudness lines (where they
// are shown); a target not reached adds a warning shown at every verbosity,
// before the output clip warning.
TEST(LoudnessLines, TargetLineAndWarnings) {
    struct Case {
        const char* name;
        double target, ceiling, measured, gain;
        bool capped, silent;
        const char* line;
        const char* warning;
    };
    const Case cases[] = {
        {"reached", -16, -1, -20.004, 4.004, false, false,
         "Loudness target = -16.0 LUFS, gain applied = +4.00 dB\n", ""},
        {"cut", -23, -2, -11.5, -11.5, false, false,
         "Loudness target = -23.0 LUFS, gain applied = -11.50 dB\n", ""},
        {"capped", -14, -1, -30.0, 2.046, true, false,
         "Loudness target = -14.0 LUFS, gain applied = +2.05 dB\n",
         "Warning: the target was not reached: the true-peak ceiling of -1.0 dBTP allows -28.0 LUFS "
         "at most.\n"},
        {"silent", -16, -1, -INFINITY, 0.0, false, true,
         "Loudness target = -16.0 LUFS, gain applied = +0.00 dB\n",
         "Warning: the target was not reached: the mix has no loudness above the gates (-inf LUFS), "
         "so no gain was applied.\n"},
    };
    for (const Case& c : cases) {
        LoudnessTarget t;
        t.set = true;
        t.target = c.target;
        t.ceiling = c.ceiling;
        t.measured = c.measured;
        t.gainDb = c.gain;
        t.capped = c.capped;
        t.silent = c.silent;
        EXPECT_EQ(LoudnessTargetLine(t), c.line) << c.name;
        EXPECT_EQ(LoudnessTargetWarning(t), c.warning) << c.name;
        for (int verbosity : {0, 1}) {
            ReportInputs in = EmptyMix(verbosity);
            in.target = t;
            in.outputClips.total = in.outputClips.left = 1;
            in.outputClips.first = 0;
            const ReportTexts report = ComposeReport(in);
            const std::string clip = OutputClipWarning(in.outputClips, in.rate);
            const std::string tail = kLines + std::string(c.line) + c.warning + clip;
            ASSERT_GE(report.stats.size(), tail.size());
            EXPECT_EQ(report.stats.substr(report.stats.size() - tail.size()), tail) << c.name;
            if (verbosity == 0) {
                EXPECT_EQ(report.console, c.warning + clip) << c.name;
            } else {
                ASSERT_GE(report.console.size(), tail.size());
                EXPECT_EQ(report.console.substr(report.console.size() - tail.size()), tail) << c.name;
            }
        }
    }
    // Without a target nothing is added.
    EXPECT_EQ(LoudnessTargetLine(LoudnessTarget{}), "");
    EXPECT_EQ(LoudnessTargetWarning(LoudnessTarget{}), "");
}
