// Whole runs: the loudness lines that close the report, and RF64 tracks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <vector>

#include "mixer/utilities/wav/output_file.hpp"
#include "mixer/utilities/wav/wav_writer.hpp"
#include "support/session.hpp"

using testsupport::ReadFile;
using testsupport::ReadWavSamples;
using testsupport::Session;

namespace {

// A 1 kHz stereo sine, the same on both sides, at `dbfs` peak, 24-bit.
std::vector<int32_t> Sine24(double dbfs, int seconds, int rate = 48000) {
    const double amp = std::pow(10.0, dbfs / 20.0) * 8388608.0;
    std::vector<int32_t> s;
    for (int i = 0; i < seconds * rate; ++i) {
        const int32_t v = int32_t(std::lround(amp * std::sin(2.0 * M_PI * 1000.0 * i / rate)));
        s.push_back(v);
        s.push_back(v);
    }
    return s;
}

std::string Tail(const std::string& text, size_t n) {
    return text.size() < n ? text : text.substr(text.size() - n);
}

}  // namespace

TEST(LoudnessRun, ReportEndsWithTheLoudnessLines) {
    struct Case {
        const char* prefs;
        const char* lines;
    };
    const Case cases[] = {
        {"begin\ndither\t0\nverbo\t1\nend\n",
         "Integrated loudness = -23.0 LUFS\nLoudness range = 0.0 LU\n"
         "True peak L = -23.0 dBTP\nTrue peak R = -23.0 dBTP\n"},
        // One channel measured alone: half the power of the two equal sides.
        {"begin\ndither\t0\nverbo\t1\nmono\t-6.0206\noutbits\t16\nend\n",
         "Integrated loudness = -26.0 LUFS\nLoudness range = 0.0 LU\n"
         "True peak L = -23.0 dBTP\nTrue peak R = -23.0 dBTP\n"},
    };
    for (const Case& c : cases) {
        Session s;
        s.AddPcm("sine.wav", 2, 24, Sine24(-23.0, 5));
        s.prefs = c.prefs;
        auto r = s.Run();
        ASSERT_EQ(r.status, 0) << r.output;
        const std::string lines = c.lines;
        EXPECT_EQ(Tail(r.output, lines.size()), lines) << r.output;
        const std::string stats = ReadFile(s.Path("stats_mix.txt"));
        const size_t time = stats.rfind("Processing time = ");
        ASSERT_NE(time, std::string::npos);
        // The run record follows them.
        const size_t after = stats.find('\n', time) + 1;
        EXPECT_EQ(stats.substr(after, stats.find("\nRun record:\n") - after), lines) << stats;
    }
}

TEST(LoudnessRun, Rf64TrackMixesLikeItsPlainTwin) {
    const std::vector<int32_t> samples = Sine24(-10.0, 1);
    const int frames = int(samples.size() / 2);
    std::vector<int32_t> l(static_cast<size_t>(frames)), r(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        l[size_t(i)] = samples[size_t(2 * i)];
        r[size_t(i)] = -samples[size_t(2 * i)];
    }
    std::vector<uint8_t> bytes(size_t(frames) * 6);
    varnel::NUM24STER_TO_CHAR(l.data(), r.data(), bytes.data(), frames);

    std::vector<int32_t> mixes[2];
    for (bool rf64 : {false, true}) {
        Session s;
        varnel::OutputFile out;
        const int fd = ::open(s.Path("t.wav").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_TRUE(varnel::StartOutputFile(out, fd, s.Path("t.wav"), 48000, 24, 2, frames, rf64));
        ASSERT_TRUE(varnel::AppendOutputBytes(out, bytes.data(), bytes.size()));
        ASSERT_TRUE(varnel::CloseOutputFile(out));
        EXPECT_EQ(ReadFile(s.Path("t.wav")).substr(0, 4), rf64 ? "RF64" : "RIFF");
        s.AddLine("1 t.wav +");
        auto run = s.Run();
        ASSERT_EQ(run.status, 0) << run.output;
        mixes[rf64] = ReadWavSamples(s.Path("mix.wav"));
    }
    ASSERT_EQ(mixes[0].size(), size_t(2 * frames));
    EXPECT_EQ(mixes[0], mixes[1]);
    EXPECT_EQ(mixes[1][2 * 100], l[100]);
    EXPECT_EQ(mixes[1][2 * 100 + 1], r[100]);
}
