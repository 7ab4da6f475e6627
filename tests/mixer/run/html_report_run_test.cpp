// Whole runs with "html on": the mix is the same byte for byte with the
// report on or off; the page, read back by python's XML parser, holds the
// session's lanes with their entries where the fader file puts them, the
// clip marks where the output and a channel clip, and the text report's
// loudness figures; the preference's values and the report's name; and a
// headless browser draws the page.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "mixer/stringout/html_report.hpp"
#include "run_signals.hpp"
#include "support/html_summary.hpp"

using namespace runsignals;
using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::Session;

namespace {

constexpr int kRate = 48000;
constexpr int kSeconds = 4;
constexpr int kColumns = 1600;  // 120 frames each over 4 s

// Channel 1: a tone whose sides differ, over the whole song. Channel 2:
// silent but for a full-scale burst from 2.0 s to 2.2 s, which clips the
// output at +6 dB.
void BuildSession(Session& s, const std::string& prefsExtra) {
    const int frames = kRate * kSeconds;
    s.AddPcm("tone.wav", 2, 24, Stereo(Sine(frames, 4000000, 441, kRate), Sine(frames, 2000000, 882, kRate)), kRate);
    std::vector<int32_t> burst(size_t(frames), 0);
    for (int i = 2 * kRate; i < 2 * kRate + kRate / 5; ++i) burst[size_t(i)] = (i % 2) ? 8388607 : -8388608;
    s.AddPcm("burst.wav", 2, 24, Both(burst), kRate);
    s.faders =
        "begin\nmix\n"
        "t\t0\t0\t0\nv\t1\t-6\nv\t2\t6\nv\tM\t0\n"
        "t\t0\t1\t0\nv\t1\t-20\nrmp\t0.5\n"
        "t\t0\t2\t500\nv\t2\t0\n"
        "t\t0\t3\t0\nv\tM\t-6\nrmp\t0.5\n"
        "lim\t1\t0\nfxg\t1\t12\n"
        "end\n";
    s.prefs = "begin\ndither\t0\nverbo\t1\n" + prefsExtra + "end\n";
}

double ColumnOf(const std::string& x) {
    return (std::atof(x.c_str()) - varnel::kHtmlPlotLeft) * kColumns / varnel::kHtmlPlotWidth;
}

std::vector<double> DotColumns(const std::string& xs) {
    std::vector<double> out;
    for (size_t from = 0; from < xs.size();) {
        size_t comma = xs.find(',', from);
        if (comma == std::string::npos) comma = xs.size();
        out.push_back(ColumnOf(xs.substr(from, comma - from)));
        from = comma + 1;
    }
    return out;
}

// The value after "<name> = " in the statistics file, up to the line's end.
std::string StatsValue(const std::string& stats, const std::string& name) {
    const size_t at = stats.find(name + " = ");
    if (at == std::string::npos) return "";
    const size_t from = at + name.size() + 3;
    return stats.substr(from, stats.find('\n', from) - from);
}

}  // namespace

TEST(HtmlReportRun, MixUnchangedAndPageShowsTheSession) {
    Session off, on;
    BuildSession(off, "");
    BuildSession(on, "html\ton\n");
    ASSERT_EQ(off.Run().status, 0);
    ASSERT_EQ(on.Run().status, 0);
    EXPECT_EQ(ReadFile(on.Path("mix.wav")), ReadFile(off.Path("mix.wav")));
    EXPECT_FALSE(FileExists(off.Path("report_mix.html")));
    ASSERT_TRUE(FileExists(on.Path("report_mix.html")));

    const auto summary = testsupport::SummariseHtml(on.Path("report_mix.html"));
    if (summary.empty()) GTEST_SKIP() << "python3 not installed";
    ASSERT_TRUE(testsupport::SummaryLines(summary, "error").empty()) << summary[0];

    // One lane per fader with entries, each entry's dot in its column.
    const auto lanes = testsupport::SummaryLines(summary, "lane");
    ASSERT_EQ(lanes.size(), 3u);
    const std::vector<std::string> labels = {"Ch 1 tone", "Ch 2 burst", "Master"};
    const std::vector<std::vector<double>> times = {{0.0, 1.0}, {0.0, 2.5}, {0.0, 3.0}};
    for (size_t i = 0; i < lanes.size(); ++i) {
        EXPECT_EQ(lanes[i][0], labels[i]);
        EXPECT_EQ(lanes[i][1], "1");
        const auto dots = DotColumns(lanes[i].size() > 2 ? lanes[i][2] : "");
        ASSERT_EQ(dots.size(), times[i].size()) << labels[i];
        for (size_t k = 0; k < dots.size(); ++k)
            EXPECT_NEAR(dots[k], times[i][k] * kColumns / kSeconds, 1.0) << labels[i] << " " << k;
    }

    // The output clips during the burst only (2.0 s to 2.2 s: columns 800 to
    // 880), on both sides; channel 1 clips after its effects.
    const auto marks = testsupport::SummaryLines(summary, "fs");
    ASSERT_FALSE(marks.empty());
    bool left = false, right = false;
    for (const auto& m : marks) {
        const double c = ColumnOf(m[0]);
        EXPECT_GE(c, 800.0);
        EXPECT_LT(c, 880.0);
        (std::atof(m[1].c_str()) < 140 ? left : right) = true;
    }
    EXPECT_TRUE(left && right);
    std::map<std::string, std::string> clip;
    for (const auto& m : testsupport::SummaryLines(summary, "strip")) clip[m[0]] = m[3];
    EXPECT_EQ(clip["Ch 1 tone"], "1");
    EXPECT_EQ(clip["Ch 2 burst"], "0");
    EXPECT_EQ(clip["Master (output)"], "1");

    // The loudness figures and the output clip warning are the text report's.
    const std::string stats = ReadFile(on.Path("stats_mix.txt"));
    std::map<std::string, std::string> facts;
    for (const auto& m : testsupport::SummaryLines(summary, "fact")) facts[m[0]] = m[1];
    EXPECT_EQ(facts["Integrated loudness"], StatsValue(stats, "Integrated loudness"));
    EXPECT_EQ(facts["Loudness range"], StatsValue(stats, "Loudness range"));
    EXPECT_EQ(facts["True peak"], "L " + StatsValue(stats, "True peak L") + ", R " + StatsValue(stats, "True peak R"));
    EXPECT_EQ(facts["Output"], "mix.wav, 24-bit PCM WAV, stereo, 48000 Hz");
    const auto warnings = testsupport::SummaryLines(summary, "warning");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0][0] + "\n", stats.substr(stats.find("Warning: the output clipped")).substr(0, warnings[0][0].size() + 1));
}

// "html" takes "on" or "off" (the last accepted line counts); other values
// are named and ignored. The report is named as the other reports are.
TEST(HtmlReportRun, PreferenceValuesAndReportNames) {
    struct Case {
        std::string prefs;
        std::string report;   // expected file, "" for none
        std::string warning;  // expected on the console, "" for none
    } cases[] = {
        {"html\ton\n", "report_mix.html", ""},
        {"html\ton\nhtml\toff\n", "", ""},
        {"html\tyes\n", "", "Warning: prefs.txt:4: html is \"on\" or \"off\", not \"yes\"; the line is ignored.\n"},
        {"html\ton\nhtml\n", "report_mix.html", "Warning: prefs.txt:5: html needs \"on\" or \"off\"; the line is ignored.\n"},
        {"html\ton\npre\ton\n", "report_preview.html", ""},
        {"html\ton\nbakdir\told/\n", "old/report_mix.html", ""},
    };
    for (const Case& c : cases) {
        Session s;
        BuildSession(s, c.prefs);
        std::filesystem::create_directory(s.Path("old"));
        const auto r = s.Run();
        ASSERT_EQ(r.status, 0) << c.prefs << r.output;
        for (const char* name : {"report_mix.html", "report_preview.html", "old/report_mix.html"})
            EXPECT_EQ(FileExists(s.Path(name)), c.report == name) << c.prefs << name;
        if (!c.warning.empty()) EXPECT_NE(r.output.find(c.warning), std::string::npos) << r.output;
        else EXPECT_EQ(r.output.find("html"), std::string::npos) << r.output;
    }

    // With a loudness target the page gives it, its gain and its line.
    Session target;
    BuildSession(target, "html\ton\nlufs\t-16\n");
    ASSERT_EQ(target.Run().status, 0);
    const std::string page = ReadFile(target.Path("report_mix.html"));
    const std::string stats = ReadFile(target.Path("stats_mix.txt"));
    const size_t gain = stats.find("gain applied = ");
    ASSERT_NE(gain, std::string::npos);
    EXPECT_NE(page.find("<th>Loudness target</th><td>-16.0 LUFS, gain applied " +
                        stats.substr(gain + 15, stats.find(" dB", gain) - gain - 15) + " dB</td>"),
              std::string::npos);
    EXPECT_NE(page.find("<path class=\"tgt\""), std::string::npos);

    // The report is an output like the others: it may not replace an input.
    Session clash;
    BuildSession(clash, "html\ton\n");
    testsupport::WriteFile(clash.Path("report_mix.html"), clash.faders);
    const auto r = clash.Run({"tracks.txt", "report_mix.html", "prefs.txt"});
    EXPECT_EQ(r.status, 2) << r.output;
    EXPECT_EQ(ReadFile(clash.Path("report_mix.html")), clash.faders);
    EXPECT_FALSE(FileExists(clash.Path("mix.wav")));
}

namespace {

// Decodes an 8-bit RGB or RGBA PNG and prints the share of pixels that are
// not near white.
const char kInkShare[] = R"PY(
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
assert data[:8] == b'\x89PNG\r\n\x1a\n'
pos, idat, width = 8, b'', 0
while pos < len(data):
    size, kind = struct.unpack('>I4s', data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + size]
    if kind == b'IHDR':
        width, height, depth, colour = struct.unpack('>IIBB', body[:10])
        assert depth == 8 and colour in (2, 6)
        bpp = 3 if colour == 2 else 4
    elif kind == b'IDAT':
        idat += body
    pos += size + 12
raw, stride, prev, ink = zlib.decompress(idat), width * bpp, None, 0
for y in range(height):
    f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    up = prev or bytearray(stride)
    for i in range(stride):
        a = line[i - bpp] if i >= bpp else 0
        b, c = up[i], (up[i - bpp] if i >= bpp else 0)
        if f == 1: line[i] = (line[i] + a) & 255
        elif f == 2: line[i] = (line[i] + b) & 255
        elif f == 3: line[i] = (line[i] + (a + b) // 2) & 255
        elif f == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    ink += sum(1 for x in range(0, stride, bpp) if min(line[x:x + 3]) < 200)
    prev = line
print('%.4f' % (ink / float(width * height)))
)PY";

std::string Browser() {
    for (const char* name : {"chromium", "chromium-browser", "google-chrome"})
        if (testsupport::HaveTool(name)) return name;
    return "";
}

}  // namespace

// A headless browser renders the page offline; the picture holds ink.
TEST(HtmlReportRun, HeadlessBrowserDrawsThePage) {
    const std::string browser = Browser();
    if (browser.empty()) GTEST_SKIP() << "no headless browser installed";
    if (!testsupport::HaveTool("python3")) GTEST_SKIP() << "python3 not installed";
    Session s;
    BuildSession(s, "html\ton\n");
    ASSERT_EQ(s.Run().status, 0);
    // The browser's own chatter on standard error is dropped.
    const auto shot = testsupport::RunProgram(
        "sh", {"-c", "exec timeout 120 \"$@\" 2>/dev/null", "sh", browser, "--headless", "--no-sandbox", "--disable-gpu",
                    "--disable-background-networking", "--disable-component-update", "--disable-sync",
                    "--no-first-run", "--user-data-dir=" + s.Path("profile"), "--window-size=1200,1600",
                    "--screenshot=" + s.Path("page.png"), "file://" + s.Path("report_mix.html")},
        s.dir.path());
    ASSERT_TRUE(FileExists(s.Path("page.png"))) << shot.output;
    const auto ink = testsupport::RunProgram("python3", {"-c", kInkShare, s.Path("page.png")}, s.dir.path());
    EXPECT_GT(std::atof(ink.output.c_str()), 0.02) << ink.output;
}
