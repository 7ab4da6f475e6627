// Long mixes: the header chosen for a window just under and just over the
// plain WAV limit, a real RF64 file written through the output path, and
// RF64 tracks read back.
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <string>
#include <vector>

#include "mixer/utilities/wav/output_file.hpp"
#include "mixer/utilities/wav/wav_reader.hpp"
#include "mixer/utilities/wav/wav_writer.hpp"
#include "support/test_support.hpp"

using namespace varnel;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

uint64_t Le(const uint8_t* p, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint64_t(p[i]) << (8 * i);
    return v;
}
uint64_t Le(const std::vector<uint8_t>& h, int at, int bytes) { return Le(h.data() + at, bytes); }
std::string Id(const std::vector<uint8_t>& h, int at) {
    return std::string(reinterpret_cast<const char*>(h.data()) + at, 4);
}
std::string LeText(uint64_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += char((v >> (8 * i)) & 0xFF);
    return s;
}

// Every field of an RF64 header for the given layout.
void ExpectRf64(const std::vector<uint8_t>& h, uint32_t rate, int bits, int channels,
                uint64_t frames) {
    const uint64_t data = frames * uint64_t(bits / 8) * uint64_t(channels);
    ASSERT_EQ(h.size(), 80u);
    EXPECT_EQ(Id(h, 0), "RF64");
    EXPECT_EQ(Le(h, 4, 4), 0xFFFFFFFFu);
    EXPECT_EQ(Id(h, 8), "WAVE");
    EXPECT_EQ(Id(h, 12), "ds64");
    EXPECT_EQ(Le(h, 16, 4), 28u);
    EXPECT_EQ(Le(h, 20, 8), data + 72);  // file size less 8
    EXPECT_EQ(Le(h, 28, 8), data);
    EXPECT_EQ(Le(h, 36, 8), frames);
    EXPECT_EQ(Le(h, 44, 4), 0u);
    EXPECT_EQ(Id(h, 48), "fmt ");
    EXPECT_EQ(Le(h, 52, 4), 16u);
    EXPECT_EQ(Le(h, 56, 2), 1u);
    EXPECT_EQ(Le(h, 58, 2), uint64_t(channels));
    EXPECT_EQ(Le(h, 60, 4), rate);
    EXPECT_EQ(Le(h, 64, 4), uint64_t(rate) * uint64_t(bits / 8 * channels));
    EXPECT_EQ(Le(h, 68, 2), uint64_t(bits / 8 * channels));
    EXPECT_EQ(Le(h, 70, 2), uint64_t(bits));
    EXPECT_EQ(Id(h, 72), "data");
    EXPECT_EQ(Le(h, 76, 4), 0xFFFFFFFFu);
}

}  // namespace

TEST(LongMixHeader, PlainUpToTheLimitRf64Beyond) {
    struct Case {
        int bits, channels;
    };
    for (const Case& c : {Case{24, 2}, Case{16, 2}, Case{24, 1}, Case{16, 1}}) {
        const int64_t frameBytes = c.bits / 8 * c.channels;
        const int64_t limit = (4294967295LL - 36) / frameBytes;  // data + 36 within 32 bits
        const std::vector<uint8_t> under = OutputWavHeader(48000, c.bits, c.channels, limit);
        const auto plain = MAKE_HEADER(48000, c.bits, c.channels, limit);
        EXPECT_EQ(under, std::vector<uint8_t>(plain.begin(), plain.end())) << c.bits << "/" << c.channels;
        ExpectRf64(OutputWavHeader(48000, c.bits, c.channels, limit + 1), 48000, c.bits, c.channels,
                   uint64_t(limit + 1));
    }
    // A ten-hour 96 kHz 24-bit stereo mix: 20.7 GB of data.
    const int64_t tenHours = int64_t(96000) * 36000;
    ExpectRf64(OutputWavHeader(96000, 24, 2, tenHours), 96000, 24, 2, uint64_t(tenHours));
    // The forced form for a short file.
    ExpectRf64(OutputWavHeader(44100, 16, 2, 10, true), 44100, 16, 2, 10);
}

TEST(LongMixHeader, OnlyLengthsBeyondSixtyFourBitsAreRefused) {
    EXPECT_TRUE(Rf64DataFits(24, 2, int64_t(1) << 40));
    EXPECT_TRUE(Rf64DataFits(16, 1, INT64_MAX / 4));
    EXPECT_FALSE(Rf64DataFits(24, 2, INT64_MAX));
    EXPECT_FALSE(Rf64DataFits(24, 2, -1));
    EXPECT_FALSE(Rf64DataFits(0, 2, 10));
}

TEST(LongMixFile, ForcedRf64IsWrittenAndReadBack) {
    TempDir dir;
    const std::string path = dir.file("long.wav");
    const int frames = 3 * 48000;
    OutputFile out;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_TRUE(StartOutputFile(out, fd, path, 48000, 24, 2, frames, true));
    std::vector<int32_t> l(frames), r(frames);
    for (int i = 0; i < frames; ++i) {
        l[size_t(i)] = (i * 37) % 8388608 - 4194304;
        r[size_t(i)] = -l[size_t(i)];
    }
    std::vector<uint8_t> bytes(size_t(frames) * 6);
    NUM24STER_TO_CHAR(l.data(), r.data(), bytes.data(), frames);
    ASSERT_TRUE(AppendOutputBytes(out, bytes.data(), bytes.size()));
    ASSERT_TRUE(CloseOutputFile(out));

    const std::string file = ReadFile(path);
    ASSERT_EQ(file.size(), 80u + bytes.size());
    ExpectRf64(std::vector<uint8_t>(file.begin(), file.begin() + 80), 48000, 24, 2, uint64_t(frames));
    EXPECT_EQ(0, std::memcmp(file.data() + 80, bytes.data(), bytes.size()));

    TrackHeaders h;
    testing::internal::CaptureStdout();
    ASSERT_EQ(GET_ATTRIBUTES(1, path, h), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(h.channels[1], 2);
    EXPECT_EQ(h.rate[1], 48000u);
    EXPECT_EQ(h.bitsPerSample[1], 24);
    EXPECT_EQ(h.dataOffset[1], 80);
    EXPECT_EQ(h.length[1], frames);
    EXPECT_EQ(DecodePcm24(reinterpret_cast<const uint8_t*>(file.data()) + 80 + 6 * 1000), l[1000]);

    if (testsupport::HaveTool("sox")) {
        auto info = testsupport::RunProgram("sox", {"--i", path}, dir.path());
        EXPECT_NE(info.output.find("48000"), std::string::npos) << info.output;
        EXPECT_NE(info.output.find("144000 samples"), std::string::npos) << info.output;
    }
    if (testsupport::HaveTool("ffprobe")) {
        auto info = testsupport::RunProgram(
            "ffprobe", {"-v", "error", "-show_entries", "stream=sample_rate,channels,duration_ts",
                        "-of", "default=nw=1", path},
            dir.path());
        EXPECT_EQ(info.output, "sample_rate=48000\nchannels=2\nduration_ts=144000\n");
    }
}

TEST(LongMixFile, Rf64TrackSizesComeFromDs64) {
    struct Case {
        uint64_t ds64Data;  // data size in the ds64 chunk
        int64_t frames;     // expected length; the file holds 10 frames of 24-bit stereo
    };
    const Case cases[] = {
        {60, 10},
        {36, 6},                  // fewer declared than present
        {5000000000ull, 10},      // past 4 GiB declared, cut to what is present
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string fmt = "fmt " + LeText(16, 4) + LeText(1, 2) + LeText(2, 2) +
                                LeText(44100, 4) + LeText(44100 * 6, 4) + LeText(6, 2) + LeText(24, 2);
        const std::string ds64 = "ds64" + LeText(28, 4) + LeText(c.ds64Data + 72, 8) +
                                 LeText(c.ds64Data, 8) + LeText(c.ds64Data / 6, 8) + LeText(0, 4);
        const std::string file = "RF64" + LeText(0xFFFFFFFF, 4) + "WAVE" + ds64 + fmt + "data" +
                                 LeText(0xFFFFFFFF, 4) + std::string(60, '\x01');
        WriteFile(dir.file("t.wav"), file);
        TrackHeaders h;
        ASSERT_EQ(GET_ATTRIBUTES(3, dir.file("t.wav"), h), 1);
        EXPECT_EQ(h.length[3], c.frames) << c.ds64Data;
        EXPECT_EQ(h.dataOffset[3], 80);
    }
}
