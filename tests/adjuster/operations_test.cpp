#include <gtest/gtest.h>

#include "adjuster/operations.hpp"
#include "model_helpers.hpp"

using namespace ostrand;
using adjustertest::Parse;

namespace {

// Every kind of time-bound entry: channel levels with a ramp and an offset,
// a pan, a polarity, the master, a submix, VCAs, and an entry above the
// first time line.
const char* kEveryKind =
    "begin\nv\t4\t-1\n"
    "t\t10\nv\t2\t-3\nofs\t0.5\nrmp\t1.5\np\t3\t20\nvca\t1\t-2\nrmp\t4\n"
    "t\t20.25\nv\t2\t-6\npol\t5\t-1\nv\tM\t-4\nv\tG\t1\t0\nvca\t9\t-1\n";

struct Snapshot {
    double time, level, ramp, offset;
};

Snapshot At(const FaderModel& m, int slot, std::size_t i) {
    const Entry& e = m.rows[slot][i];
    return {e.time, e.level, e.ramp, e.offset};
}

}  // namespace

TEST(FindTimes, FirstAndLast) {
    auto m = Parse("begin\nt\t10\nv\t2\t-3\nt\t20.25\np\t2\t5\nt\t4\nv\tG\t1\t0\n", 1);
    double last = FindMax(*m);
    EXPECT_EQ(last, 20.25);
    EXPECT_EQ(FindMin(*m, last), 4.0);
    auto empty = Parse("begin\nend\n", 3);
    EXPECT_EQ(FindMax(*empty), 0.0);
    EXPECT_EQ(FindMin(*empty, 0.0), 0.0);
}

TEST(Edits, EveryEntryMovesTogether) {
    auto m = Parse(kEveryKind, 1);
    EditOutcome moved = MoveTimes(*m, 1.5);
    EXPECT_FALSE(moved.refused);
    EXPECT_EQ(moved.entries, 9);
    for (int slot = 0; slot < kSlotCount; ++slot)
        for (const Entry& e : m->rows[slot]) EXPECT_EQ(e.edited & kTimeEdited, kTimeEdited) << slot;
    EXPECT_EQ(m->rows[4][0].time, 1.5);  // above the first time line: at 0
    EXPECT_EQ(m->rows[2][0].time, 11.5);
    EXPECT_EQ(m->rows[2][0].ramp, 1.5);  // ramps and offsets stay
    EXPECT_EQ(m->rows[2][0].offset, 0.5);
    EXPECT_EQ(m->rows[3][0].time, 11.5);  // the pan
    EXPECT_EQ(m->rows[kFirstVcaSlot + 1][0].time, 11.5);
    EXPECT_EQ(m->rows[5][0].time, 21.75);  // the polarity
    EXPECT_EQ(m->rows[kFirstVcaSlot][0].time, 21.75);

    EditOutcome scaled = ScaleTimes(*m, 2.0);
    EXPECT_EQ(scaled.entries, 9);
    EXPECT_EQ(scaled.ramps, 3);
    EXPECT_EQ(m->rows[2][0].time, 23.0);
    EXPECT_EQ(m->rows[2][0].ramp, 3.0);
    EXPECT_EQ(m->rows[2][0].offset, 1.0);
    EXPECT_EQ(m->rows[kFirstVcaSlot + 1][0].ramp, 8.0);
    EXPECT_EQ(m->rows[kMasterSlot][0].time, 43.5);
    EXPECT_EQ(m->rows[kMasterSlot][0].edited & kRampEdited, 0);  // no ramp to scale
}

TEST(Edits, LevelsOfEveryFaderOrOfChannelsOnly) {
    auto m = Parse(kEveryKind, 1);
    EditOutcome channels = AdjustChannelVolumes(*m, -3.0);
    EXPECT_EQ(channels.entries, 3);  // channel 4 and both entries of channel 2
    EXPECT_EQ(m->rows[4][0].level, -4.0);
    EXPECT_EQ(m->rows[2][1].level, -9.0);
    EXPECT_EQ(m->rows[kMasterSlot][0].level, -4.0);
    EXPECT_EQ(m->rows[kFirstSubmixSlot][0].level, 0.0);
    EXPECT_EQ(m->rows[kFirstVcaSlot + 1][0].level, -2.0);
    EXPECT_EQ(m->rows[kFirstVcaSlot + 1][0].edited, 0);

    EditOutcome every = AdjustVolumes(*m, 1.25);
    EXPECT_EQ(every.entries, 7);  // pans and polarities have no level
    EXPECT_EQ(m->rows[4][0].level, -2.75);
    EXPECT_EQ(m->rows[kMasterSlot][0].level, -2.75);
    EXPECT_EQ(m->rows[kFirstSubmixSlot][0].level, 1.25);
    EXPECT_EQ(m->rows[kFirstVcaSlot + 1][0].level, -0.75);
    EXPECT_EQ(m->rows[kFirstVcaSlot][0].level, 0.25);
    EXPECT_EQ(m->rows[2][0].time, 10.0);
    EXPECT_EQ(m->rows[2][0].edited, kLevelEdited);
    // Channel 0 is the mixer's master slot, not a channel.
    auto zero = Parse("begin\nt\t1\nv\t0\t-1\n", 1);
    EXPECT_EQ(AdjustChannelVolumes(*zero, 2.0).entries, 0);
}

TEST(Edits, OutOfRangeResultsAreRefusedWhole) {
    struct Case {
        const char* name;
        EditOutcome (*edit)(FaderModel&, double);
        double amount;
        bool refused;
        const char* reason;
    };
    // Times 10 (ramp 1.5, offset 0.5), 20.25 and 0; level -6 the lowest, 0 the highest.
    const Case cases[] = {
        {"nudge to 0", MoveTimes, 0.0, false, ""},
        {"nudge below 0", MoveTimes, -0.001, true,
         "Refused: a time would become -0.001 s; times must lie between 0 and 10000000 s."},
        {"nudge to the limit", MoveTimes, 1e7 - 20.25, false, ""},
        {"nudge beyond", MoveTimes, 1e7 - 20.0, true,
         "Refused: a time would become 10000000.250 s; times must lie between 0 and 10000000 s."},
        {"scale near the limit", ScaleTimes, 493827.0, false, ""},
        {"scale beyond", ScaleTimes, 1e7 / 20.0, true,
         "Refused: a time would become 10125000.000 s; times must lie between 0 and 10000000 s."},
        {"gain to the limit", AdjustVolumes, -994.0, false, ""},
        {"gain beyond", AdjustVolumes, -994.5, true,
         "Refused: a level would become -1000.50 dB; levels must lie between -1000 and 1000 dB."},
        {"gain up to the limit", AdjustVolumes, 1000.0, false, ""},
        {"channel gain beyond", AdjustChannelVolumes, 1006.5, true,
         "Refused: a level would become 1000.50 dB; levels must lie between -1000 and 1000 dB."},
    };
    for (const Case& c : cases) {
        auto m =
            Parse("begin\nv\t1\t-6\nt\t10\nv\t2\t-3\nofs\t0.5\nrmp\t1.5\nt\t20.25\nv\tM\t0\n", 1);
        Snapshot before = At(*m, 2, 0);
        EditOutcome outcome = c.edit(*m, c.amount);
        EXPECT_EQ(outcome.refused, c.refused) << c.name;
        EXPECT_EQ(outcome.reason, c.reason) << c.name;
        Snapshot after = At(*m, 2, 0);
        if (c.refused) {
            EXPECT_EQ(after.time, before.time) << c.name;
            EXPECT_EQ(after.level, before.level) << c.name;
            EXPECT_EQ(m->rows[2][0].edited, 0) << c.name;
        }
    }
}
