#include <cstring>

#include "adjuster/field_reading.hpp"
#include "adjuster/parsing.hpp"

namespace ostrand {

namespace {

// The entry an "rmp" line applies to. Before any "v" line it is entry 0 of
// channel 0; after a refused "v" line there is none, so its ramp is dropped
// instead of landing on an unrelated entry.
struct Cursor {
    int slot = 0;
    int index = 0;
    bool valid = true;
};

float ReadTimeLine(Tokenizer& tokenizer, int timeFields) {
    double time;
    if (timeFields == kSecondsOnly) {
        time = ReadDecimal(NextToken(tokenizer, kLineDelim));
    } else if (timeFields == kMinutesSeconds) {
        double minutes = ReadDecimal(NextToken(tokenizer, kTabDelim));
        double seconds = ReadDecimal(NextToken(tokenizer, kLineDelim));
        time = minutes * 60 + seconds;
    } else {
        double minutes = ReadDecimal(NextToken(tokenizer, kTabDelim));
        double seconds = ReadDecimal(NextToken(tokenizer, kTabDelim));
        double millis = ReadDecimal(NextToken(tokenizer, kLineDelim));
        time = minutes * 60 + seconds + millis / 1000;
    }
    return StoreFloat(time);
}

// Reads the designator of a "v" line: a channel number, "M", or "G" and a
// submix number. Returns the slot, or -1 (after a message) when out of range.
int ReadDesignator(Tokenizer& tokenizer, std::FILE* out) {
    const char* field = NextToken(tokenizer, kTabDelim);
    if (field != nullptr && std::strcmp(field, "M") == 0) return kMasterSlot;
    if (field != nullptr && std::strcmp(field, "G") == 0) {
        long submix = ReadDecimalInteger(NextToken(tokenizer, kTabDelim));
        if (submix >= 1 && submix <= kSubmixCount) return static_cast<int>(kMasterSlot + submix);
        std::fprintf(out, "Submix %ld is out of range (1 to %i): entry ignored\n", submix,
                     kSubmixCount);
        return -1;
    }
    long channel = ReadDecimalInteger(field);
    if (channel >= 0 && channel < kChannelCount) return static_cast<int>(channel);
    std::fprintf(out, "Channel %ld is out of range (0 to %i): entry ignored\n", channel,
                 kChannelCount - 1);
    return -1;
}

}  // namespace

void ParseBuffer(char* text, EntryTable& times, EntryTable& levels, EntryTable& ramps,
                 EntryCounts& counts, int timeFields, std::string& header, std::FILE* out) {
    Tokenizer tokenizer{text};
    const char* token = NextToken(tokenizer, kFieldDelims);
    header.clear();
    if (token == nullptr) return;
    header = token;
    if (header.size() > kHeaderCapacity - 1) {
        header.resize(kHeaderCapacity - 1);
        std::fprintf(out, "First word longer than %zu characters: truncated\n",
                     kHeaderCapacity - 1);
    }

    float currentTime = 0.0f;
    Cursor cursor;
    while ((token = NextToken(tokenizer, kFieldDelims)) != nullptr) {
        if (std::strcmp(token, "t") == 0) {
            currentTime = ReadTimeLine(tokenizer, timeFields);
        } else if (std::strcmp(token, "v") == 0) {
            int slot = ReadDesignator(tokenizer, out);
            float level = StoreFloat(ReadDecimal(NextToken(tokenizer, kLineDelim)));
            cursor.valid = false;
            if (slot < 0) continue;
            int n = counts[slot];
            if (n >= kMaxEntries) {
                std::fprintf(out, "Channel %s already has %i entries: entry ignored\n",
                             SlotLabel(slot).c_str(), kMaxEntries);
                continue;
            }
            times[slot][n] = currentTime;
            levels[slot][n] = level;
            counts[slot] = n + 1;
            cursor = Cursor{slot, n, true};
        } else if (std::strcmp(token, "rmp") == 0) {
            float ramp = StoreFloat(ReadDecimal(NextToken(tokenizer, kLineDelim)));
            if (cursor.valid) ramps[cursor.slot][cursor.index] = ramp;
        }
    }
}

}  // namespace ostrand
