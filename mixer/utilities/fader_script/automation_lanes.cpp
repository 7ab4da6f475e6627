#include "mixer/utilities/fader_script/automation_lanes.hpp"

#include <algorithm>

#include "mixer/utilities/fader_script/automation.hpp"
#include "mixer/utilities/fader_script/level_math.hpp"

namespace varnel {

namespace {

// Follows one fader forward in time and gives the level playback applies to
// sample s (for s that never decreases): every entry whose time is s or
// earlier has started by then, which is the state InterpretLevel places at
// time s + 1, ramp progress included.
struct LevelWalker {
    const int32_t* level;
    const int32_t* time;
    const int32_t* ramp;
    const float* shape;
    int count;
    int fader;
    int stride;
    int k = 0;  // as InterpretLevel counts it
    FaderState st{};
    int32_t lastLevel = -1;  // the last level turned into decibels, and its value
    double lastdB = 0.0;

    double dBAt(int64_t s) {
        const int64_t t = s + 1;
        auto at = [&](int e) { return size_t(e) * size_t(stride) + size_t(fader); };
        if (t > int64_t(time[at(0)])) {
            k = std::max(k, 1);
            while (k < count && int64_t(time[at(k)]) < t) ++k;
        }
        PlaceInTable(st, level, time, ramp, shape, k, t, fader, stride);
        if (st.applied != lastLevel) {
            lastLevel = st.applied;
            lastdB = LevelTodB(st.applied);
        }
        return lastdB;
    }
};

}  // namespace

LevelLane FaderLane(const int32_t* level, const int32_t* time, const int32_t* ramp,
                    const float* shape, int count, int fader, int stride, int64_t windowStart,
                    int64_t windowLength, int columns) {
    LevelLane lane;
    if (count <= 0 || columns <= 0 || windowLength <= 0) return lane;
    auto at = [&](int e) { return size_t(e) * size_t(stride) + size_t(fader); };
    auto edge = [&](int c) { return windowStart + int64_t(c) * windowLength / columns; };
    LevelWalker walk{level, time, ramp, shape, count, fader, stride};
    lane.edgedB.resize(size_t(columns) + 1);
    lane.lowdB.resize(size_t(columns));
    lane.highdB.resize(size_t(columns));
    int next = 0;  // first entry not yet looked at
    for (int c = 0; c < columns; ++c) {
        const int64_t a = edge(c), b = edge(c + 1);
        double low = walk.dBAt(a), high = low;
        lane.edgedB[size_t(c)] = float(low);
        int64_t seen = a;  // the walker only goes forward (entries may share a time)
        auto see = [&](int64_t s) {
            seen = std::max(seen, s);
            const double v = walk.dBAt(seen);
            low = std::min(low, v);
            high = std::max(high, v);
            return v;
        };
        // Between two entry starts the level follows one ramp and then
        // holds, so it only moves one way: its extremes inside the column
        // are at the column's ends and on either side of each entry start.
        while (next < count && int64_t(time[at(next)]) < a) ++next;
        for (; next < count && int64_t(time[at(next)]) < b; ++next) {
            const int64_t t = time[at(next)];
            if (t > a) see(t - 1);
            see(t);
            // The entry's dot sits on the curve where its ramp ends, or at
            // the column's end when the ramp runs on past it.
            const int64_t reached = std::min(t + std::max<int64_t>(ramp[at(next)], 1), b) - 1;
            const double dot = see(reached);
            lane.entries.push_back({t, LevelTodB(level[at(next)]),
                                    double(t - windowStart) * columns / double(windowLength), dot});
        }
        if (b > a) see(b - 1);
        lane.lowdB[size_t(c)] = float(low);
        lane.highdB[size_t(c)] = float(high);
    }
    lane.edgedB[size_t(columns)] = float(walk.dBAt(windowStart + windowLength - 1));
    return lane;
}

std::vector<LevelLane> AutomationLanes(const LaneSource& src) {
    std::vector<LevelLane> lanes;
    const FaderTables& f = *src.faders;
    const VcaTables& v = *src.vcas;
    const Routing& rt = *src.routing;
    auto memberOf = [&](int slot) {
        const int n = rt.vcaMember[size_t(slot)];
        return n > 0 && n < kVcas && rt.vcaActive[size_t(n)] ? n : 0;
    };
    auto addSlot = [&](LaneKind kind, int number, int slot, bool played) {
        const int count = f.count[size_t(slot)];
        if (count <= 0) return;
        LevelLane lane = FaderLane(f.level.data(), f.time.data(), f.ramp.data(), f.shape.data(),
                                   count, slot, kSlots, src.windowStart, src.windowLength,
                                   src.columns);
        lane.kind = kind;
        lane.number = number;
        lane.played = played;
        lane.vca = memberOf(slot);
        lanes.push_back(std::move(lane));
    };
    for (int ch = 1; ch <= std::min(src.trackCount, kMaxChannels); ++ch)
        addSlot(LaneKind::Channel, ch, ch, src.channelActive && src.channelActive[ch] != 0);
    for (int k = 1; k < kBuses; ++k) {
        const int slot = kSubmixBase + k;
        addSlot(LaneKind::Submix, k, slot,
                src.settings->hasLevels[size_t(slot)] != 0 && rt.busActive[size_t(k)] != 0);
    }
    for (int n = 1; n < kVcas; ++n) {
        const int count = v.count[size_t(n)];
        if (count <= 0) continue;
        LevelLane lane = FaderLane(v.level.data(), v.time.data(), v.ramp.data(), v.shape.data(),
                                   count, n, kVcas, src.windowStart, src.windowLength,
                                   src.columns);
        lane.kind = LaneKind::Vca;
        lane.number = n;
        lane.played = rt.vcaActive[size_t(n)] != 0;
        lanes.push_back(std::move(lane));
    }
    addSlot(LaneKind::Master, 0, 0, src.settings->hasLevels[0] != 0);
    return lanes;
}

}  // namespace varnel
