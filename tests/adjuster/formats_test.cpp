#include <gtest/gtest.h>

#include <cmath>

#include "adjuster/formats.hpp"
#include "model_helpers.hpp"

using namespace ostrand;
using adjustertest::Parse;

namespace {

struct LineCase {
    float time;
    int fields;
    const char* expected;
};

std::string TimeLine(float time, int fields) {
    std::string text;
    AppendTimeLine(text, time, fields);
    return text;
}

std::string ByChannels(const FaderModel& m, int fields) {
    std::string text = "stale";
    Format1(m.times, m.levels, m.ramps, m.counts, text, fields, m.header);
    return text;
}

std::string ByTimes(const FaderModel& m, int fields) {
    std::string text = "stale";
    Format2(m.times, m.levels, m.ramps, m.counts, text, fields, m.header);
    return text;
}

}  // namespace

TEST(TimeLine, Layouts) {
    const LineCase cases[] = {
        {125.5f, 1, "\nt\t125.500\n"},
        {125.5f, 2, "\nt\t2\t5.500\n"},
        {125.5f, 3, "\nt\t2\t5\t500\n"},
        {59.9996f, 3, "\nt\t0\t59\t1000\n"},  // milliseconds round up
        {0.0005f, 1, "\nt\t0.001\n"},         // 0.0005f lies just above 0.0005
        {60.0f, 2, "\nt\t1\t0.000\n"},
        {-2.0f, 1, "\nt\t-2.000\n"},
        {-2.0f, 2, "\nt\t0\t-2.000\n"},       // below 60: no minutes
        {-2.5f, 3, "\nt\t0\t-2\t-500\n"},
        {3600.25f, 3, "\nt\t60\t0\t250\n"},
        {6e9f, 2, "\nt\t100000000\t0.000\n"},  // huge times split at once
    };
    for (const LineCase& c : cases)
        EXPECT_EQ(TimeLine(c.time, c.fields), c.expected) << c.time << " fields " << c.fields;
}

TEST(LevelLines, DesignatorsAndRamps) {
    std::string text;
    AppendLevelLines(text, 0, -3.0f, 0.0f);
    AppendLevelLines(text, 12, 1.005f, 2.5f);
    AppendLevelLines(text, kMasterSlot, -1.5f, 0.0f);
    AppendLevelLines(text, kMasterSlot + 8, -144.0f, 0.0005f);
    EXPECT_EQ(text,
              "v\t0\t-3.00\n"
              "v\t12\t1.00\nrmp\t2.500\n"  // 1.005f lies just below 1.005
              "v\tM\t-1.50\n"
              "v\tG\t8\t-144.00\nrmp\t0.001\n");
}

TEST(Formats, TwoChannelsAtOneTime) {
    auto m = Parse("begin\nt\t0\t4\t0\nv\t3\t-6\nv\t1\t-2\nrmp\t1\n", 3);
    EXPECT_EQ(ByTimes(*m, 3),
              "begin\n\n"
              "\nt\t0\t4\t0\nv\t1\t-2.00\nrmp\t1.000\nv\t3\t-6.00\n");
    EXPECT_EQ(ByChannels(*m, 3),
              "begin\n\n"
              "\nt\t0\t4\t0\nv\t1\t-2.00\nrmp\t1.000\n\n"
              "\nt\t0\t4\t0\nv\t3\t-6.00\n\n");
}

TEST(Formats, TimeOrderWritesEveryEntryWhateverItsTime) {
    // -2 s and an entry far after the others are both kept, in time order.
    auto m = Parse("begin\nt\t3\nv\t1\t0\nt\t-2\nv\t2\t-1\nt\t100000\nv\tM\t-3\nt\t3\nv\t0\t-4\n", 1);
    EXPECT_EQ(ByTimes(*m, 1),
              "begin\n\n"
              "\nt\t-2.000\nv\t2\t-1.00\n"
              "\nt\t3.000\nv\t0\t-4.00\nv\t1\t0.00\n"
              "\nt\t100000.000\nv\tM\t-3.00\n");
    EXPECT_EQ(ByChannels(*m, 1),
              "begin\n\n"
              "\nt\t3.000\nv\t0\t-4.00\n\n"
              "\nt\t3.000\nv\t1\t0.00\n\n"
              "\nt\t-2.000\nv\t2\t-1.00\n\n"
              "\nt\t100000.000\nv\tM\t-3.00\n\n");
}

TEST(Formats, NoEntriesGivesHeaderOnly) {
    auto m = Parse("begin\nend\n", 3);
    EXPECT_EQ(ByTimes(*m, 3), "begin\n\n");
    EXPECT_EQ(ByChannels(*m, 3), "begin\n\n");
}

TEST(Formats, ReadBackGivesTheSameEntries) {
    const char* source = "begin\nt\t1\t2\t500\nv\t4\t-3.25\nrmp\t0.75\nv\tG\t2\t-1\nt\t0\t0\t0\nv\tM\t0\n";
    for (int fields = 1; fields <= 3; ++fields) {
        auto m = Parse(source, 3);
        for (const std::string& text : {ByTimes(*m, fields), ByChannels(*m, fields)}) {
            auto again = Parse(text, fields);
            for (int slot = 0; slot < kSlotCount; ++slot) {
                ASSERT_EQ(again->counts[slot], m->counts[slot]) << slot;
                for (int i = 0; i < m->counts[slot]; ++i) {
                    EXPECT_EQ(again->times[slot][i], m->times[slot][i]);
                    EXPECT_EQ(again->levels[slot][i], m->levels[slot][i]);
                    EXPECT_EQ(again->ramps[slot][i], m->ramps[slot][i]);
                }
            }
        }
    }
}

TEST(TimeLine, HugeTimesSplitWithoutLooping) {
    // 1e30 s is far beyond any minute count a loop could reach.
    std::string line = TimeLine(1e30f, 3);
    EXPECT_EQ(line.rfind("\nt\t", 0), 0u);
    double minutes = 0, seconds = 0;
    SplitMinutes(static_cast<double>(1e30f), minutes, seconds);
    EXPECT_GE(seconds, 0.0);
    EXPECT_LT(seconds, 60.0);
    EXPECT_EQ(minutes, std::floor(static_cast<double>(1e30f) / 60.0));
}
