#include "mixer/utilities/wav/wav_header.hpp"

#include <cstring>

namespace varnel {

namespace {

constexpr int kFormatFloat = 3;
constexpr int kFormatExtensible = 0xFFFE;

// Sub-format of an extensible header that holds IEEE floats, as stored on disk.
constexpr uint8_t kFloatSubFormat[16] = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                         0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// In an RF64 file a 32-bit size of 0xFFFFFFFF means "see the ds64 chunk".
constexpr uint32_t kSizeInDs64 = 0xFFFFFFFFu;

uint32_t Field16(const uint8_t* p) { return uint32_t(p[0]) + 256u * uint32_t(p[1]); }
uint32_t Field32(const uint8_t* p) {
    return uint32_t(p[0]) + 256u * uint32_t(p[1]) + 65536u * uint32_t(p[2]) +
           16777216u * uint32_t(p[3]);
}
uint64_t Field64(const uint8_t* p) { return uint64_t(Field32(p)) | uint64_t(Field32(p + 4)) << 32; }

struct ChunkPlaces {
    int64_t format = -1;      // position of the "fmt " identifier
    uint32_t formatSize = 0;
    int64_t data = -1;        // position of the "data" identifier
    uint64_t dataSize = 0;
};

// The 64-bit data size of an RF64 file: its "ds64" chunk comes first after
// "WAVE" and holds the RIFF size, then the data size. -1 when absent.
int64_t Ds64DataSize(const WavBytes& f) {
    uint8_t ds64[24];
    if (f.size < 36 || !f.read(12, ds64, 24) || std::memcmp(ds64, "ds64", 4) != 0 ||
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
ChunkPlaces WalkChunks(const WavBytes& f, int64_t ds64DataSize) {
    ChunkPlaces places;
    int64_t pos = 12;
    uint8_t head[8];
    while (pos + 8 <= f.size && f.read(pos, head, 8)) {
        uint32_t size = Field32(head + 4);
        int64_t next = pos + 8 + int64_t(size) + int64_t(size & 1u);
        if (places.data < 0 && std::memcmp(head, "data", 4) == 0) {
            places.data = pos;
            places.dataSize = size == kSizeInDs64 && ds64DataSize >= 0 ? uint64_t(ds64DataSize) : size;
        } else if (next > f.size) {
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
bool IsFloatFormat(const WavBytes& f, const ChunkPlaces& c, uint32_t tag) {
    if (tag == kFormatFloat) return true;
    if (tag != kFormatExtensible || c.formatSize < 40) return false;
    uint8_t guid[16];
    return f.read(c.format + 8 + 24, guid, 16) && std::memcmp(guid, kFloatSubFormat, 16) == 0;
}

}  // namespace

WavParse ParseWavHeader(const WavBytes& f) {
    WavParse out;
    WavHeader& h = out.header;
    auto refuse = [&](WavRefusal why) {
        out.refusal = why;
        return out;
    };
    uint8_t riff[12];
    ChunkPlaces c;
    if (f.size >= 12 && f.read(0, riff, 12) && std::memcmp(riff + 8, "WAVE", 4) == 0) {
        if (std::memcmp(riff, "RIFF", 4) == 0)
            c = WalkChunks(f, -1);
        else if (std::memcmp(riff, "RF64", 4) == 0)
            c = WalkChunks(f, Ds64DataSize(f));
    }
    uint8_t fmt[16];
    if (c.format < 0 || c.formatSize < 16 || !f.read(c.format + 8, fmt, 16))
        return refuse(WavRefusal::kNoFormatChunk);

    const uint32_t tag = Field16(fmt);
    h.channels = int(Field16(fmt + 2));
    h.bitsPerSample = int(Field16(fmt + 14));
    if (h.bitsPerSample == 32 && !IsFloatFormat(f, c, tag)) return refuse(WavRefusal::kNotFloat);
    if (h.bitsPerSample != 16 && h.bitsPerSample != 24 && h.bitsPerSample != 32)
        return refuse(WavRefusal::kSampleWidth);
    if (h.channels < 1 || h.channels > 2) return refuse(WavRefusal::kChannelCount);
    h.bytesPerSample = h.bitsPerSample / 8;

    h.rate = Field32(fmt + 4);
    if (h.rate == 0 || h.rate > kMaxSampleRate) return refuse(WavRefusal::kSampleRate);

    if (c.data < 0) return refuse(WavRefusal::kNoDataChunk);
    h.dataOffset = c.data + 8;

    // The shorter of the declared data and the whole frames present.
    const int64_t frameBytes = int64_t(h.bytesPerSample) * h.channels;
    const int64_t declared = int64_t(c.dataSize / uint64_t(frameBytes));
    const int64_t available = (f.size - h.dataOffset) / frameBytes;
    h.length = declared < available ? declared : available;
    return out;
}

WavParse ParseWavHeader(std::span<const uint8_t> file) {
    const auto read = [file](int64_t pos, uint8_t* out, size_t count) {
        if (pos < 0 || uint64_t(pos) > file.size() || count > file.size() - size_t(pos)) return false;
        std::memcpy(out, file.data() + pos, count);
        return true;
    };
    return ParseWavHeader(WavBytes{int64_t(file.size()), read});
}

}  // namespace varnel
