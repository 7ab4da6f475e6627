// The adjuster's picture of a fader file: every time-bound entry of every
// fader with its time, and the lines it does not edit, kept as they were read
// so that a save writes them back byte for byte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ostrand {

// Faders are kept in slots, and every walk goes in slot order:
//   0..127    channels, by the number written ("v 0" reaches the mixer's
//             master slot but is kept apart from "M", as it is written)
//   128       the master ("M")
//   129..136  submixes "G" 1 to 8 (also reached by the numbers 128 to 135)
//   137..145  VCA faders 0 to 8 ("vca" lines; numbers outside 1 to 8 reach
//             VCA 0, which never acts)
constexpr int kChannelCount = 128;
constexpr int kMasterSlot = 128;
constexpr int kFirstSubmixSlot = 129;  // submix n lives in slot 128 + n
constexpr int kSubmixCount = 8;
constexpr int kFirstVcaSlot = kFirstSubmixSlot + kSubmixCount;  // VCA n lives in slot 137 + n
constexpr int kVcaCount = 9;
constexpr int kSlotCount = kFirstVcaSlot + kVcaCount;

constexpr std::size_t kMaxFileSize = 16u * 1024u * 1024u;  // the largest file that loads
constexpr std::size_t kMaxCommandLength = 63;
constexpr std::size_t kMaxFileNameLength = 255;

enum TimeFields { kSecondsOnly = 1, kMinutesSeconds = 2, kMinutesSecondsMillis = 3 };
enum Ordering { kByChannels = 1, kByTimes = 2 };

// A stretch of the loaded text.
struct TextSpan {
    std::size_t start = 0;
    std::size_t length = 0;
};

// The time-bound lines: "v" and "vca" carry a level and their own "rmp",
// "ofs" and "shape" lines; "p" and "pol" are kept as written and only move
// with their time.
enum class EntryKind : unsigned char { kLevel, kVca, kPan, kPolarity };

// Where an entry's time comes from, besides the index of its "t" line.
constexpr int kBeforeFirstTime = -2;  // above every "t" line: time 0, written without one
constexpr int kMovedByInc = -1;       // an "inc" line moved the time after the last "t" line

// Bits of Entry::edited: the values an edit has changed since loading. Values
// nobody changed are written so that they read back exactly as loaded.
enum EditedBits : unsigned char {
    kTimeEdited = 1,
    kLevelEdited = 2,
    kRampEdited = 4,
    kOffsetEdited = 8,
};

struct Entry {
    double time = 0.0;                // seconds, as the mixer reads the "t" line (clock time)
    double level = 0.0;               // dB as written ("v", "vca")
    double ramp = 0.0;                // seconds; 0 = no "rmp" line
    double offset = 0.0;              // seconds; 0 = no "ofs" line
    TextSpan line;                    // the entry's own line, without its line end
    TextSpan shape;                   // its "shape" line, without its line end; empty when none
    int timeLine = kBeforeFirstTime;  // index into FaderModel::timeLines, or a code above
    int order = 0;                    // position among all entries, in file order
    EntryKind kind = EntryKind::kLevel;
    unsigned char edited = 0;
};

// A "t" line as read: its first three fields as the mixer reads them (single
// precision), how many fields it has, and the first "t" line with the same
// three values (lines in one group mean the same time whatever the time base).
struct TimeLine {
    TextSpan line;
    float values[3] = {0.0f, 0.0f, 0.0f};
    int fieldCount = 0;
    int group = 0;
};

// Everything one adjuster session edits, owned by the caller.
struct FaderModel {
    std::string text;                  // the file as loaded
    std::vector<TextSpan> leading;     // lines written first, line ends included
    std::vector<TextSpan> unattached;  // lines kept after "end", without line ends
    std::vector<int> unattachedLineNumbers;
    TextSpan endLine;                     // the "end" line with its line end; empty when none
    TextSpan afterEnd;                    // everything after it (and anything after a NUL byte)
    std::vector<Entry> rows[kSlotCount];  // each slot's entries in file order
    std::vector<TimeLine> timeLines;
    int readFields = kMinutesSecondsMillis;  // the time-field count the times were read with
    std::string lineEnd = "\n";              // for the lines the adjuster writes
    bool hasTempoMap = false;                // a "tmap" line: the times may be bars and beats
};

inline std::string_view SpanText(const FaderModel& model, TextSpan span) {
    return std::string_view(model.text).substr(span.start, span.length);
}

inline bool IsLevelEntry(const Entry& entry) {
    return entry.kind == EntryKind::kLevel || entry.kind == EntryKind::kVca;
}

// How a slot is shown to the user: "5", "M", "G3" or "VCA2".
std::string SlotLabel(int slot);

// Number of level entries ("v", "vca") of a slot.
int LevelEntryCount(const FaderModel& model, int slot);

}  // namespace ostrand
