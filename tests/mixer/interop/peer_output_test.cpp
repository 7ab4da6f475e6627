// Mixes read by other tools: sox, ffprobe and python's wave agree on the
// format and length of every output format, and decode our samples; and a
// level-only mix matches sox applying the same linear gain.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "mixer/interop/peer_tools.hpp"
#include "support/session.hpp"

using peertools::Have;
using peertools::RunShell;
using testsupport::ReadWavSamples;
using testsupport::Session;

namespace {

constexpr int kRate = 44100;
constexpr int kFrames = 5000;

// A deterministic 24-bit signal well below full scale.
std::vector<int32_t> Signal(int channels, int seed) {
    std::vector<int32_t> s;
    for (int i = 0; i < kFrames; ++i)
        for (int c = 0; c < channels; ++c)
            s.push_back(int32_t(3000000.0 * std::sin(0.01 * (i + 1) * (seed + c + 1))) + (i * 7919 + c) % 4001);
    return s;
}

std::string Trim(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

struct OutputFormat {
    int bits;
    bool mono;
};

TEST(PeerOutput, OtherToolsReadEveryOutputFormat) {
    const OutputFormat formats[] = {{16, false}, {24, false}, {16, true}, {24, true}};
    const bool sox = Have("sox"), ffprobe = Have("ffprobe");
    const std::string python = peertools::PythonWith("wave");
    if (!sox && !ffprobe && python.empty()) GTEST_SKIP() << "no peer tool installed";
    for (const auto& f : formats) {
        const std::string label = std::to_string(f.bits) + (f.mono ? "-bit mono" : "-bit stereo");
        Session s;
        s.AddPcm("a.wav", 2, 24, Signal(2, 1), kRate);
        s.prefs = "begin\ndither\t0\nverbo\t1\noutbits\t" + std::to_string(f.bits) + "\n" +
                  (f.mono ? "mono\t-6\n" : "") + "end\n";
        s.faders = "begin\nmix\nt\t0\t0\t0\nv\t1\t-3\nend\n";
        ASSERT_EQ(s.Run().status, 0) << label;
        const std::string out = s.Path("mix.wav");
        const int channels = f.mono ? 1 : 2;
        int ourChannels = 0, ourBits = 0, ourRate = 0;
        std::vector<int32_t> ours = ReadWavSamples(out, &ourChannels, &ourBits, &ourRate);
        ASSERT_EQ(ours.size(), size_t(kFrames) * size_t(channels)) << label;
        ASSERT_EQ(ourBits, f.bits) << label;

        if (sox) {
            EXPECT_EQ(Trim(RunShell("sox --i -r '" + out + "'").output), std::to_string(kRate)) << label;
            EXPECT_EQ(Trim(RunShell("sox --i -b '" + out + "'").output), std::to_string(f.bits)) << label;
            EXPECT_EQ(Trim(RunShell("sox --i -c '" + out + "'").output), std::to_string(channels)) << label;
            EXPECT_EQ(Trim(RunShell("sox --i -s '" + out + "'").output), std::to_string(kFrames)) << label;
            ASSERT_EQ(RunShell("sox '" + out + "' -t s32 '" + out + ".s32'").status, 0);
            std::vector<int32_t> ref = peertools::ReadRawInt32(out + ".s32");
            ASSERT_EQ(ref.size(), ours.size()) << label;
            for (size_t i = 0; i < ref.size(); ++i)
                ASSERT_EQ(int64_t(ours[i]) << (32 - f.bits), ref[i]) << label << " sample " << i;
        }
        if (ffprobe) {
            const std::string probe =
                RunShell("ffprobe -v error -select_streams a:0 -show_entries "
                         "stream=sample_rate,channels,bits_per_sample,duration_ts -of "
                         "default=noprint_wrappers=1 '" + out + "'").output;
            for (const std::string& line :
                 {"sample_rate=" + std::to_string(kRate), "channels=" + std::to_string(channels),
                  "bits_per_sample=" + std::to_string(f.bits), "duration_ts=" + std::to_string(kFrames)})
                EXPECT_NE(probe.find(line + "\n"), std::string::npos) << label << ": " << probe;
            ASSERT_EQ(RunShell("ffmpeg -loglevel error -y -i '" + out + "' -f s32le -c:a pcm_s32le '" +
                               out + ".ff32'").status, 0);
            std::vector<int32_t> ref = peertools::ReadRawInt32(out + ".ff32");
            ASSERT_EQ(ref.size(), ours.size()) << label;
            for (size_t i = 0; i < ref.size(); ++i)
                ASSERT_EQ(int64_t(ours[i]) << (32 - f.bits), ref[i]) << label << " sample " << i;
        }
        if (!python.empty()) {
            const std::string info =
                RunShell(python + " -c \"import wave; w = wave.open('" + out +
                         "'); print(w.getframerate(), w.getsampwidth(), w.getnchannels(), w.getnframes())\"")
                    .output;
            std::ostringstream want;
            want << kRate << " " << f.bits / 8 << " " << channels << " " << kFrames << "\n";
            EXPECT_EQ(info, want.str()) << label;
        }
    }
}

// Linear gain of a level in dB as the mixer stores it: trunc(10^(dB/20) x 2^27) / 2^27.
double StoredGain(double dB) { return std::trunc(std::pow(10.0, dB / 20.0) * 134217728.0) / 134217728.0; }

// Our 24-bit mix against sox's 24-bit result: within one output step.
void CompareWithSox(Session& s, const std::string& soxInputs, const std::string& label) {
    s.prefs = "begin\ndither\t0\nverbo\t1\noutbits\t24\nend\n";
    ASSERT_EQ(s.Run().status, 0) << label;
    const std::string ref = s.Path("ref.raw");
    ASSERT_EQ(RunShell("cd '" + s.dir.path() + "' && sox -D " + soxInputs +
                       " -t raw -e signed-integer -b 24 '" + ref + "'").status, 0)
        << label;
    std::vector<int32_t> ours = ReadWavSamples(s.Path("mix.wav"));
    std::vector<int32_t> theirs;
    const std::string bytes = testsupport::ReadFile(ref);
    for (size_t i = 0; i + 3 <= bytes.size(); i += 3)
        theirs.push_back(int32_t(uint8_t(bytes[i])) + 256 * int32_t(uint8_t(bytes[i + 1])) +
                         65536 * int32_t(int8_t(bytes[i + 2])));
    ASSERT_EQ(ours.size(), theirs.size()) << label;
    ASSERT_EQ(ours.size(), size_t(kFrames) * 2) << label;
    for (size_t i = 0; i < ours.size(); ++i)
        ASSERT_LE(std::abs(ours[i] - theirs[i]), 1) << label << " sample " << i;
}

TEST(PeerOutput, LevelOnlyMixMatchesSoxGain) {
    if (!Have("sox")) GTEST_SKIP() << "sox not installed";
    char gain[64];
    std::snprintf(gain, sizeof gain, "%.12f", StoredGain(-6.0));
    {
        Session s;
        s.AddPcm("a.wav", 2, 24, Signal(2, 1), kRate);
        s.faders = "begin\nmix\nt\t0\t0\t0\nv\t1\t-6\np\t1\t0\nend\n";
        CompareWithSox(s, std::string("-v ") + gain + " a.wav", "one track");
    }
    {
        Session s;
        s.AddPcm("a.wav", 2, 24, Signal(2, 1), kRate);
        s.AddPcm("b.wav", 2, 24, Signal(2, 5), kRate);
        s.faders = "begin\nmix\nt\t0\t0\t0\nv\t1\t-6\nv\t2\t-6\nend\n";
        CompareWithSox(s, std::string("-m -v ") + gain + " a.wav -v " + gain + " b.wav", "two tracks");
    }
}

}  // namespace
