#include "mixer/run/input_stage.hpp"

#include "mixer/utilities/hot_loop.hpp"
#include "mixer/utilities/track_open.hpp"

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

int32_t MonoValue(int i, const int32_t* A0, const int32_t* A1, const int32_t* A2,
                  const int32_t* A3, int mulA1, int mulA2, int bytesPerSample) {
    if (bytesPerSample == 4) return Float32Convert(A0[i], A1[i], A2[i], A3[i]);
    return A0[i] + mulA1 * A1[i] + mulA2 * A2[i];
}

void SplitMonoPlanes(InputScratch& st, const uint8_t* bytes, int f, int n, int b) {
    for (int i = f; i < n; ++i, bytes += b) {
        if (b == 2) {
            st.A0[i] = 0;
            st.A1[i] = bytes[0];
            st.A2[i] = int8_t(bytes[1]);
        } else if (b == 3) {
            st.A0[i] = bytes[0];
            st.A1[i] = bytes[1];
            st.A2[i] = int8_t(bytes[2]);
        } else {
            st.A0[i] = int8_t(bytes[0]);
            st.A1[i] = int8_t(bytes[1]);
            st.A2[i] = int8_t(bytes[2]);
            st.A3[i] = int8_t(bytes[3]);
        }
    }
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
    for (auto* plane : {&scratch.A0, &scratch.A1, &scratch.A2, &scratch.A3})
        plane->assign(kBlockFrames, 0);
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

void DELAY_PAN(int f, int n, int channel, const int* pan, const int* delay, const int32_t* A0,
               const int32_t* A1, const int32_t* A2, const int32_t* A3, int32_t* historyL,
               int32_t* historyR, int32_t* chL, int32_t* chR, int mulA1, int mulA2,
               int historySplit, int bytesPerSample) {
    if (f >= n) return;
    const int p = pan[channel];
    const int d = delay[channel];
    const int ad = d < 0 ? -d : d;
    const int H = channel * kDelayHistory + (kDelayHistory - 1);
    for (int i = f; i < n; ++i) {
        int32_t v = MonoValue(i, A0, A1, A2, A3, mulA1, mulA2, bytesPerSample);
        if (p == 0) {
            chL[i] = chR[i] = v;
        } else if (p <= -100) {
            chL[i] = v;
            chR[i] = 0;
        } else if (p >= 100) {
            chL[i] = 0;
            chR[i] = v;
        } else if (p > 0) {
            chR[i] = v;
            chL[i] = i < ad ? historyR[H - ad + i] : chR[i - ad];
        } else {
            chL[i] = v;
            chR[i] = i < ad ? historyL[H - ad + i] : chL[i - ad];
        }
        if (i >= historySplit) {
            historyL[H - (n - i)] = chL[i];
            historyR[H - (n - i)] = chR[i];
        }
    }
}

void ReadChannelBlock(InputStage& st, int channel, int64_t blockStart, int n, int historySplit,
                      double panLaw, int32_t* outL, int32_t* outR) {
    ReadChannelBlock(st, st.scratch, channel, blockStart, n, historySplit, panLaw, outL, outR);
}

VARNEL_HOT_LOOP void ReadChannelBlock(InputStage& st, InputScratch& scratch, int channel,
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
        SplitMonoPlanes(scratch, bytes, f, n, b);
        const int32_t* A0 = scratch.A0.data();
        const int32_t* A1 = scratch.A1.data();
        const int32_t* A2 = scratch.A2.data();
        const int32_t* A3 = scratch.A3.data();
        if (panLaw == 0.0 || st.delayPan[channel] != 0) {
            DELAY_PAN(f, n, channel, st.pan.data(), st.delayFrames.data(), A0, A1, A2, A3,
                      st.historyL.data(), st.historyR.data(), outL, outR, 256, 65536,
                      historySplit, b);
        } else {
            for (int i = f; i < n; ++i)
                outL[i] = outR[i] = MonoValue(i, A0, A1, A2, A3, 256, 65536, b);
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

}  // namespace varnel
