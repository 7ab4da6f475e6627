#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "adjuster/formats.hpp"
#include "adjuster/number_text.hpp"
#include "adjuster/operations.hpp"
#include "model_helpers.hpp"

using namespace ostrand;
using adjustertest::ByChannels;
using adjustertest::ByTimes;
using adjustertest::Parse;

namespace {

std::string TimeLineOf(double time, int fields) {
    std::string text;
    AppendTimeLine(text, time, fields);
    return text;
}

}  // namespace

TEST(TimeLine, Layouts) {
    struct LineCase {
        float time;
        int fields;
        const char* expected;
    };
    const LineCase cases[] = {
        {125.5f, 1, "\nt\t125.500\n"},
        {125.5f, 2, "\nt\t2\t5.500\n"},
        {125.5f, 3, "\nt\t2\t5\t500\n"},
        {59.9996f, 3, "\nt\t0\t59\t1000\n"},  // milliseconds round up in the plain layout
        {0.0005f, 1, "\nt\t0.001\n"},         // 0.0005f lies just above 0.0005
        {60.0f, 2, "\nt\t1\t0.000\n"},
        {-2.0f, 1, "\nt\t-2.000\n"},
        {-2.0f, 2, "\nt\t0\t-2.000\n"},  // below 60: no minutes
        {-2.5f, 3, "\nt\t0\t-2\t-500\n"},
        {3600.25f, 3, "\nt\t60\t0\t250\n"},
        {6e9f, 2, "\nt\t100000000\t0.000\n"},  // huge times split at once
    };
    for (const LineCase& c : cases)
        EXPECT_EQ(TimeLineOf(c.time, c.fields), c.expected) << c.time << " fields " << c.fields;
}

TEST(TimeLine, HugeTimesSplitWithoutLooping) {
    // 1e30 s is far beyond any minute count a loop could reach.
    std::string line = TimeLineOf(1e30, 3);
    EXPECT_EQ(line.rfind("\nt\t", 0), 0u);
    double minutes = 0, seconds = 0;
    SplitMinutes(1e30, minutes, seconds);
    EXPECT_GE(seconds, 0.0);
    EXPECT_LT(seconds, 60.0);
    EXPECT_EQ(minutes, std::floor(1e30 / 60.0));
}

TEST(NumberText, LayoutDecimalsOrWhatReadsBack) {
    struct Case {
        double value;
        int decimals;
        bool edited;
        const char* expected;
    };
    const Case cases[] = {
        {-3.0, 2, false, "-3.00"},
        {-3.1, 2, false, "-3.10"},
        {-3.125, 2, false, "-3.125"},  // more decimals rather than a rounded level
        {0.1 + 0.2, 2, false, "0.30000000000000004"},
        {0.1 + 0.2, 2, true, "0.30"},  // an edit's rounding noise is not kept
        {2.0, 3, false, "2.000"},
        {1.0 / 3.0, 3, true, "0.333333333333"},
        {1e-20, 2, false, "9.9999999999999995e-21"},  // an exponent, seventeen digits
    };
    for (const Case& c : cases) {
        std::string text = NumberText(c.value, c.decimals, c.edited);
        EXPECT_EQ(text, c.expected) << c.value;
    }
}

TEST(TimeFieldsFor, ReadsBackAsTheTime) {
    struct Case {
        double time;
        int fields;
        bool edited;
        const char* expected;
    };
    const double clock = 59.0 + static_cast<double>(999.6f) / 1000.0;  // "0 59 999.6" as read
    const Case cases[] = {
        {62.5, 3, false, "1\t2\t500"},
        {clock, 3, false, "0\t59\t999.6"},
        {1.5 + 2.0001, 3, true, "0\t3\t500.1"},
        {1.6, 1, true, "1.600"},  // one field is read in single precision: the closest
        {static_cast<double>(1.2345678f), 1, false, "1.2345678"},
        {125.25, 2, false, "2\t5.250"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TimeFieldsFor(c.time, c.fields, c.edited), c.expected) << c.time;
}

TEST(Formats, BothLayouts) {
    auto m = Parse(
        "begin\nt\t0\t4\t0\nv\t3\t-6\nv\t1\t-2\nrmp\t1\nt\t0\t9\t0\np\t1\t20\nvca\t2\t-1\n", 3);
    EXPECT_EQ(ByTimes(*m, 3),
              "begin\n"
              "\nt\t0\t4\t0\nv\t1\t-2.00\nrmp\t1.000\nv\t3\t-6.00\n"
              "\nt\t0\t9\t0\np\t1\t20\nvca\t2\t-1.00\n"
              "end\n");
    EXPECT_EQ(ByChannels(*m, 3),
              "begin\n"
              "\nt\t0\t4\t0\nv\t1\t-2.00\nrmp\t1.000\n\n"
              "\nt\t0\t9\t0\np\t1\t20\n\n"
              "\nt\t0\t4\t0\nv\t3\t-6.00\n\n"
              "\nt\t0\t9\t0\nvca\t2\t-1.00\n\n"
              "end\n");
}

TEST(Formats, KeptLinesComeFirstAndEndLast) {
    const std::string source =
        "Notes\nbegin\nsong\nsub\t1\t2\n\nv\t1\t-1\np\t2\t5\n\nt\t0\t1\t0\nv\t1\t-3\n"
        "hp\t2\t60\nt\t0\t2\t0\nrmp\t1\nv\t1\t-4\nofs\t0.25\nshape\t2\nrmp\t0.5\n"
        "end\nold stuff\n";
    auto m = Parse(source, 3);
    const std::string byTimes =
        "Notes\nbegin\nsong\nsub\t1\t2\n\nhp\t2\t60\n"
        "v\t1\t-1.00\np\t2\t5\n"  // above every time line: no time line of their own
        "\nt\t0\t1\t0\nv\t1\t-3.00\n"
        "\nt\t0\t2\t0\nv\t1\t-4.00\nofs\t0.250\nshape\t2\nrmp\t0.500\n"
        "end\nrmp\t1\nold stuff\n";  // the stray ramp is kept where it changes nothing
    EXPECT_EQ(ByTimes(*m, 3), byTimes);
    // Loading and saving again changes nothing more.
    EXPECT_EQ(ByTimes(*Parse(byTimes, 3), 3), byTimes);
    EXPECT_EQ(ByChannels(*Parse(ByChannels(*m, 3), 3), 3), ByChannels(*m, 3));
}

TEST(Formats, NoEntriesAndNoEnd) {
    EXPECT_EQ(ByTimes(*Parse("begin\nend\n", 3), 3), "begin\nend\n");
    EXPECT_EQ(ByChannels(*Parse("begin\nend", 3), 3), "begin\nend");
    EXPECT_EQ(ByTimes(*Parse("begin\nsong", 3), 3), "begin\nsong\nend\n");
    EXPECT_EQ(ByTimes(*Parse("", 3), 3), "end\n");
    // A file that starts with its time lines gets no blank line above them.
    EXPECT_EQ(ByTimes(*Parse("t\t0\t0\t0\nv\t1\t0\n", 3), 3), "t\t0\t0\t0\nv\t1\t0.00\nend\n");
}

TEST(Formats, LineEndsComeBackAsTheyWere) {
    const std::string source =
        "begin\r\nsong\r\n\r\nt\t0\t1\t0\r\nv\t1\t-3\r\nrmp\t2\r\nv\t2\t0\r\nend\r\n";
    auto m = Parse(source, 3);
    EXPECT_EQ(
        ByTimes(*m, 3),
        "begin\r\nsong\r\n\r\nt\t0\t1\t0\r\nv\t1\t-3.00\r\nrmp\t2.000\r\nv\t2\t0.00\r\nend\r\n");
    AdjustVolumes(*m, 1.0);
    EXPECT_EQ(ByChannels(*m, 1),
              "begin\r\nsong\r\n\r\nt\t1.000\r\nv\t1\t-2.00\r\nrmp\t2.000\r\n\r\n"
              "\r\nt\t1.000\r\nv\t2\t1.00\r\n\r\nend\r\n");
}

TEST(Formats, TimeLinesKeepWhatTheLayoutWouldChange) {
    // Bars and beats, seconds beyond 59, milliseconds that round: as written.
    const std::string source =
        "begin\nt\t1\t70\t0\nv\t1\t0\nt\t0\t59\t999.6\nv\t2\t0\nt\t2\t10\t0\nv\t3\t0\n";
    auto m = Parse(source, 3);
    EXPECT_EQ(ByTimes(*m, 3),
              "begin\n"
              "\nt\t0\t59\t999.6\nv\t2\t0.00\n"
              "\nt\t1\t70\t0\nv\t1\t0.00\n"  // 130 s, and kept apart from 2:10
              "\nt\t2\t10\t0\nv\t3\t0.00\n"
              "end\n");
    MoveTimes(*m, 1.0);
    EXPECT_EQ(ByTimes(*m, 3),
              "begin\n"
              "\nt\t1\t0\t999.6\nv\t2\t0.00\n"
              "\nt\t2\t11\t0\nv\t1\t0.00\nv\t3\t0.00\n"
              "end\n");
}

// Every entry differs from the others in its fader and in each value it
// carries, so a swapped field or a dropped entry shows: after each edit the
// entries hold what the edit makes of them, and so does each layout read back.
TEST(Formats, EachEditAndLayoutKeepsEveryField) {
    const char* source =
        "begin\nv\t127\t-7.5\n"
        "t\t0\t1\t250\nv\t4\t-3.25\nofs\t0.125\nrmp\t0.75\nv\tG\t8\t-1.5\nrmp\t1.25\np\t6\t-30\n"
        "t\t0\t2\t500\nvca\t8\t-2\nofs\t0.375\nrmp\t2.5\nv\tM\t1\npol\t5\t-1\n"
        "t\t1\t3\t750\nv\t1\t-9\nofs\t0.625\n";
    struct Edit {
        const char* name;
        EditOutcome (*edit)(FaderModel&, double);
        double amount;
    };
    const Edit edits[] = {{"none", nullptr, 0.0},
                          {"nudge", MoveTimes, 1.5},
                          {"scale", ScaleTimes, 2.5},
                          {"gain", AdjustVolumes, -1.25},
                          {"channel gain", AdjustChannelVolumes, 2.75}};
    const auto original = Parse(source, 3);
    for (const Edit& e : edits) {
        auto m = Parse(source, 3);
        if (e.edit) {
            ASSERT_FALSE(e.edit(*m, e.amount).refused) << e.name;
        }
        // What the edit makes of each entry of the original.
        std::vector<std::pair<int, Entry>> expected;
        for (int slot = 0; slot < kSlotCount; ++slot)
            for (Entry entry : original->rows[slot]) {
                const std::string name = e.name;
                const bool level = IsLevelEntry(entry);
                if (name == "nudge") entry.time += e.amount;
                if (name == "scale")
                    entry.time *= e.amount, entry.ramp *= e.amount, entry.offset *= e.amount;
                if (name == "gain" && level) entry.level += e.amount;
                if (name == "channel gain" && level && slot >= 1 && slot <= 127)
                    entry.level += e.amount;
                expected.push_back({slot, entry});
            }
        auto same = [&](const FaderModel& got, const std::string& how) {
            std::size_t k = 0;
            for (int slot = 0; slot < kSlotCount; ++slot)
                for (const Entry& entry : got.rows[slot]) {
                    ASSERT_LT(k, expected.size()) << how;
                    const auto& [wantSlot, want] = expected[k++];
                    EXPECT_EQ(slot, wantSlot) << how;
                    EXPECT_EQ(entry.kind, want.kind) << how << " slot " << slot;
                    EXPECT_NEAR(entry.time, want.time, 1e-4) << how << " slot " << slot;
                    EXPECT_NEAR(entry.level, want.level, 1e-9) << how << " slot " << slot;
                    EXPECT_NEAR(entry.ramp, want.ramp, 1e-9) << how << " slot " << slot;
                    EXPECT_NEAR(entry.offset, want.offset, 1e-9) << how << " slot " << slot;
                }
            EXPECT_EQ(k, expected.size()) << how;
        };
        same(*m, e.name);
        for (int fields = 1; fields <= 3; ++fields) {
            const std::string how = std::string(e.name) + ", fields " + std::to_string(fields);
            same(*Parse(ByTimes(*m, fields), fields), how + " by times");
            same(*Parse(ByChannels(*m, fields), fields), how + " by channels");
        }
    }
}
