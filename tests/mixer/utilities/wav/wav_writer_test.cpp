#include "mixer/utilities/wav/wav_writer.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace varnel;

namespace {

uint32_t At32(const std::array<uint8_t, kWavHeaderBytes>& h, int i) {
    return uint32_t(h[i]) | uint32_t(h[i + 1]) << 8 | uint32_t(h[i + 2]) << 16 |
           uint32_t(h[i + 3]) << 24;
}
uint32_t At16(const std::array<uint8_t, kWavHeaderBytes>& h, int i) {
    return uint32_t(h[i]) | uint32_t(h[i + 1]) << 8;
}
std::string Text(const std::array<uint8_t, kWavHeaderBytes>& h, int i, int n) {
    return std::string(reinterpret_cast<const char*>(h.data()) + i, n);
}

}  // namespace

TEST(WavHeader, FieldsOfExampleFiles) {
    struct Case {
        uint32_t rate;
        int bits, channels;
        int64_t frames;
        uint32_t dataSize, riffSize, byteRate, blockAlign;
    };
    const Case cases[] = {
        {44100, 24, 2, 441000, 2646000, 2646036, 264600, 6},  // 10 s
        {48000, 16, 1, 100, 200, 236, 96000, 2},
        {44100, 16, 2, 0, 0, 36, 176400, 4},
        {96000, 24, 1, 3, 9, 45, 288000, 3},
        // Beyond 2^31 bytes the sizes are still the true unsigned values.
        {44100, 24, 2, 400000000, 2400000000u, 2400000036u, 264600, 6},
    };
    for (const Case& c : cases) {
        auto h = MAKE_HEADER(c.rate, c.bits, c.channels, c.frames);
        EXPECT_EQ(Text(h, 0, 4), "RIFF");
        EXPECT_EQ(At32(h, 4), c.riffSize);
        EXPECT_EQ(Text(h, 8, 8), "WAVEfmt ");
        EXPECT_EQ(At32(h, 16), 16u);
        EXPECT_EQ(At16(h, 20), 1u);
        EXPECT_EQ(At16(h, 22), uint32_t(c.channels));
        EXPECT_EQ(At32(h, 24), c.rate);
        EXPECT_EQ(At32(h, 28), c.byteRate);
        EXPECT_EQ(At16(h, 32), c.blockAlign);
        EXPECT_EQ(At16(h, 34), uint32_t(c.bits));
        EXPECT_EQ(Text(h, 36, 4), "data");
        EXPECT_EQ(At32(h, 40), c.dataSize);
    }
}

TEST(WavHeader, DataFitsThirtyTwoBits) {
    // 24-bit stereo: 6 bytes a frame, data + 36 must stay within 4294967295.
    const int64_t maxFrames = (4294967295LL - 36) / 6;
    EXPECT_TRUE(WavDataFits(24, 2, maxFrames));
    EXPECT_FALSE(WavDataFits(24, 2, maxFrames + 1));
    EXPECT_TRUE(WavDataFits(16, 1, (4294967295LL - 36) / 2));
    EXPECT_FALSE(WavDataFits(16, 1, (4294967295LL - 36) / 2 + 1));
    EXPECT_TRUE(WavDataFits(16, 2, 0));
    EXPECT_FALSE(WavDataFits(16, 2, -1));
    EXPECT_FALSE(WavDataFits(24, 2, INT64_MAX));
    EXPECT_FALSE(WavDataFits(0, 2, 10));
    EXPECT_FALSE(WavDataFits(16, 0, 10));
}

TEST(SampleEncoding, SixteenBitExamples) {
    std::vector<int32_t> v = {0, 1, -1, -256, 32767, -32768, 65536 + 5};
    std::vector<uint8_t> bytes(2 * v.size());
    NUM16MONO_TO_CHAR(v.data(), bytes.data(), int(v.size()));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x00, 0x00, 0x01, 0x00, 0xFF, 0xFF, 0x00, 0xFF,
                                           0xFF, 0x7F, 0x00, 0x80, 0x05, 0x00}));
    std::vector<int32_t> l = {1, -32768}, r = {-1, 32767};
    std::vector<uint8_t> st(8);
    NUM16STER_TO_CHAR(l.data(), r.data(), st.data(), 2);
    EXPECT_EQ(st, (std::vector<uint8_t>{0x01, 0x00, 0xFF, 0xFF, 0x00, 0x80, 0xFF, 0x7F}));
}

TEST(SampleEncoding, TwentyFourBitExamples) {
    std::vector<int32_t> v = {8388607, -8388608, -1, 8388608, 0x123456};
    std::vector<uint8_t> bytes(3 * v.size());
    NUM24MONO_TO_CHAR(v.data(), bytes.data(), int(v.size()));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF,
                                           0x00, 0x00, 0x80, 0x56, 0x34, 0x12}));
    std::vector<int32_t> l = {8388607, -2}, r = {-8388608, 256};
    std::vector<uint8_t> st(12);
    NUM24STER_TO_CHAR(l.data(), r.data(), st.data(), 2);
    EXPECT_EQ(st, (std::vector<uint8_t>{0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80, 0xFE, 0xFF, 0xFF,
                                        0x00, 0x01, 0x00}));
}

TEST(SampleEncoding, CountBelowOneWritesNothing) {
    int32_t v[1] = {7};
    uint8_t bytes[6] = {9, 9, 9, 9, 9, 9};
    NUM16MONO_TO_CHAR(v, bytes, 0);
    NUM24MONO_TO_CHAR(v, bytes, -1);
    NUM16STER_TO_CHAR(v, v, bytes, 0);
    NUM24STER_TO_CHAR(v, v, bytes, -5);
    for (uint8_t b : bytes) EXPECT_EQ(b, 9);
}
