#include "mixer/utilities/wav/wav_writer.hpp"

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
void Put64(uint8_t* p, uint64_t v) {
    Put32(p, uint32_t(v));
    Put32(p + 4, uint32_t(v >> 32));
}

// "fmt " chunk of integer PCM: identifier, size 16 and the 16 payload bytes.
void PutFormatChunk(uint8_t* p, uint32_t sampleRate, int bits, int channels) {
    std::memcpy(p, "fmt ", 4);
    Put32(p + 4, 16);
    Put16(p + 8, 1);
    Put16(p + 10, uint32_t(channels));
    Put32(p + 12, sampleRate);
    Put32(p + 16, sampleRate * uint32_t(bits / 8) * uint32_t(channels));
    Put16(p + 20, uint32_t(bits * channels / 8));
    Put16(p + 22, uint32_t(bits));
}

}  // namespace

std::array<uint8_t, kWavHeaderBytes> MAKE_HEADER(uint32_t sampleRate, int bits, int channels,
                                                 int64_t frames) {
    std::array<uint8_t, kWavHeaderBytes> h{};
    uint32_t dataSize = uint32_t(uint64_t(bits / 8) * uint64_t(frames) * uint64_t(channels));
    std::memcpy(&h[0], "RIFF", 4);
    Put32(&h[4], dataSize + kWavHeaderSizeAfterRiff);
    std::memcpy(&h[8], "WAVE", 4);
    PutFormatChunk(&h[12], sampleRate, bits, channels);
    std::memcpy(&h[36], "data", 4);
    Put32(&h[40], dataSize);
    return h;
}

namespace {

// True when frames x frame bytes stays within `limit`.
bool DataWithin(int bits, int channels, int64_t frames, uint64_t limit) {
    if (bits < 8 || channels < 1 || frames < 0) return false;
    uint64_t frameBytes = uint64_t(bits / 8) * uint64_t(channels);
    return uint64_t(frames) <= limit / frameBytes;
}

}  // namespace

bool WavDataFits(int bits, int channels, int64_t frames) {
    return DataWithin(bits, channels, frames, 0xFFFFFFFFull - kWavHeaderSizeAfterRiff);
}

bool Rf64DataFits(int bits, int channels, int64_t frames) {
    return DataWithin(bits, channels, frames, UINT64_MAX - (kRf64HeaderBytes - 8));
}

std::array<uint8_t, kRf64HeaderBytes> MakeRf64Header(uint32_t sampleRate, int bits, int channels,
                                                     int64_t frames) {
    constexpr uint32_t kSizeInDs64 = 0xFFFFFFFFu;
    constexpr uint32_t kDs64PayloadBytes = 28;  // RIFF size, data size, frame count, table length
    std::array<uint8_t, kRf64HeaderBytes> h{};
    const uint64_t dataSize = uint64_t(bits / 8) * uint64_t(frames) * uint64_t(channels);
    std::memcpy(&h[0], "RF64", 4);
    Put32(&h[4], kSizeInDs64);
    std::memcpy(&h[8], "WAVE", 4);
    std::memcpy(&h[12], "ds64", 4);
    Put32(&h[16], kDs64PayloadBytes);
    Put64(&h[20], dataSize + kRf64HeaderBytes - 8);  // the file's size less "RF64" and its size
    Put64(&h[28], dataSize);
    Put64(&h[36], uint64_t(frames));
    Put32(&h[44], 0);  // no table of other chunk sizes
    PutFormatChunk(&h[48], sampleRate, bits, channels);
    std::memcpy(&h[72], "data", 4);
    Put32(&h[76], kSizeInDs64);
    return h;
}

std::vector<uint8_t> OutputWavHeader(uint32_t sampleRate, int bits, int channels, int64_t frames,
                                     bool forceRf64) {
    if (!forceRf64 && WavDataFits(bits, channels, frames)) {
        auto h = MAKE_HEADER(sampleRate, bits, channels, frames);
        return std::vector<uint8_t>(h.begin(), h.end());
    }
    auto h = MakeRf64Header(sampleRate, bits, channels, frames);
    return std::vector<uint8_t>(h.begin(), h.end());
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
