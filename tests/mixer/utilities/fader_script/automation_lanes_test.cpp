#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "mixer/utilities/fader_script/automation_lanes.hpp"
#include "script_fixture.hpp"

using namespace varnel;
using scripttest::DB;
using scripttest::Level;

namespace {

constexpr int32_t kUnitInput = 524288;  // 2^19: a channel's output is then its level

}  // namespace

// The lane of a fader is the level the engine applies, sample for sample: a
// step, a linear ramp, a shaped ramp, silence and a short blip, mixed from
// inside the song.
TEST(AutomationLanes, FollowPlaybackAtEdgesAndInsideColumns) {
    scripttest::FaderEngine e;
    e.ctx.trackCount = 1;
    e.Add(1, 0, Level(0));
    e.Add(1, 10000, Level(-6));              // a step
    e.Add(1, 30000, Level(-20), 20000);      // a straight ramp
    e.Add(1, 60000, Level(0), 10000, 2.0f);  // a curved ramp
    e.Add(1, 80000, 0);                      // silence
    e.Add(1, 85000, Level(0));
    e.Add(1, 90000, Level(6));               // a 10-sample blip inside one column
    e.Add(1, 90010, Level(0));
    e.Add(1, 95000, Level(-10));             // two entries at one time: the later holds
    e.Add(1, 95000, Level(-12));
    const int64_t start = 5000, length = 100000;
    const int columns = 50;  // 2000 samples each
    LevelLane lane = FaderLane(e.t->level.data(), e.t->time.data(), e.t->ramp.data(),
                               e.t->shape.data(), e.t->count[1], 1, kSlots, start, length, columns);

    // Every sample changes sign, so the engine recomputes the level on each.
    e.Start(start);
    std::vector<int32_t> l(static_cast<size_t>(length)), r(static_cast<size_t>(length));
    for (size_t i = 0; i < l.size(); ++i) l[i] = r[i] = (i % 2) ? -kUnitInput : kUnitInput;
    AUTOMATE(e.st, start, int(length), 1, *e.t, e.pb, l.data(), r.data(), 1, 524288.0, 1.0f, 1.0f,
             nullptr, nullptr);
    auto played = [&](int64_t s) { return float(DB(std::abs(l[size_t(s - start)]))); };

    ASSERT_EQ(lane.edgedB.size(), size_t(columns) + 1);
    for (int c = 0; c < columns; ++c) {
        const int64_t a = start + int64_t(c) * length / columns, b = start + int64_t(c + 1) * length / columns;
        EXPECT_FLOAT_EQ(lane.edgedB[size_t(c)], played(a)) << "column " << c;
        float lo = played(a), hi = lo;
        for (int64_t s = a; s < b; ++s) {
            lo = std::min(lo, played(s));
            hi = std::max(hi, played(s));
        }
        EXPECT_FLOAT_EQ(lane.lowdB[size_t(c)], lo) << "column " << c;
        EXPECT_FLOAT_EQ(lane.highdB[size_t(c)], hi) << "column " << c;
    }
    EXPECT_FLOAT_EQ(lane.edgedB[size_t(columns)], played(start + length - 1));
    EXPECT_NEAR(lane.highdB[42], 6.0, 0.01);  // the blip at 90000 lies in column 42
    EXPECT_NEAR(lane.edgedB[42], 0.0, 0.01);
    EXPECT_NEAR(lane.edgedB[43], 0.0, 0.01);

    // The entry at 0 lies before the window; the rest are marked where they start.
    // Each dot sits on the curve where the entry's ramp ends, or at the end
    // of its column when the ramp runs on.
    const std::vector<int64_t> times = {10000, 30000, 60000, 80000, 85000, 90000, 90010, 95000, 95000};
    const std::vector<int64_t> dots = {10000, 30999, 60999, 80000, 85000, 90000, 90010, 95000, 95000};
    ASSERT_EQ(lane.entries.size(), times.size());
    for (size_t i = 0; i < times.size(); ++i) {
        EXPECT_EQ(lane.entries[i].time, times[i]);
        EXPECT_DOUBLE_EQ(lane.entries[i].column, double(times[i] - start) / 2000.0);
        EXPECT_FLOAT_EQ(float(lane.entries[i].dotdB), played(dots[i])) << i;
    }
    EXPECT_NEAR(lane.entries[8].dotdB, -12.0, 1e-6);
    EXPECT_NEAR(lane.entries[0].dB, -6.0, 1e-6);
    EXPECT_EQ(lane.entries[3].dB, -144.0);
}

// One lane per fader with entries, in order, each saying whether the mix
// plays it and which active VCA it follows.
TEST(AutomationLanes, OneLanePerFaderWithEntries) {
    scripttest::FaderEngine e;
    auto vcaEntry = [&](int v, int32_t time, int32_t level) {
        size_t i = size_t(e.vt->count[size_t(v)]++) * kVcas + size_t(v);
        e.vt->time[i] = time;
        e.vt->level[i] = level;
    };
    e.Add(1, 0, Level(0));
    e.Add(3, 0, Level(-3));
    e.Add(5, 0, Level(-3));  // beyond the track count
    e.Add(kSubmixBase + 2, 0, Level(0));
    e.Add(kSubmixBase + 3, 0, Level(0));
    e.Add(0, 0, Level(0));  // entries, but no master flag: not played
    vcaEntry(2, 0, Level(-1));
    vcaEntry(4, 0, Level(-1));
    FaderSettings settings;
    settings.hasLevels[kSubmixBase + 2] = settings.hasLevels[kSubmixBase + 3] = 1;
    Routing routing;
    routing.busActive[0] = routing.busActive[2] = 1;  // submix 3 is muted
    routing.vcaActive[2] = 1;                         // VCA 4 has no "VCA:" line
    routing.vcaMember[1] = 2;
    routing.vcaMember[3] = 4;
    int active[kChannelTable] = {0, 1, 1, 0, 1};

    LaneSource src{e.t.get(), e.vt.get(), &settings, &routing, active, 4, 0, 48000, 100};
    const std::vector<LevelLane> lanes = AutomationLanes(src);
    struct Want {
        LaneKind kind;
        int number;
        bool played;
        int vca;
    };
    const std::vector<Want> want = {
        {LaneKind::Channel, 1, true, 2},  {LaneKind::Channel, 3, false, 0},
        {LaneKind::Submix, 2, true, 0},   {LaneKind::Submix, 3, false, 0},
        {LaneKind::Vca, 2, true, 0},      {LaneKind::Vca, 4, false, 0},
        {LaneKind::Master, 0, false, 0}};
    ASSERT_EQ(lanes.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(lanes[i].kind, want[i].kind) << i;
        EXPECT_EQ(lanes[i].number, want[i].number) << i;
        EXPECT_EQ(lanes[i].played, want[i].played) << i;
        EXPECT_EQ(lanes[i].vca, want[i].vca) << i;
        EXPECT_EQ(lanes[i].edgedB.size(), 101u) << i;
    }
    EXPECT_NEAR(lanes[1].edgedB[50], -3.0, 1e-6);
    EXPECT_NEAR(lanes[4].edgedB[50], -1.0, 1e-6);  // read from the VCA tables
}
