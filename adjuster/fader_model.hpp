// The adjuster's in-memory picture of a fader file: fixed tables of level
// entries per fader, each with its time, level and ramp.
#pragma once

#include <cstddef>
#include <string>

namespace ostrand {

// Faders are kept in slots: 0 to 127 are the numbered channels, then the
// master ("M") and the submixes "G" 1 to 8. Every walk goes in slot order.
constexpr int kChannelCount = 128;
constexpr int kMasterSlot = 128;
constexpr int kFirstSubmixSlot = 129;  // submix n lives in slot 128 + n
constexpr int kSubmixCount = 8;
constexpr int kSlotCount = kFirstSubmixSlot + kSubmixCount;
constexpr int kMaxEntries = 512;

constexpr std::size_t kTextCapacity = 65536;   // input text including its NUL
constexpr std::size_t kHeaderCapacity = 1024;  // header including its NUL
constexpr std::size_t kMaxCommandLength = 63;
constexpr std::size_t kMaxFileNameLength = 255;

// Times in seconds, levels in dB as written, ramps in seconds (0 = none).
using EntryTable = float[kSlotCount][kMaxEntries];
using EntryCounts = int[kSlotCount];

enum TimeFields { kSecondsOnly = 1, kMinutesSeconds = 2, kMinutesSecondsMillis = 3 };
enum Ordering { kByChannels = 1, kByTimes = 2 };

// Everything one adjuster session edits; owned by the caller (it is large,
// so keep it on the heap).
struct FaderModel {
    EntryTable times{};
    EntryTable levels{};
    EntryTable ramps{};
    EntryCounts counts{};
    std::string header;
};

// Stores a double result in a table cell: NaN becomes 0 and anything beyond
// the float range is held at the largest float, so no table ever holds a
// non-finite value.
float StoreFloat(double value);

// How a slot is shown to the user: "5", "M" or "G3".
std::string SlotLabel(int slot);

}  // namespace ostrand
