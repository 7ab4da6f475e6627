// Parsing the header of a WAV file (RIFF, or RF64 with the sizes of its ds64
// chunk) from the file's bytes: what the samples are and where they start,
// or why the file cannot be mixed. No file access and no messages: the
// caller hands over the bytes and words the reason (GET_ATTRIBUTES).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace varnel {

// Highest sample rate a track may have.
constexpr uint32_t kMaxSampleRate = 384000;

// What a header says about its samples.
struct WavHeader {
    int channels = 0;         // 1 mono, 2 stereo
    int bitsPerSample = 0;    // 16, 24 or 32
    int bytesPerSample = 0;   // 2, 3 or 4
    uint32_t rate = 0;        // samples per second
    int64_t dataOffset = 0;   // byte position of the first sample
    int64_t length = 0;       // whole frames present
};

// Why a file cannot be mixed, in the order the header is checked.
enum class WavRefusal {
    kNone,
    kNoFormatChunk,   // no usable "fmt " chunk (also: not a RIFF or RF64 WAVE file)
    kNotFloat,        // 32 bits a sample, but not IEEE float
    kSampleWidth,     // neither 16, 24 nor 32 bits a sample
    kChannelCount,    // neither mono nor stereo
    kSampleRate,      // 0 or above kMaxSampleRate
    kNoDataChunk,
};

// Where the parser gets the file's bytes: `read` copies `count` bytes from
// byte `pos` on into `out`, or returns false when the file does not hold
// them all; `size` is the file's length. The parser asks only for the few
// bytes it looks at (chunk heads, the format fields), so a file's samples
// are never read.
struct WavBytes {
    int64_t size;
    std::function<bool(int64_t pos, uint8_t* out, size_t count)> read;
};

struct WavParse {
    WavRefusal refusal = WavRefusal::kNone;
    // Complete when the file can be mixed. On a refusal the fields read
    // before it are set: channels and bits from kNotFloat on, bytes per
    // sample and rate from kSampleRate on.
    WavHeader header;
};

WavParse ParseWavHeader(const WavBytes& file);

// The same for a whole file image in memory.
WavParse ParseWavHeader(std::span<const uint8_t> file);

}  // namespace varnel
