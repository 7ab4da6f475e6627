#include "adjuster/operations.hpp"

#include <cmath>
#include <cstdio>

namespace ostrand {

namespace {

// Slots whose level entries an edit reaches.
enum class Faders { kEvery, kChannels };

bool Reaches(int slot, const Entry& entry, Faders faders) {
    if (!IsLevelEntry(entry)) return false;
    // Channel 0 is the mixer's master slot, so only 1 to 127 are channels.
    return faders == Faders::kEvery || (slot >= 1 && slot < kChannelCount);
}

std::string TimeRefusal(double time) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "Refused: a time would become %.3f s; times must lie between 0 and %.0f s.", time,
                  kLatestTime);
    return text;
}

std::string LengthRefusal(double length) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "Refused: a ramp or offset would become %.3f s; they must stay within %.0f s.",
                  length, kLatestTime);
    return text;
}

std::string LevelRefusal(double level) {
    char text[160];
    std::snprintf(
        text, sizeof text,
        "Refused: a level would become %.2f dB; levels must lie between %.0f and %.0f dB.", level,
        -kLoudestLevel, kLoudestLevel);
    return text;
}

bool TimeInRange(double time) { return time >= 0.0 && time <= kLatestTime; }

void Set(double& value, double changed, unsigned char& edited, unsigned char bit) {
    if (changed != value) edited |= bit;
    value = changed;
}

EditOutcome ChangeLevels(FaderModel& model, double g, Faders faders) {
    EditOutcome outcome;
    for (int slot = 0; slot < kSlotCount; ++slot)
        for (const Entry& entry : model.rows[slot])
            if (Reaches(slot, entry, faders) && !(std::fabs(entry.level + g) <= kLoudestLevel)) {
                outcome.refused = true;
                outcome.reason = LevelRefusal(entry.level + g);
                return outcome;
            }
    for (int slot = 0; slot < kSlotCount; ++slot)
        for (Entry& entry : model.rows[slot])
            if (Reaches(slot, entry, faders)) {
                Set(entry.level, entry.level + g, entry.edited, kLevelEdited);
                ++outcome.entries;
            }
    return outcome;
}

}  // namespace

double FindMax(const FaderModel& model) {
    double largest = 0.0;
    for (const auto& row : model.rows)
        for (const Entry& entry : row)
            if (entry.time > largest) largest = entry.time;
    return largest;
}

double FindMin(const FaderModel& model, double start) {
    double smallest = start;
    for (const auto& row : model.rows)
        for (const Entry& entry : row)
            if (entry.time < smallest) smallest = entry.time;
    return smallest;
}

EditOutcome MoveTimes(FaderModel& model, double d) {
    EditOutcome outcome;
    for (const auto& row : model.rows)
        for (const Entry& entry : row)
            if (!TimeInRange(entry.time + d)) {
                outcome.refused = true;
                outcome.reason = TimeRefusal(entry.time + d);
                return outcome;
            }
    for (auto& row : model.rows)
        for (Entry& entry : row) {
            Set(entry.time, entry.time + d, entry.edited, kTimeEdited);
            ++outcome.entries;
        }
    return outcome;
}

EditOutcome ScaleTimes(FaderModel& model, double k) {
    EditOutcome outcome;
    for (const auto& row : model.rows)
        for (const Entry& entry : row) {
            if (!TimeInRange(entry.time * k)) outcome.reason = TimeRefusal(entry.time * k);
            for (double length : {entry.ramp * k, entry.offset * k})
                if (!(std::fabs(length) <= kLatestTime)) outcome.reason = LengthRefusal(length);
            if (!outcome.reason.empty()) {
                outcome.refused = true;
                return outcome;
            }
        }
    for (auto& row : model.rows)
        for (Entry& entry : row) {
            Set(entry.time, entry.time * k, entry.edited, kTimeEdited);
            ++outcome.entries;
            if (entry.ramp != 0.0) ++outcome.ramps;
            if (entry.offset != 0.0) ++outcome.ramps;
            Set(entry.ramp, entry.ramp * k, entry.edited, kRampEdited);
            Set(entry.offset, entry.offset * k, entry.edited, kOffsetEdited);
        }
    return outcome;
}

EditOutcome AdjustVolumes(FaderModel& model, double g) {
    return ChangeLevels(model, g, Faders::kEvery);
}

EditOutcome AdjustChannelVolumes(FaderModel& model, double g) {
    return ChangeLevels(model, g, Faders::kChannels);
}

}  // namespace ostrand
