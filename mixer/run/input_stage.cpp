#include "mixer/run/input_stage.hpp"

#include "mixer/utilities/hot_loop.hpp"
#include "mixer/utilities/wav/track_open.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace varnel {

namespace {

constexpr int kMaxFrameBytes = 8;  // stereo float; also leaves the 24-bit
                                   // decoder room to load 8 bytes at the last frame

// Sound crosses 8.5 inches (about the spacing of the ears) in this many
// seconds at 13560 inches per second.
constexpr double kEarInches = 8.5;
constexpr double kSoundInchesPerSecond = 13560.0;

template <int B, int32_t (*Decode)(const uint8_t*)>
void DecodeMono(const uint8_t* bytes, int f, int n, int32_t* out) {
    for (int i = f; i < n; ++i, bytes += B) out[i] = Decode(bytes);
}

// Frames f..n-1 of a mono block, whose bytes start at frame f.
void DecodeMonoBlock(const uint8_t* bytes, int f, int n, int bytesPerSample, int32_t* out) {
    if (bytesPerSample == 3)
        DecodeMono<3, DecodePcm24>(bytes, f, n, out);
    else if (bytesPerSample == 2)
        DecodeMono<2, DecodePcm16>(bytes, f, n, out);
    else
        DecodeMono<4, DecodeFloat32>(bytes, f, n, out);
}

template <int B, int32_t (*Decode)(const uint8_t*)>
void DecodeStereo(const uint8_t* bytes, int f, int n, int32_t* outL, int32_t* outR) {
    for (int i = f; i < n; ++i, bytes += 2 * B) {
        outL[i] = Decode(bytes);
        outR[i] = Decode(bytes + B);
    }
}

// 24-bit stereo, the common case: one 8-byte load per 6-byte frame (the
// block buffer has room past the last frame) and sign extension by shifts
// give what DecodePcm24 gives for each side.
void DecodeStereo24(const uint8_t* bytes, int f, int n, int32_t* outL, int32_t* outR) {
    if constexpr (std::endian::native != std::endian::little) {
        DecodeStereo<3, DecodePcm24>(bytes, f, n, outL, outR);
        return;
    }
    int i = f;
#if defined(__GNUC__)
    // Four frames at a time: a byte shuffle puts each sample's three bytes at
    // the top of a 32-bit lane, left and right apart, and an arithmetic shift
    // sign-extends them. The second 16-byte load reaches 4 bytes past the
    // fourth frame, which the buffer has room for.
    typedef uint8_t Bytes16 __attribute__((vector_size(16)));
    typedef int32_t Lanes4 __attribute__((vector_size(16)));
    for (; i + 4 <= n; i += 4, bytes += 24) {
        Bytes16 a, b;
        std::memcpy(&a, bytes, sizeof a);
        std::memcpy(&b, bytes + 12, sizeof b);
        // Lanes L0, L1, R0, R1; the lowest byte of each lane is shifted out.
        const Lanes4 x = (Lanes4)__builtin_shufflevector(a, a, 0, 0, 1, 2, 6, 6, 7, 8, 3, 3, 4, 5,
                                                         9, 9, 10, 11) >> 8;
        const Lanes4 y = (Lanes4)__builtin_shufflevector(b, b, 0, 0, 1, 2, 6, 6, 7, 8, 3, 3, 4, 5,
                                                         9, 9, 10, 11) >> 8;
        const Lanes4 left = __builtin_shufflevector(x, y, 0, 1, 4, 5);
        const Lanes4 right = __builtin_shufflevector(x, y, 2, 3, 6, 7);
        std::memcpy(outL + i, &left, sizeof left);
        std::memcpy(outR + i, &right, sizeof right);
    }
#endif
    for (; i < n; ++i, bytes += 6) {
        uint64_t w;
        std::memcpy(&w, bytes, sizeof w);
        outL[i] = int32_t(uint32_t(w) << 8) >> 8;
        outR[i] = int32_t(uint32_t(w >> 24) << 8) >> 8;
    }
}

}  // namespace

void AllocateInputScratch(InputScratch& scratch) {
    scratch.bytes.assign(size_t(kBlockFrames) * kMaxFrameBytes, 0);
    scratch.samples.assign(kBlockFrames, 0);
}

void AllocateInputStage(InputStage& st) {
    AllocateInputScratch(st.scratch);
    st.historyL.assign(size_t(kChannelTable) * kDelayHistory, 0);
    st.historyR.assign(size_t(kChannelTable) * kDelayHistory, 0);
}

bool OpenChannelFile(InputStage& st, int channel, const std::string& path,
                     const TrackHeaders& h) {
    std::FILE* f = OpenTrackFile(path);
    if (!f) return false;
    st.channels[channel] = h.channels[channel];
    st.bytesPerSample[channel] = h.bytesPerSample[channel];
    st.dataOffset[channel] = h.dataOffset[channel];
    st.trackLength[channel] = h.length[channel];
    // Blocks are read straight into the stage's own buffer, piece by piece,
    // so a stream buffer would only add a copy through memory the cache
    // does not hold.
    std::setvbuf(f, nullptr, _IONBF, 0);
    st.file[channel] = f;
    st.active[channel] = 1;
    return true;
}

void OpenInputFiles(InputStage& st, const TrackHeaders& h, int trackCount,
                    std::span<int> enabled, std::span<const std::string> paths) {
    for (int ch = 1; ch <= trackCount && ch < kChannelTable; ++ch)
        if (enabled[ch] && !OpenChannelFile(st, ch, paths[ch], h)) enabled[ch] = 0;
}

void CloseInputFiles(InputStage& st) {
    for (int ch = 1; ch < kChannelTable; ++ch) {
        if (!st.file[ch]) continue;
        if (std::fclose(st.file[ch]) != 0) std::puts("Error closing audio file");
        st.file[ch] = nullptr;
    }
}

int ComputeDelayFrames(int pan, uint32_t rate) {
    float k = float(double(rate) * kEarInches / kSoundInchesPerSecond);
    double d = std::trunc(double(pan) / 100.0 * double(k));
    // The history holds 255 usable frames; no accepted rate comes near that.
    return int(std::clamp(d, double(-(kDelayHistory - 1)), double(kDelayHistory - 1)));
}

void DELAY_PAN(InputStage& st, int channel, const int32_t* samples, int f, int n,
               int historySplit, int32_t* outL, int32_t* outR) {
    if (f >= n) return;
    const int p = st.pan[channel];
    const int d = st.delayFrames[channel];
    const int ad = d < 0 ? -d : d;
    // The channel's history, newest frame at kDelayHistory - 2.
    int32_t* historyL = st.historyL.data() + channel * kDelayHistory;
    int32_t* historyR = st.historyR.data() + channel * kDelayHistory;
    constexpr int H = kDelayHistory - 1;
    for (int i = f; i < n; ++i) {
        const int32_t v = samples[i];
        if (p == 0) {
            outL[i] = outR[i] = v;
        } else if (p <= -100) {
            outL[i] = v;
            outR[i] = 0;
        } else if (p >= 100) {
            outL[i] = 0;
            outR[i] = v;
        } else if (p > 0) {
            outR[i] = v;
            outL[i] = i < ad ? historyR[H - ad + i] : outR[i - ad];
        } else {
            outL[i] = v;
            outR[i] = i < ad ? historyL[H - ad + i] : outL[i - ad];
        }
        if (i >= historySplit) {
            historyL[H - (n - i)] = outL[i];
            historyR[H - (n - i)] = outR[i];
        }
    }
}

void ReadChannelBlock(InputStage& st, int channel, int64_t blockStart, int n, int historySplit,
                      double panLaw, int32_t* outL, int32_t* outR) {
    ReadChannelBlock(st, st.scratch, channel, blockStart, n, historySplit, panLaw, outL, outR);
}

namespace {

VARNEL_KERNEL void ReadChannelBlockBody(InputStage& st, InputScratch& scratch, int channel,
                                        int64_t blockStart, int n, int historySplit, double panLaw,
                                        int32_t* outL, int32_t* outR) {
    if (n <= 0) return;
    const int c = st.channels[channel];
    const int b = st.bytesPerSample[channel];
    const int64_t start = st.trackStart[channel];

    // A track that starts inside the block fills it from frame f on; the
    // frames before it are silent and only the frames left in the block are
    // read.
    int f = 0;
    int64_t position = st.dataOffset[channel] + int64_t(c) * b * (blockStart - start);
    if (start > blockStart) {
        f = int(std::min<int64_t>(start - blockStart, n));
        position = st.dataOffset[channel];
        std::fill(outL, outL + f, 0);
        std::fill(outR, outR + f, 0);
    }

    std::FILE* file = st.file[channel];
    bool positioned = false;
    if (file && n > f) {
        std::clearerr(file);
        positioned = std::fseek(file, long(position), SEEK_SET) == 0;
    }
    // Reads frames [from, to) into the byte buffer; a short read leaves
    // silence, never the bytes of an earlier block.
    auto readFrames = [&](int from, int to) {
        const size_t want = size_t(c) * b * size_t(to - from);
        const size_t got = positioned ? std::fread(scratch.bytes.data(), 1, want, file) : 0;
        std::memset(scratch.bytes.data() + got, 0, want - got);
    };

    const uint8_t* bytes = scratch.bytes.data();
    if (c == 2) {
        // Stereo is read and decoded in cache-sized pieces, so the bytes are
        // still in the cache when they are decoded. One loop per sample
        // format, so the format is not tested per sample.
        constexpr int kPieceFrames = 8192;
        for (int from = f; from < n; from += kPieceFrames) {
            const int to = std::min(n, from + kPieceFrames);
            readFrames(from, to);
            if (b == 3)
                DecodeStereo24(bytes, from, to, outL, outR);
            else if (b == 2)
                DecodeStereo<2, DecodePcm16>(bytes, from, to, outL, outR);
            else
                DecodeStereo<4, DecodeFloat32>(bytes, from, to, outL, outR);
        }
    } else {
        readFrames(f, n);
        if (panLaw == 0.0 || st.delayPan[channel] != 0) {
            int32_t* samples = scratch.samples.data();
            DecodeMonoBlock(bytes, f, n, b, samples);
            DELAY_PAN(st, channel, samples, f, n, historySplit, outL, outR);
        } else {
            DecodeMonoBlock(bytes, f, n, b, outL);
            std::copy(outL + f, outL + n, outR + f);
        }
    }

    // Frames at or past the track's end are silent, and the channel is done.
    const int64_t end = start + st.trackLength[channel];
    int64_t firstSilent = std::max<int64_t>(end - blockStart, f);
    if (firstSilent < n) {
        std::fill(outL + firstSilent, outL + n, 0);
        std::fill(outR + firstSilent, outR + n, 0);
        st.active[channel] = 0;
    }
}
VARNEL_BUILD_TWICE(ReadChannelBlockBody)

}  // namespace

void ReadChannelBlock(InputStage& st, InputScratch& scratch, int channel, int64_t blockStart, int n,
                      int historySplit, double panLaw, int32_t* outL, int32_t* outR) {
    VARNEL_RUN(Kernel::kBest, ReadChannelBlockBody, st, scratch, channel, blockStart, n,
               historySplit, panLaw, outL, outR);
}

}  // namespace varnel
