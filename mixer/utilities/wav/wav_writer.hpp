// The canonical 44-byte header of the mixer's output files and the encoders
// that turn integer samples at the output width into little-endian bytes.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace varnel {

constexpr int kWavHeaderBytes = 44;

// The header bytes of an integer PCM file declaring `frames` frames. The
// data and RIFF sizes are the true values taken as unsigned 32-bit numbers;
// check WavDataFits first.
std::array<uint8_t, kWavHeaderBytes> MAKE_HEADER(uint32_t sampleRate, int bits, int channels,
                                                 int64_t frames);

// True when the data size and the RIFF size of such a file fit 32 bits
// unsigned (and the arguments describe a file at all).
bool WavDataFits(int bits, int channels, int64_t frames);

// The 64-bit form for data past 4 GiB: "RF64" with a "ds64" chunk right
// after "WAVE" that holds the true RIFF and data sizes and the frame count;
// the 32-bit RIFF and data sizes read 0xFFFFFFFF. 80 bytes.
constexpr int kRf64HeaderBytes = 80;
// True when the RF64 sizes (64 bits unsigned) can describe such a file.
bool Rf64DataFits(int bits, int channels, int64_t frames);
std::array<uint8_t, kRf64HeaderBytes> MakeRf64Header(uint32_t sampleRate, int bits, int channels,
                                                     int64_t frames);

// The header an output file gets: the plain 44-byte one whenever the data
// fit it (so such files stay exactly as before), otherwise the RF64 one.
// `forceRf64` writes RF64 whatever the length (used by tests).
std::vector<uint8_t> OutputWavHeader(uint32_t sampleRate, int bits, int channels, int64_t frames,
                                     bool forceRf64 = false);

// Encoders: each sample keeps its low 16 or 24 bits, stored lowest byte
// first; a stereo frame is left then right. n below 1 writes nothing.
void NUM16STER_TO_CHAR(const int32_t* left, const int32_t* right, uint8_t* bytes, int n);
void NUM24STER_TO_CHAR(const int32_t* left, const int32_t* right, uint8_t* bytes, int n);
void NUM16MONO_TO_CHAR(const int32_t* samples, uint8_t* bytes, int n);
void NUM24MONO_TO_CHAR(const int32_t* samples, uint8_t* bytes, int n);

}  // namespace varnel
