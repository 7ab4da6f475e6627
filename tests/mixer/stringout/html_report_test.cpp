#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "mixer/stringout/html_report.hpp"
#include "mixer/stringout/svg_plot.hpp"
#include "mixer/utilities/fader_script/automation_lanes.hpp"
#include "support/html_summary.hpp"
#include "support/test_support.hpp"

using namespace varnel;

namespace {

// A set of figures with every per-column array filled: a wave whose left
// and right sides differ, loudness curves with a gap, a limiter.
HtmlFigures Figures(int columns) {
    HtmlFigures f;
    f.mixName = "song & <dance>";
    f.outputFile = "song.wav";
    f.format = "WAV, 24-bit PCM, stereo, 48000 Hz";
    f.date = "2024-05-01 12:00 UTC";
    f.rate = 48000;
    f.windowStart = 48000 * 10;
    f.windowLength = 48000 * 60;
    f.songLength = 48000 * 75;
    f.loudness = {-14.26, 6.04, -1.04, -0.95};
    f.columns = columns;
    const size_t C = size_t(columns);
    f.minL.resize(C), f.maxL.resize(C), f.minR.resize(C), f.maxR.resize(C);
    f.fullScaleL.assign(C, 0), f.fullScaleR.assign(C, 0);
    f.momentary.resize(C), f.shortTerm.resize(C), f.limiterdB.resize(C);
    for (size_t c = 0; c < C; ++c) {
        const float a = float(0.5 + 0.4 * std::sin(double(c) * 0.05));
        f.maxL[c] = a, f.minL[c] = -a;
        f.maxR[c] = a / 2, f.minR[c] = -a / 3;
        f.momentary[c] = c < 3 ? NAN : float(-20.0 + 6.0 * std::sin(double(c) * 0.3));
        f.shortTerm[c] = c < 30 ? NAN : float(-18.0 + 2.0 * std::sin(double(c) * 0.02));
        f.limiterdB[c] = float(2.0 + 2.0 * std::sin(double(c) * 0.11));
    }
    return f;
}

HtmlLane Lane(const std::string& label, int columns, std::vector<double> entryColumns, bool played = true) {
    HtmlLane lane;
    lane.label = label;
    lane.played = played;
    lane.edgedB.assign(size_t(columns) + 1, -6.0f);
    lane.lowdB.assign(size_t(columns), -6.0f);
    lane.highdB.assign(size_t(columns), -6.0f);
    for (size_t i = 0; i < entryColumns.size(); ++i) {
        lane.entryColumn.push_back(entryColumns[i]);
        lane.entrydB.push_back(i % 2 ? -144.0f : -6.0f);
    }
    return lane;
}

double ColumnOf(const std::string& x, int columns) {
    return (std::atof(x.c_str()) - kHtmlPlotLeft) * columns / kHtmlPlotWidth;
}

std::vector<std::string> Split(const std::string& s) {
    std::vector<std::string> out;
    size_t from = 0;
    while (!s.empty()) {
        size_t comma = s.find(',', from);
        out.push_back(s.substr(from, comma - from));
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    return out;
}

}  // namespace

// The page parses as XML, and the lanes, their entry dots, the full-scale
// marks, the meters with their clip flags and the header figures are where
// the figures put them.
TEST(HtmlReport, PageShowsLanesMarksAndMeters) {
    if (!testsupport::HaveTool("python3")) GTEST_SKIP() << "python3 not installed";
    const int C = 200;
    HtmlFigures f = Figures(C);
    f.fullScaleL[17] = f.fullScaleL[150] = 1;
    f.fullScaleR[150] = 1;
    f.peakOutPosL = f.windowStart + f.windowLength / 4;  // column 50
    f.peakOutPosR = f.windowStart + f.windowLength / 2;  // column 100
    f.lanes.push_back(Lane("Ch 1 Kick", C, {0.0, 12.5, 199.9}));
    f.lanes.push_back(Lane("Sub 2", C, {50.0}, false));
    f.lanes.back().note = "not played";
    f.lanes.push_back(Lane("Master", C, {}));
    f.strips = {{"Ch 1 Kick", -3.5, -4.25, false}, {"Ch 2 <Bass>", 0.5, -1.0, true}, {"Sub 2", -144.0, -144.0, false}};
    f.warnings = {"Warning: a <tag> & \x01 bad \xff byte"};

    testsupport::TempDir dir;
    const std::string path = dir.file("report.html");
    testsupport::WriteFile(path, HtmlReportPage(f));
    const auto summary = testsupport::SummariseHtml(path);
    ASSERT_FALSE(summary.empty());
    ASSERT_TRUE(testsupport::SummaryLines(summary, "error").empty()) << summary[0];

    const auto lanes = testsupport::SummaryLines(summary, "lane");
    ASSERT_EQ(lanes.size(), 3u);
    const std::vector<std::vector<double>> dots = {{0.0, 12.5, 199.9}, {50.0}, {}};
    for (size_t i = 0; i < lanes.size(); ++i) {
        EXPECT_EQ(lanes[i][1], i == 1 ? "0" : "1") << i;
        const std::string xs = lanes[i].size() > 2 ? lanes[i][2] : "";
        const auto got = Split(xs);
        ASSERT_EQ(got.size(), dots[i].size()) << i;
        for (size_t k = 0; k < got.size(); ++k)
            EXPECT_NEAR(ColumnOf(got[k], C), dots[i][k], 0.5) << i << " " << k;
    }
    EXPECT_EQ(lanes[1][0], "Sub 2 (not played)");

    // Full-scale marks: a top and a bottom stroke per marked column and side.
    std::vector<int> left, right;
    for (const auto& m : testsupport::SummaryLines(summary, "fs"))
        (std::atof(m[1].c_str()) < 140 ? left : right).push_back(int(ColumnOf(m[0], C)));
    EXPECT_EQ(left, (std::vector<int>{17, 17, 150, 150}));
    EXPECT_EQ(right, (std::vector<int>{150, 150}));
    const auto peaks = testsupport::SummaryLines(summary, "peak");
    ASSERT_EQ(peaks.size(), 2u);
    EXPECT_NEAR(ColumnOf(peaks[0][0], C), 50.0, 0.5);
    EXPECT_NEAR(ColumnOf(peaks[1][0], C), 100.0, 0.5);

    const auto strips = testsupport::SummaryLines(summary, "strip");
    ASSERT_EQ(strips.size(), 3u);
    EXPECT_EQ(strips[1], (std::vector<std::string>{"Ch 2 <Bass>", "0.50", "-1.00", "1"}));
    EXPECT_EQ(strips[0][3], "0");
    EXPECT_EQ(strips[2][1], "-144.00");

    std::map<std::string, std::string> facts;
    for (const auto& m : testsupport::SummaryLines(summary, "fact")) facts[m[0]] = m[1];
    EXPECT_EQ(facts["Integrated loudness"], "-14.3 LUFS");
    EXPECT_EQ(facts["Loudness range"], "6.0 LU");
    EXPECT_EQ(facts["True peak"], "L -1.0 dBTP, R -0.9 dBTP");
    EXPECT_EQ(facts["Window"], "0:10.000 to 1:10.000 of a 1:15.000 song");
    EXPECT_EQ(facts.count("Dither seed"), 0u);
    EXPECT_EQ(facts.count("Loudness target"), 0u);
    const auto warnings = testsupport::SummaryLines(summary, "warning");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0][0], "Warning: a <tag> & \xEF\xBF\xBD bad \xEF\xBF\xBD byte");

    // The seed and the target show when the run has them.
    f.hasDitherSeed = true;
    f.ditherSeed = 4242;
    f.target.set = true;
    f.target.target = -16.0;
    f.target.gainDb = 2.345;
    testsupport::WriteFile(path, HtmlReportPage(f));
    facts.clear();
    for (const auto& m : testsupport::SummaryLines(testsupport::SummariseHtml(path), "fact")) facts[m[0]] = m[1];
    EXPECT_EQ(facts["Dither seed"], "4242");
    EXPECT_EQ(facts["Loudness target"], "-16.0 LUFS, gain applied +2.35 dB");
}

// Nothing in the page reaches outside it, and a three-hour mix of 127 tracks
// whose every fader holds the most entries a table takes stays under 2 MB.
TEST(HtmlReport, SelfContainedAndSmallForTheLargestMix) {
    const int C = 1600;
    HtmlFigures f = Figures(C);
    f.windowStart = 0;
    f.windowLength = int64_t(48000) * 3 * 3600;
    f.songLength = f.windowLength;
    for (size_t c = 0; c < size_t(C); c += 7) f.fullScaleL[c] = f.fullScaleR[c] = 1;
    // Every fader full: 512 entries spread over the song, jumping between
    // levels, with ramps of every shape.
    const int n = 512;
    std::vector<int32_t> time(n), level(n), ramp(n);
    std::vector<float> shape(n);
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    for (int k = 0; k < 127 + 8 + 8 + 1; ++k) {
        for (int e = 0; e < n; ++e) {
            const int64_t gap = f.windowLength / n;
            time[size_t(e)] = int32_t(e * gap);
            level[size_t(e)] = int32_t(next() % 600000000u);
            ramp[size_t(e)] = e == 0 ? 0 : int32_t(next() % uint32_t(gap));
            shape[size_t(e)] = e % 3 == 0 ? 1.0f : e % 3 == 1 ? 2.0f : 0.5f;
        }
        const LevelLane full = FaderLane(level.data(), time.data(), ramp.data(), shape.data(), n, 0, 1,
                                         f.windowStart, f.windowLength, C);
        HtmlLane lane;
        lane.label = "Ch " + std::to_string(k) + " a long track name, take 12";
        lane.edgedB = full.edgedB;
        lane.lowdB = full.lowdB;
        lane.highdB = full.highdB;
        for (const LaneEntry& e : full.entries) {
            lane.entryColumn.push_back(e.column);
            lane.entrydB.push_back(float(e.dotdB));
        }
        f.lanes.push_back(lane);
    }
    for (int k = 0; k < 127 + 8 + 2; ++k) f.strips.push_back({"Ch " + std::to_string(k) + " name", -3.0, -4.0, k % 3 == 0});
    const std::string page = HtmlReportPage(f);
    EXPECT_LT(page.size(), size_t(2) * 1024 * 1024);
    for (const char* outside : {"<script", "http:", "https:", "url(", "@import", "src=", "href="}) {
        const size_t at = page.find(outside);
        // The SVG namespace names itself by URI; nothing is fetched from it.
        if (std::string(outside) == "http:") {
            std::string rest = page;
            for (size_t p; (p = rest.find("xmlns=\"http://www.w3.org/2000/svg\"")) != std::string::npos;)
                rest.erase(p, 34);
            EXPECT_EQ(rest.find(outside), std::string::npos);
            continue;
        }
        EXPECT_EQ(at, std::string::npos) << outside;
    }
}

// The drawing primitives, one row per case.
TEST(HtmlReport, PlotPrimitives) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {Num(-0.04), "0"},
        {Num(3.45), "3.5"},
        {Num(-2.96), "-3"},
        {Num(1600), "1600"},
        {EscapeText("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&#39;"},
        {EscapeText("tab\there\r"), "tab\xEF\xBF\xBDhere\xEF\xBF\xBD"},
        {EscapeText("caf\xC3\xA9 \xC3 \xE2\x82\xAC \xED\xA0\x80"), "caf\xC3\xA9 \xEF\xBF\xBD \xE2\x82\xAC \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        // Points on a straight stretch go; a spike up and back stays.
        {LinePath({{0, 0}, {1, 0}, {2, 0}, {2, 5}, {2, 0}, {3, 0}}), "M0 0l2 0 0 5 0-5 1 0"},
        {LinePath({{72, 10.04}, {73.5, 10.04}}), "M72 10l1.5 0"},
        // Whole units; a point a little off a straight stretch goes only
        // within the tolerance.
        {LinePath({{0, 0}, {5, 5.3}, {10, 10}}, 0, 0.4), "M0 0l10 10"},
        {LinePath({{0, 0}, {5, 6}, {10, 10}}, 0, 0.4), "M0 0l5 6 5 4"},
        {DotPath({{10, 20}, {10.2, 20}, {13, 18}}, 0), "M10 20h0m3-2h0"},
        {MinutesSeconds(59.9996, 3), "1:00.000"},
        {MinutesSeconds(10805.25, 0), "180:05"},
        {MinutesSeconds(61.05, 2), "1:01.05"},
    };
    for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(cases[i].first, cases[i].second) << i;

    // Three hours: ticks every 30 minutes, from the start to the end.
    const auto ticks = TimeTicks(0, int64_t(48000) * 3 * 3600, 48000, 1600);
    ASSERT_EQ(ticks.size(), 7u);
    EXPECT_EQ(ticks[1].label, "30:00");
    EXPECT_DOUBLE_EQ(ticks[6].column, 1600.0);
    // A window from 0:10 to 1:10: ticks on round times of the song.
    const auto inner = TimeTicks(48000 * 10, 48000 * 60, 48000, 200);
    ASSERT_FALSE(inner.empty());
    EXPECT_EQ(inner[0].label, "0:10");
    EXPECT_DOUBLE_EQ(inner[0].column, 0.0);
}
