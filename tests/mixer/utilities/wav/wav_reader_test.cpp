#include "mixer/utilities/wav/wav_reader.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <span>

#include "support/test_support.hpp"

using namespace varnel;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

std::string Le(uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += char((v >> (8 * i)) & 0xFF);
    return s;
}

// A chunk with its pad byte when the size is odd; `declared` overrides the size field.
std::string Chunk(const std::string& id, const std::string& payload, int64_t declared = -1) {
    uint32_t size = declared < 0 ? uint32_t(payload.size()) : uint32_t(declared);
    std::string c = id + Le(size, 4) + payload;
    if (payload.size() % 2) c += '\0';
    return c;
}

std::string Fmt(int tag, int channels, uint32_t rate, int bits) {
    return Chunk("fmt ", Le(tag, 2) + Le(channels, 2) + Le(rate, 4) +
                             Le(rate * channels * bits / 8, 4) + Le(channels * bits / 8, 2) +
                             Le(bits, 2));
}

const char kFloatGuid[] = "\x03\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71";
const char kPcmGuid[] = "\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71";

std::string FmtExtensible(int channels, uint32_t rate, int bits, const char* guid) {
    return Chunk("fmt ", Le(0xFFFE, 2) + Le(channels, 2) + Le(rate, 4) +
                             Le(rate * channels * bits / 8, 4) + Le(channels * bits / 8, 2) +
                             Le(bits, 2) + Le(22, 2) + Le(bits, 2) + Le(3, 4) +
                             std::string(guid, 16));
}

std::string Riff(const std::string& chunks) {
    return "RIFF" + Le(uint32_t(chunks.size() + 4), 4) + "WAVE" + chunks;
}

struct Read {
    int usable;
    std::string output;
};

Read ReadHeader(const std::string& path, TrackHeaders& h, int channel = 1) {
    testing::internal::CaptureStdout();
    int r = GET_ATTRIBUTES(channel, path, h);
    return {r, testing::internal::GetCapturedStdout()};
}

float FloatOf(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

int32_t ConvertBits(uint32_t u) {
    return Float32Convert(int(u & 0xFF), int(u >> 8 & 0xFF), int(u >> 16 & 0xFF), int(u >> 24));
}

}  // namespace

TEST(WavReader, ReadsEveryPlainFormat) {
    TempDir dir;
    struct Case { int channels, bits; bool isFloat; };
    const Case cases[] = {{1, 16, false}, {2, 16, false}, {1, 24, false},
                          {2, 24, false}, {1, 32, true},  {2, 32, true}};
    int ch = 1;
    for (const Case& c : cases) {
        std::string name = std::to_string(ch);
        name += ".wav";
        std::string path = dir.file(name);
        if (c.isFloat)
            testsupport::WriteWavFloat(path, 48000, c.channels, std::vector<float>(10 * c.channels));
        else
            testsupport::WriteWavPcm(path, 48000, c.channels, c.bits,
                                     std::vector<int32_t>(10 * c.channels));
        TrackHeaders h;
        Read r = ReadHeader(path, h, ch);
        EXPECT_EQ(r.usable, 1) << path;
        EXPECT_EQ(r.output, "");
        EXPECT_EQ(h.channels[ch], c.channels);
        EXPECT_EQ(h.dataOffset[ch], 44);
        EXPECT_EQ(h.rate[ch], 48000u);
        EXPECT_EQ(h.length[ch], 10);
        EXPECT_EQ(h.bytesPerSample[ch], c.bits / 8);
        EXPECT_EQ(h.bitsPerSample[ch], c.bits);
        ++ch;
    }
}

TEST(WavReader, WalksPastOtherChunksWithPadBytes) {
    TempDir dir;
    std::string path = dir.file("list.wav");
    // An odd-sized list chunk carries a pad byte: data id at 12+24+8+5+1 = 50.
    WriteFile(path, Riff(Fmt(1, 2, 44100, 24) + Chunk("LIST", "INFOx") +
                         Chunk("data", std::string(6 * 7, '\0'))));
    TrackHeaders h;
    EXPECT_EQ(ReadHeader(path, h).usable, 1);
    EXPECT_EQ(h.dataOffset[1], 58);
    EXPECT_EQ(h.length[1], 7);
}

TEST(WavReader, DataChunkBeyond128KiBIsRead) {
    TempDir dir;
    std::string path = dir.file("far.wav");
    WriteFile(path, Riff(Fmt(1, 1, 44100, 16) + Chunk("LIST", std::string(140000, 'x')) +
                         Chunk("data", std::string(2 * 5, '\0'))));
    TrackHeaders h;
    EXPECT_EQ(ReadHeader(path, h).usable, 1);
    EXPECT_EQ(h.dataOffset[1], 12 + 24 + 8 + 140000 + 8);
    EXPECT_EQ(h.length[1], 5);
}

TEST(WavReader, InterruptedRecordingKeepsWholeFramesPresent) {
    TempDir dir;
    std::string path = dir.file("cut.wav");
    // Declares a million bytes; 10 stereo 24-bit frames and half a frame are present.
    WriteFile(path, Riff(Fmt(1, 2, 44100, 24) + Chunk("data", std::string(63, '\0'), 1000000)));
    TrackHeaders h;
    EXPECT_EQ(ReadHeader(path, h).usable, 1);
    EXPECT_EQ(h.length[1], 10);
    // A declared size smaller than the file wins.
    WriteFile(path, Riff(Fmt(1, 1, 44100, 16) + Chunk("data", std::string(20, '\0'), 8)));
    EXPECT_EQ(ReadHeader(path, h).usable, 1);
    EXPECT_EQ(h.length[1], 4);
}

TEST(WavReader, ExtensibleFormats) {
    TempDir dir;
    std::string path = dir.file("ext.wav");
    TrackHeaders h;
    WriteFile(path, Riff(FmtExtensible(2, 96000, 32, kFloatGuid) +
                         Chunk("data", std::string(8 * 3, '\0'))));
    EXPECT_EQ(ReadHeader(path, h).usable, 1);
    EXPECT_EQ(h.bytesPerSample[1], 4);
    EXPECT_EQ(h.length[1], 3);
    EXPECT_EQ(h.dataOffset[1], 12 + 48 + 8);

    WriteFile(path, Riff(FmtExtensible(2, 96000, 24, kPcmGuid) +
                         Chunk("data", std::string(6 * 3, '\0'))));
    EXPECT_EQ(ReadHeader(path, h).usable, 1);
    EXPECT_EQ(h.bitsPerSample[1], 24);

    WriteFile(path, Riff(FmtExtensible(2, 96000, 32, kPcmGuid) +
                         Chunk("data", std::string(8 * 3, '\0'))));
    Read r = ReadHeader(path, h);
    EXPECT_EQ(r.usable, 0);
    EXPECT_EQ(r.output, "\n" + path + " is not a 32 bit floating point format\n");
}

TEST(WavReader, RejectionMessages) {
    TempDir dir;
    std::string p = dir.file("bad.wav");
    const std::string data = Chunk("data", std::string(24, '\0'));
    struct Case { std::string bytes, message; };
    const Case cases[] = {
        {Riff(Fmt(1, 2, 44100, 32) + data), "\n" + p + " is not a 32 bit floating point format\n"},
        {Riff(Fmt(1, 1, 44100, 8) + data),
         p + " is not a 32 float, 24 bit pcm, or 16 bit pcm file and cannot be used\n"},
        {Riff(Chunk("LIST", "abcd") + data), "Can't find format chunk in wave file!\n"},
        {"RIFX" + Riff(Fmt(1, 1, 44100, 16) + data).substr(4),
         "Can't find format chunk in wave file!\n"},
        {"plain text, not a wave file at all", "Can't find format chunk in wave file!\n"},
        {Riff(Fmt(1, 1, 44100, 16) + Chunk("LIST", "abcd")),
         "Cannot find data block in file " + p + "!\n"},
        // A chunk running past the end of the file ends the walk.
        {Riff(Fmt(1, 1, 44100, 16) + Chunk("LIST", "abcd", 900) + data),
         "Cannot find data block in file " + p + "!\n"},
        {Riff(Fmt(1, 0, 44100, 16) + data),
         p + " has 0 channels: only mono and stereo files can be used\n"},
        {Riff(Fmt(1, 3, 44100, 16) + data),
         p + " has 3 channels: only mono and stereo files can be used\n"},
        {Riff(Fmt(1, 2, 0, 16) + data),
         p + " has a sample rate of 0 Hz: only rates from 1 to 384000 Hz can be used\n"},
        {Riff(Fmt(1, 2, 384001, 16) + data),
         p + " has a sample rate of 384001 Hz: only rates from 1 to 384000 Hz can be used\n"},
    };
    for (const Case& c : cases) {
        WriteFile(p, c.bytes);
        TrackHeaders h;
        Read r = ReadHeader(p, h);
        EXPECT_EQ(r.usable, 0) << c.message;
        EXPECT_EQ(r.output, c.message);
    }
    TrackHeaders h;
    Read r = ReadHeader(dir.file("absent.wav"), h);
    EXPECT_EQ(r.usable, 0);
    EXPECT_EQ(r.output, "Cannot find file in track list called " + dir.file("absent.wav") + "!!\n");
    // The highest accepted rate.
    WriteFile(p, Riff(Fmt(1, 2, 384000, 16) + data));
    EXPECT_EQ(ReadHeader(p, h).usable, 1);
}

TEST(SampleDecoding, PcmExamples) {
    const uint8_t s16min[] = {0x00, 0x80}, s16max[] = {0xFF, 0x7F}, s16m1[] = {0xFF, 0xFF};
    EXPECT_EQ(DecodePcm16(s16min), -8388608);
    EXPECT_EQ(DecodePcm16(s16max), 8388352);
    EXPECT_EQ(DecodePcm16(s16m1), -256);
    const uint8_t s24max[] = {0xFF, 0xFF, 0x7F}, s24min[] = {0x00, 0x00, 0x80};
    const uint8_t s24m1[] = {0xFF, 0xFF, 0xFF}, s24x[] = {0x56, 0x34, 0x12};
    EXPECT_EQ(DecodePcm24(s24max), 8388607);
    EXPECT_EQ(DecodePcm24(s24min), -8388608);
    EXPECT_EQ(DecodePcm24(s24m1), -1);
    EXPECT_EQ(DecodePcm24(s24x), 0x123456);
    const uint8_t one[] = {0x00, 0x00, 0x80, 0x3F}, negZero[] = {0x00, 0x00, 0x00, 0x80};
    EXPECT_EQ(DecodeFloat32(one), 8388608);
    EXPECT_EQ(DecodeFloat32(negZero), 0);
}

TEST(SampleDecoding, FloatExamplesAndClamps) {
    struct Case { float x; int32_t expected; };
    const Case cases[] = {
        {1.0f, 8388608},     {-0.5f, -4194304},        {0.1f, 838860},
        {-0.1f, -838860},    {0.0f, 0},                {1e-40f, 0},  // subnormal
        {255.99998f, int32_t(255.99998f * 8388608.0)}, {256.0f, INT32_MAX},
        {-256.0f, INT32_MIN}, {1e30f, INT32_MAX},      {-1e30f, INT32_MIN},
        {INFINITY, INT32_MAX}, {-INFINITY, INT32_MIN}, {NAN, 0},
    };
    for (const Case& c : cases) {
        uint32_t u;
        std::memcpy(&u, &c.x, 4);
        EXPECT_EQ(ConvertBits(u), c.expected) << c.x;
    }
    EXPECT_EQ(ConvertBits(0xFFC00001u), 0);  // negative NaN
    // Only the low 8 bits of each argument count; signed byte values work too.
    EXPECT_EQ(Float32Convert(0x100, 0, 0x180, 0x3F), 8388608);
    EXPECT_EQ(Float32Convert(0, 0, -128, 0x3F), 8388608);
    EXPECT_EQ(Float32Convert(0, 0, 0, -65), ConvertBits(0xBF000000u));
}

TEST(SampleDecoding, FloatMatchesTheWeightFormula) {
    // (2 + mantissa / 2^22) x 2^(E - 105) x sign, truncated, over a spread of
    // patterns whose value fits 32 bits.
    for (uint32_t e = 1; e < 135; ++e)
        for (uint32_t m : {0u, 1u, 0x2AAAAAu, 0x400000u, 0x7FFFFFu, 0x123457u})
            for (uint32_t sign : {0u, 1u}) {
                uint32_t u = sign << 31 | e << 23 | m;
                double expect = std::pow(2.0, double(e) - 105.0) * (2.0 + m / 4194304.0) *
                                (sign ? -1.0 : 1.0);
                ASSERT_EQ(ConvertBits(u), int32_t(std::trunc(expect))) << std::hex << u;
                ASSERT_EQ(ConvertBits(u), int32_t(double(FloatOf(u)) * 8388608.0));
            }
}

TEST(WavHeaderParser, AgreesWithTheFileReaderAndReadsNoSample) {
    const std::string data = Chunk("data", std::string(6 * 50, '\x11'));
    struct Case { std::string bytes; WavRefusal refusal; };
    const Case cases[] = {
        {Riff(Fmt(1, 2, 44100, 24) + Chunk("LIST", "INFOx") + data), WavRefusal::kNone},
        {Riff(data + Fmt(1, 1, 48000, 16)), WavRefusal::kNone},   // data first
        {Riff(FmtExtensible(1, 96000, 32, kFloatGuid) + data), WavRefusal::kNone},
        {Riff(Chunk("LIST", "abcd") + data), WavRefusal::kNoFormatChunk},
        {Riff(FmtExtensible(2, 96000, 32, kPcmGuid) + data), WavRefusal::kNotFloat},
        {Riff(Fmt(1, 1, 44100, 8) + data), WavRefusal::kSampleWidth},
        {Riff(Fmt(1, 3, 44100, 16) + data), WavRefusal::kChannelCount},
        {Riff(Fmt(1, 2, 384001, 16) + data), WavRefusal::kSampleRate},
        {Riff(Fmt(1, 1, 44100, 16)), WavRefusal::kNoDataChunk},
    };
    TempDir dir;
    const std::string path = dir.file("t.wav");
    for (const Case& c : cases) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(c.bytes.data());
        const WavParse parse = ParseWavHeader(std::span<const uint8_t>(bytes, c.bytes.size()));
        EXPECT_EQ(parse.refusal, c.refusal) << int(c.refusal);
        // Never a byte of the samples: only chunk heads and format fields.
        const size_t samples = c.bytes.find(std::string(6, '\x11'));
        const WavBytes counted{int64_t(c.bytes.size()), [&](int64_t pos, uint8_t* out, size_t n) {
                                   EXPECT_TRUE(size_t(pos) + n <= samples || size_t(pos) >= samples + 300);
                                   if (size_t(pos) + n > c.bytes.size()) return false;
                                   std::memcpy(out, bytes + pos, n);
                                   return true;
                               }};
        EXPECT_EQ(ParseWavHeader(counted).refusal, c.refusal);

        WriteFile(path, c.bytes);
        TrackHeaders fromFile, fromParse;
        Read r = ReadHeader(path, fromFile, 2);
        StoreWavHeader(parse, 2, fromParse);
        EXPECT_EQ(r.usable, c.refusal == WavRefusal::kNone ? 1 : 0);
        EXPECT_EQ(r.output, WavRefusalText(parse, path));
        EXPECT_EQ(fromParse.channels, fromFile.channels);
        EXPECT_EQ(fromParse.bitsPerSample, fromFile.bitsPerSample);
        EXPECT_EQ(fromParse.bytesPerSample, fromFile.bytesPerSample);
        EXPECT_EQ(fromParse.rate, fromFile.rate);
        EXPECT_EQ(fromParse.dataOffset, fromFile.dataOffset);
        EXPECT_EQ(fromParse.length, fromFile.length);
        if (c.refusal == WavRefusal::kNone) {
            EXPECT_EQ(parse.header.dataOffset, int64_t(samples));
            EXPECT_EQ(parse.header.length * parse.header.channels * parse.header.bytesPerSample, 300);
        }
    }
}
