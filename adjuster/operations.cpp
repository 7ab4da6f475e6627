#include "adjuster/operations.hpp"

namespace ostrand {

namespace {

// Applies `change` to every counted cell; values are worked on in double and
// stored back as float.
template <typename Change>
void ForEachEntry(EntryTable& table, const EntryCounts& counts, Change change) {
    for (int slot = 0; slot < kSlotCount; ++slot)
        for (int i = 0; i < counts[slot]; ++i)
            table[slot][i] = StoreFloat(change(static_cast<double>(table[slot][i])));
}

}  // namespace

float FindMax(const EntryTable& times, const EntryCounts& counts) {
    float largest = 0.0f;
    for (int slot = 0; slot < kSlotCount; ++slot)
        for (int i = 0; i < counts[slot]; ++i)
            if (times[slot][i] > largest) largest = times[slot][i];
    return largest;
}

float FindMin(const EntryTable& times, const EntryCounts& counts, float start) {
    float smallest = start;
    for (int slot = 0; slot < kSlotCount; ++slot)
        for (int i = 0; i < counts[slot]; ++i)
            if (times[slot][i] < smallest) smallest = times[slot][i];
    return smallest;
}

void MoveTimes(EntryTable& times, const EntryCounts& counts, double d) {
    ForEachEntry(times, counts, [d](double t) { return t + d; });
}

void ScaleTimes(EntryTable& times, EntryTable& ramps, const EntryCounts& counts, double k) {
    ForEachEntry(times, counts, [k](double t) { return t * k; });
    ForEachEntry(ramps, counts, [k](double r) { return r * k; });
}

void AdjustVolumes(EntryTable& levels, const EntryCounts& counts, double g) {
    ForEachEntry(levels, counts, [g](double level) { return level + g; });
}

}  // namespace ostrand
