#include "mixer/utilities/wav_writer.hpp"

#include <cstring>

namespace varnel {

namespace {

constexpr int kWavHeaderSizeAfterRiff = 36;  // header bytes counted by the RIFF size

void Put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put24(uint8_t* p, uint32_t v) {
    Put16(p, v);
    p[2] = uint8_t(v >> 16);
}
void Put32(uint8_t* p, uint32_t v) {
    Put24(p, v);
    p[3] = uint8_t(v >> 24);
}

}  // namespace

std::array<uint8_t, kWavHeaderBytes> MAKE_HEADER(uint32_t sampleRate, int bits, int channels,
                                                 int64_t frames) {
    std::array<uint8_t, kWavHeaderBytes> h{};
    uint32_t dataSize = uint32_t(uint64_t(bits / 8) * uint64_t(frames) * uint64_t(channels));
    std::memcpy(&h[0], "RIFF", 4);
    Put32(&h[4], dataSize + kWavHeaderSizeAfterRiff);
    std::memcpy(&h[8], "WAVEfmt ", 8);
    Put32(&h[16], 16);
    Put16(&h[20], 1);
    Put16(&h[22], uint32_t(channels));
    Put32(&h[24], sampleRate);
    Put32(&h[28], sampleRate * uint32_t(bits / 8) * uint32_t(channels));
    Put16(&h[32], uint32_t(bits * channels / 8));
    Put16(&h[34], uint32_t(bits));
    std::memcpy(&h[36], "data", 4);
    Put32(&h[40], dataSize);
    return h;
}

bool WavDataFits(int bits, int channels, int64_t frames) {
    if (bits < 8 || channels < 1 || frames < 0) return false;
    const uint64_t limit = 0xFFFFFFFFull - kWavHeaderSizeAfterRiff;
    uint64_t frameBytes = uint64_t(bits / 8) * uint64_t(channels);
    return uint64_t(frames) <= limit / frameBytes;
}

void NUM16STER_TO_CHAR(const int32_t* left, const int32_t* right, uint8_t* bytes, int n) {
    for (int i = 0; i < n; ++i, bytes += 4) {
        Put16(bytes, uint32_t(left[i]));
        Put16(bytes + 2, uint32_t(right[i]));
    }
}

void NUM24STER_TO_CHAR(const int32_t* left, const int32_t* right, uint8_t* bytes, int n) {
    for (int i = 0; i < n; ++i, bytes += 6) {
        Put24(bytes, uint32_t(left[i]));
        Put24(bytes + 3, uint32_t(right[i]));
    }
}

void NUM16MONO_TO_CHAR(const int32_t* samples, uint8_t* bytes, int n) {
    for (int i = 0; i < n; ++i) Put16(bytes + 2 * i, uint32_t(samples[i]));
}

void NUM24MONO_TO_CHAR(const int32_t* samples, uint8_t* bytes, int n) {
    for (int i = 0; i < n; ++i) Put24(bytes + 3 * i, uint32_t(samples[i]));
}

}  // namespace varnel
