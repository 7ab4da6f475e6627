#include "mixer/utilities/wav_reader.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "mixer/utilities/numbers.hpp"
#include "mixer/utilities/track_open.hpp"

namespace varnel {

namespace {

constexpr int kFormatFloat = 3;
constexpr int kFormatExtensible = 0xFFFE;

// Sub-format of an extensible header that holds IEEE floats, as stored on disk.
constexpr uint8_t kFloatSubFormat[16] = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                         0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint32_t Field16(const uint8_t* p) { return uint32_t(p[0]) + 256u * uint32_t(p[1]); }
uint32_t Field32(const uint8_t* p) {
    return uint32_t(p[0]) + 256u * uint32_t(p[1]) + 65536u * uint32_t(p[2]) +
           16777216u * uint32_t(p[3]);
}

// Reads `count` bytes at `pos`; false when the file holds fewer.
bool ReadAt(std::FILE* f, int64_t pos, uint8_t* out, size_t count) {
    if (std::fseek(f, long(pos), SEEK_SET) != 0) return false;
    return std::fread(out, 1, count, f) == count;
}

uint64_t Field64(const uint8_t* p) { return uint64_t(Field32(p)) | uint64_t(Field32(p + 4)) << 32; }

struct ChunkPlaces {
    int64_t format = -1;      // position of the "fmt " identifier
    uint32_t formatSize = 0;
    int64_t data = -1;        // position of the "data" identifier
    uint64_t dataSize = 0;
};

// In an RF64 file a 32-bit size of 0xFFFFFFFF means "see the ds64 chunk".
constexpr uint32_t kSizeInDs64 = 0xFFFFFFFFu;

// The 64-bit data size of an RF64 file: its "ds64" chunk comes first after
// "WAVE" and holds the RIFF size, then the data size. -1 when absent.
int64_t Ds64DataSize(std::FILE* f, int64_t fileSize) {
    uint8_t ds64[24];
    if (fileSize < 36 || !ReadAt(f, 12, ds64, 24) || std::memcmp(ds64, "ds64", 4) != 0 ||
        Field32(ds64 + 4) < 16)
        return -1;
    uint64_t size = Field64(ds64 + 16);
    return size > uint64_t(INT64_MAX) ? INT64_MAX : int64_t(size);
}

// Walks the RIFF chunk list from the first chunk. A chunk whose declared
// size runs past the end of the file ends the walk: nothing after it can be
// trusted. A "data" chunk is still taken in that case (an interrupted
// recording), the length rule cuts it to what is present.
// `ds64DataSize` (RF64 only, else -1) replaces a data size of 0xFFFFFFFF.
ChunkPlaces WalkChunks(std::FILE* f, int64_t fileSize, int64_t ds64DataSize) {
    ChunkPlaces places;
    int64_t pos = 12;
    uint8_t head[8];
    while (pos + 8 <= fileSize && ReadAt(f, pos, head, 8)) {
        uint32_t size = Field32(head + 4);
        int64_t next = pos + 8 + int64_t(size) + int64_t(size & 1u);
        if (places.data < 0 && std::memcmp(head, "data", 4) == 0) {
            places.data = pos;
            places.dataSize = size == kSizeInDs64 && ds64DataSize >= 0 ? uint64_t(ds64DataSize) : size;
        } else if (next > fileSize) {
            break;
        } else if (places.format < 0 && std::memcmp(head, "fmt ", 4) == 0) {
            places.format = pos;
            places.formatSize = size;
        }
        if (places.format >= 0 && places.data >= 0) break;
        pos = next;
    }
    return places;
}

// The 32-bit formats: plain IEEE float, or the extensible header naming it.
bool IsFloatFormat(std::FILE* f, const ChunkPlaces& c, uint32_t tag) {
    if (tag == kFormatFloat) return true;
    if (tag != kFormatExtensible || c.formatSize < 40) return false;
    uint8_t guid[16];
    return ReadAt(f, c.format + 8 + 24, guid, 16) &&
           std::memcmp(guid, kFloatSubFormat, 16) == 0;
}

// The reason a file cannot be mixed goes to `why`, or to standard output.
int Refuse(std::string* why, const std::string& message) {
    if (why)
        *why = message;
    else
        std::fputs(message.c_str(), stdout);
    return 0;
}

int Reject(std::FILE* f, std::string* why, const std::string& message) {
    std::fclose(f);
    return Refuse(why, message);
}

std::string Formatted(const char* format, const std::string& path, long a = 0, long b = 0) {
    char text[512];
    std::snprintf(text, sizeof text, format, path.c_str(), a, b);
    return text;
}

}  // namespace

int GET_ATTRIBUTES(int channel, const std::string& path, TrackHeaders& h, std::string* why) {
    std::FILE* f = OpenTrackFile(path, why);
    if (!f) return 0;
    int64_t fileSize = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) fileSize = std::ftell(f);

    uint8_t riff[12];
    ChunkPlaces c;
    if (fileSize >= 12 && ReadAt(f, 0, riff, 12) && std::memcmp(riff + 8, "WAVE", 4) == 0) {
        if (std::memcmp(riff, "RIFF", 4) == 0)
            c = WalkChunks(f, fileSize, -1);
        else if (std::memcmp(riff, "RF64", 4) == 0)
            c = WalkChunks(f, fileSize, Ds64DataSize(f, fileSize));
    }
    uint8_t fmt[16];
    if (c.format < 0 || c.formatSize < 16 || !ReadAt(f, c.format + 8, fmt, 16))
        return Reject(f, why, "Can't find format chunk in wave file!\n");

    uint32_t tag = Field16(fmt);
    int channels = int(Field16(fmt + 2));
    int bits = int(Field16(fmt + 14));
    h.channels[channel] = channels;
    h.bitsPerSample[channel] = bits;
    if (bits == 32 && !IsFloatFormat(f, c, tag))
        return Reject(f, why, "\n" + path + " is not a 32 bit floating point format\n");
    if (bits != 16 && bits != 24 && bits != 32)
        return Reject(f, why,
                      path + " is not a 32 float, 24 bit pcm, or 16 bit pcm file and cannot be used\n");
    if (channels < 1 || channels > 2)
        return Reject(f, why,
                      Formatted("%s has %ld channels: only mono and stereo files can be used\n", path,
                                channels));
    h.bytesPerSample[channel] = bits / 8;

    uint32_t rate = Field32(fmt + 4);
    h.rate[channel] = rate;
    if (rate == 0 || rate > kMaxSampleRate)
        return Reject(f, why,
                      Formatted("%s has a sample rate of %ld Hz: only rates from 1 to %ld Hz can be "
                                "used\n",
                                path, long(rate), long(kMaxSampleRate)));

    if (c.data < 0) return Reject(f, why, "Cannot find data block in file " + path + "!\n");
    h.dataOffset[channel] = c.data + 8;

    int64_t frameBytes = int64_t(h.bytesPerSample[channel]) * channels;
    int64_t declared = int64_t(c.dataSize / uint64_t(frameBytes));
    int64_t available = (fileSize - h.dataOffset[channel]) / frameBytes;
    h.length[channel] = declared < available ? declared : available;
    std::fclose(f);
    return 1;
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
