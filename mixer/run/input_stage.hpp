// The channel input stage: reads one channel's block of sample bytes from its
// WAV file and turns it into the channel's left and right buffers at channel
// scale (2^23 full scale), placing mono tracks by delay pan when asked.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "mixer/utilities/limits.hpp"
#include "mixer/utilities/wav/wav_reader.hpp"

namespace varnel {

constexpr int kDelayHistory = 256;  // frames of delay history kept per channel

// Scratch of one block read: the raw frames and a mono block's samples.
// Rewritten for every channel; each thread that reads channels has its own.
struct InputScratch {
    std::vector<uint8_t> bytes;     // one block of raw frames, up to 8 bytes a frame
    std::vector<int32_t> samples;   // a mono block's samples, before the delay pan
};

// Allocates one thread's scratch (about 1.5 MiB).
void AllocateInputScratch(InputScratch& scratch);

struct InputStage {
    // Per channel, indexed by channel number (entry 0 unused).
    std::array<std::FILE*, kChannelTable> file{};
    std::array<int, kChannelTable> channels{};                // 1 or 2
    std::array<int, kChannelTable> bytesPerSample{};          // 2, 3 or 4
    std::array<int64_t, kChannelTable> dataOffset{};
    std::array<int64_t, kChannelTable> trackStart{};          // absolute sample number
    std::array<int64_t, kChannelTable> trackLength{};         // frames
    std::array<int, kChannelTable> active{};                  // cleared when the track ends
    std::array<int, kChannelTable> pan{};                     // p, -100..100
    std::array<int, kChannelTable> delayPan{};                // "dp", 0 = none
    std::array<int, kChannelTable> delayFrames{};             // d, sign of p

    // Scratch and history, allocated once by AllocateInputStage.
    InputScratch scratch;  // the mixing thread's
    std::vector<int32_t> historyL, historyR;  // kChannelTable x kDelayHistory
};

// Allocates the scratch buffers and zeroes the delay histories.
void AllocateInputStage(InputStage& st);

// Opens one channel's file with a one-block stream buffer and takes its
// layout from the header tables; marks the channel active. A file that can
// no longer be opened prints the missing-file message and returns false.
bool OpenChannelFile(InputStage& st, int channel, const std::string& path,
                     const TrackHeaders& h);

// Opens every enabled channel 1..trackCount (tables indexed by channel). A
// channel whose file cannot be opened has its enabled flag cleared.
void OpenInputFiles(InputStage& st, const TrackHeaders& h, int trackCount,
                    std::span<int> enabled, std::span<const std::string> paths);

// Closes every open file; a failed close prints "Error closing audio file"
// and the others are still closed.
void CloseInputFiles(InputStage& st);

// Delay in frames for pan p at a sample rate: the time sound needs for 8.5
// inches at 13560 inches per second, scaled by p / 100, truncated toward zero.
int ComputeDelayFrames(int pan, uint32_t rate);

// Builds both sides of mono channel `channel` for frames f..n-1 from its
// samples (indexed by frame), delaying the far side by the channel's delay,
// and keeps the last 256 frames of a full block (frames from historySplit
// on) as the history the next block's first frames reach into.
void DELAY_PAN(InputStage& st, int channel, const int32_t* samples, int f, int n,
               int historySplit, int32_t* outL, int32_t* outR);

// Reads `n` frames of `channel` starting at absolute sample `blockStart` into
// outL/outR (n <= kBlockFrames). Frames before the track's start and at or
// after its end are 0; reaching the end clears the channel's active flag.
// A mono channel goes through DELAY_PAN when the pan law is 0.0 or it has a
// "dp" value.
void ReadChannelBlock(InputStage& st, int channel, int64_t blockStart, int n, int historySplit,
                      double panLaw, int32_t* outL, int32_t* outR);

// The same with the scratch of the calling thread. Threads may read
// different channels at once: each writes only its channel's entries of the
// stage (active flag, delay history).
void ReadChannelBlock(InputStage& st, InputScratch& scratch, int channel, int64_t blockStart,
                      int n, int historySplit, double panLaw, int32_t* outL, int32_t* outR);

}  // namespace varnel
