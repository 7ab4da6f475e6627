// Fixed sizes of the mixer's tables. Every per-strip table is indexed by slot:
// 0 master, 1..127 channels, 128..135 submixes 1..8, 136 addressed by no line.
#pragma once

namespace varnel {

constexpr int kBlockFrames = 131072;   // frames per mixing block
constexpr int kMaxChannels = 127;      // channels 1..127
constexpr int kChannelTable = 128;     // per-channel tables (entry 0 unused)
constexpr int kSlots = 137;            // fader / on-flag / position tables
constexpr int kFxSlots = 136;          // effect parameters and processor state
constexpr int kPeakSlots = 139;        // + 137 room-reverb send, 138 tap-reverb send
constexpr int kRevSendSlot = 137;
constexpr int kTapSendSlot = 138;
constexpr int kSubmixBase = 127;       // slot of submix n is 127 + n
constexpr int kBuses = 9;              // bus 0 (direct) and submixes 1..8
constexpr int kVcas = 9;               // VCA 1..8 (0 never acts)
constexpr int kMaxEntries = 512;       // level entries per fader or VCA
constexpr int kMaxTempoSegments = 128;
constexpr int kMaxPathChars = 127;     // path and name buffers
constexpr int kMaxTrackNameChars = 255;
constexpr int kMaxLaunchChars = 255;
constexpr int kMaxThreads = 64;        // the "threads" preference's ceiling

constexpr double kBusFullScale = 2147483648.0;    // 2^31
constexpr double kChannelFullScale = 8388608.0;   // 2^23
constexpr int kLevelUnity = 134217728;            // 2^27 = 0 dB

}  // namespace varnel
