// Reading the header of an input WAV file and decoding its samples onto the
// channel scale, where 8388608 (2^23) is full scale.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "mixer/utilities/limits.hpp"
#include "mixer/utilities/wav/wav_header.hpp"

namespace varnel {

// What the header reader learnt about each channel's file, indexed by
// channel number (entry 0 unused).
struct TrackHeaders {
    std::array<int, kChannelTable> channels{};        // 1 mono, 2 stereo
    std::array<int64_t, kChannelTable> dataOffset{};  // byte position of the first sample
    std::array<uint32_t, kChannelTable> rate{};       // samples per second
    std::array<int64_t, kChannelTable> length{};      // whole frames present
    std::array<int, kChannelTable> bytesPerSample{};  // 2, 3 or 4
    std::array<int, kChannelTable> bitsPerSample{};   // 16, 24 or 32
};

// Reads the header of `path` (ParseWavHeader over the bytes it needs) into
// entry `channel` of `h`. Returns 1 when the file can be mixed, 0 when it
// cannot: the reason (its message, newlines included) goes to `why`, or is
// printed when `why` is nullptr. On 0 some fields may already be written and
// must not be used.
int GET_ATTRIBUTES(int channel, const std::string& path, TrackHeaders& h,
                   std::string* why = nullptr);

// Entry `channel` of `h` from a parse: every field when the file can be
// mixed, else the fields read before the refusal (as GET_ATTRIBUTES leaves
// them).
void StoreWavHeader(const WavParse& parse, int channel, TrackHeaders& h);

// The message of a refusal for the file at `path`, newlines included.
std::string WavRefusalText(const WavParse& parse, const std::string& path);

// One little-endian 32-bit float sample (bytes lowest first; only the low 8
// bits of each argument count) on the channel scale, truncated toward zero.
// Magnitudes of 256.0 and more (infinities included) are clamped to the
// 32-bit range; NaN gives 0.
int32_t Float32Convert(int b0, int b1, int b2, int b3);

// Sample decoders over the bytes of one sample in file order.
inline int32_t DecodePcm16(const uint8_t* p) {
    return 256 * int32_t(p[0]) + 65536 * int32_t(int8_t(p[1]));
}
inline int32_t DecodePcm24(const uint8_t* p) {
    return int32_t(p[0]) + 256 * int32_t(p[1]) + 65536 * int32_t(int8_t(p[2]));
}
inline int32_t DecodeFloat32(const uint8_t* p) {
    return Float32Convert(p[0], p[1], p[2], p[3]);
}

}  // namespace varnel
