#include "mixer/utilities/wav/wav_reader.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "mixer/utilities/text/numbers.hpp"
#include "mixer/utilities/wav/track_open.hpp"

namespace varnel {

namespace {

// Reads `count` bytes at `pos`; false when the file holds fewer.
bool ReadAt(std::FILE* f, int64_t pos, uint8_t* out, size_t count) {
    if (std::fseek(f, long(pos), SEEK_SET) != 0) return false;
    return std::fread(out, 1, count, f) == count;
}

std::string Formatted(const char* format, const std::string& path, long a = 0, long b = 0) {
    char text[512];
    std::snprintf(text, sizeof text, format, path.c_str(), a, b);
    return text;
}

}  // namespace

std::string WavRefusalText(const WavParse& parse, const std::string& path) {
    const WavHeader& h = parse.header;
    switch (parse.refusal) {
    case WavRefusal::kNone: return "";
    case WavRefusal::kNoFormatChunk: return "Can't find format chunk in wave file!\n";
    case WavRefusal::kNotFloat: return "\n" + path + " is not a 32 bit floating point format\n";
    case WavRefusal::kSampleWidth:
        return path + " is not a 32 float, 24 bit pcm, or 16 bit pcm file and cannot be used\n";
    case WavRefusal::kChannelCount:
        return Formatted("%s has %ld channels: only mono and stereo files can be used\n", path,
                         h.channels);
    case WavRefusal::kSampleRate:
        return Formatted("%s has a sample rate of %ld Hz: only rates from 1 to %ld Hz can be used\n",
                         path, long(h.rate), long(kMaxSampleRate));
    case WavRefusal::kNoDataChunk: return "Cannot find data block in file " + path + "!\n";
    }
    return "";
}

void StoreWavHeader(const WavParse& parse, int channel, TrackHeaders& h) {
    const WavRefusal r = parse.refusal;
    const WavHeader& w = parse.header;
    if (r == WavRefusal::kNoFormatChunk) return;
    h.channels[channel] = w.channels;
    h.bitsPerSample[channel] = w.bitsPerSample;
    if (r != WavRefusal::kNone && r != WavRefusal::kSampleRate && r != WavRefusal::kNoDataChunk)
        return;
    h.bytesPerSample[channel] = w.bytesPerSample;
    h.rate[channel] = w.rate;
    if (r != WavRefusal::kNone) return;
    h.dataOffset[channel] = w.dataOffset;
    h.length[channel] = w.length;
}

int GET_ATTRIBUTES(int channel, const std::string& path, TrackHeaders& h, std::string* why) {
    std::FILE* f = OpenTrackFile(path, why);
    if (!f) return 0;
    int64_t fileSize = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) fileSize = std::ftell(f);

    const auto read = [f](int64_t pos, uint8_t* out, size_t count) {
        return ReadAt(f, pos, out, count);
    };
    const WavParse parse = ParseWavHeader(WavBytes{fileSize, read});
    std::fclose(f);
    StoreWavHeader(parse, channel, h);
    if (parse.refusal == WavRefusal::kNone) return 1;
    const std::string message = WavRefusalText(parse, path);
    if (why)
        *why = message;
    else
        std::fputs(message.c_str(), stdout);
    return 0;
}

int32_t Float32Convert(int b0, int b1, int b2, int b3) {
    uint32_t bits = uint32_t(b0 & 0xFF) | uint32_t(b1 & 0xFF) << 8 | uint32_t(b2 & 0xFF) << 16 |
                    uint32_t(b3 & 0xFF) << 24;
    uint32_t mantissa = bits & 0x7FFFFFu;
    int exponent = int((bits >> 23) & 0xFFu);
    if (exponent == 0xFF && mantissa != 0) return 0;  // NaN
    // (2 + mantissa / 2^22) x 2^(E - 105): every step is exact in double, so
    // this is the sample times 2^23 for every normal float.
    double value = std::ldexp(2.0 + double(mantissa) / 4194304.0, exponent - 105);
    if (bits & 0x80000000u) value = -value;
    return TruncToInt32(value);
}

}  // namespace varnel
