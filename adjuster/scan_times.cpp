#include "adjuster/parsing.hpp"

namespace ostrand {

bool ScanTimes(const EntryTable& times, const EntryCounts& counts, double x, float& result) {
    // The nearest time above x is the smallest time above x; comparing the
    // times themselves keeps equal times tied (first found wins) even when x
    // is minus infinity. There is no upper bound on the gap: every entry must
    // be found, however far it lies from the previous one.
    bool found = false;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        for (int i = 0; i < counts[slot]; ++i) {
            float t = times[slot][i];
            if (static_cast<double>(t) <= x) continue;
            if (!found || t < result) {
                found = true;
                result = t;
            }
        }
    }
    return found;
}

}  // namespace ostrand
