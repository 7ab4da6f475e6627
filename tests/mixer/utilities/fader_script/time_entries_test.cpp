#include <gtest/gtest.h>

#include "script_fixture.hpp"

using scripttest::Level;
using scripttest::Script;

TEST(TimeLines, OneTwoAndThreeFields) {
    struct Case {
        const char* prefs;
        const char* line;
        int32_t expected;
    } cases[] = {
        {"tfields\t1\n", "t\t83.5\n", 4008000},          // 83.5 s
        {"tfields\t2\n", "t\t1\t30\n", 4320000},         // 90 s
        {"", "t\t1\t30\t250\n", 4332000},                // 90.25 s, three fields by default
        {"tfields\t7\n", "t\t0\t1\t500\n", 72000},       // out of range: 3 fields
        {"tfields\t1\n", "t\t0.7\n", 33599},             // 0.7 rounded to single precision first
    };
    for (const Case& c : cases) {
        Script s;
        s.ctx.prefs = c.prefs;
        ASSERT_EQ(s.Run(std::string("\nname\n") + c.line + "v\t1\t0\n"), 0) << c.line;
        EXPECT_EQ(s.time(1, 0), c.expected) << c.line;
    }
}

TEST(TimeLines, IncAndAutomationOffset) {
    Script s;
    s.ctx.prefs = "offset\t0\t0\t100\n";  // 100 ms
    ASSERT_EQ(s.Run("\nt\t0\t0\t0\nv\t1\t0\ninc\t1.5\nv\t1\t-6\ninc\t-0.25\nv\t2\t0\n"), 0);
    EXPECT_EQ(s.output, "Automation offset by 4800 samples.\n");
    EXPECT_EQ(s.time(1, 0), 4800);
    EXPECT_EQ(s.time(1, 1), 4800 + 72000);
    EXPECT_EQ(s.time(2, 0), 4800 + 72000 - 12000);

    Script x;
    x.ctx.prefs = "offset\txlink\n";
    x.ctx.inPoint = 3969000;
    ASSERT_EQ(x.Run("\nt\t0\t0\t0\nv\t1\t0\n"), 0);
    EXPECT_EQ(x.output, "Automation offset by 3969000 samples.\n");
    EXPECT_EQ(x.time(1, 0), 3969000);
}

TEST(TimeLines, FatalTimesEndWithStatus2) {
    Script late;
    late.ctx.songLength = 48000;
    EXPECT_EQ(late.Run("\nt\t0\t0\t0\nt\t0\t1\t0\nt\t0\t1\t1\n"), 2);
    EXPECT_EQ(late.output, "Error:  Time entry 3 exceeds song length\n");

    Script early;
    early.ctx.prefs = "offset\t0\t0\t-10\n";
    EXPECT_EQ(early.Run("\nt\t0\t0\t0\n"), 2);
    EXPECT_EQ(early.output,
              "Automation offset by -480 samples.\nError:  Time entry 1 is less than zero\n");

    Script offsetPast;  // an offset pushes a time near the end past it
    offsetPast.ctx.prefs = "offset\t0\t0\t100\n";
    offsetPast.ctx.prefs = "tfields\t1\noffset\t0\t0\t100\n";
    offsetPast.ctx.songLength = 48000;
    EXPECT_EQ(offsetPast.Run("\nt\t0.98\n"), 2);
}

TEST(TempoMap, BarsBeatsAndTicks) {
    Script s;
    s.ctx.tempoMode = true;
    const char* map = "\ntmap\t120\t4\t8\ntmap\t60\t3\t16\n";
    ASSERT_EQ(s.Run(std::string(map) +
                    "t\t1\t1\t0\nv\t1\t0\n"
                    "t\t3\t2\t240\nv\t1\t0\n"
                    "t\t9\t1\t0\nv\t1\t0\n"
                    "t\t10\t1\t0\nv\t1\t0\n"
                    "t\t10\t0\t0\nv\t1\t0\n"),
              0);
    EXPECT_EQ(s.time(1, 0), 0);
    EXPECT_EQ(s.time(1, 1), 2 * 4 * 24000 + 24000 + 12000);
    EXPECT_EQ(s.time(1, 2), 768000);
    EXPECT_EQ(s.time(1, 3), 768000 + 3 * 48000);
    EXPECT_EQ(s.time(1, 4), 768000 + 3 * 48000);  // beat 0 is the first beat too
}

TEST(TempoMap, Refusals) {
    Script none;
    none.ctx.tempoMode = true;
    EXPECT_EQ(none.Run("\nt\t1\t1\t0\n"), 2);
    EXPECT_EQ(none.output, "Tempo mode is on, but no tempos or meters have been entered!\n");

    Script zero;
    zero.ctx.tempoMode = true;
    EXPECT_EQ(zero.Run("\ntmap\t120\t4\t8\ntmap\t0\t4\t8\n"), 2);
    EXPECT_EQ(zero.output, "Error:  Tempo map line 3 has no usable tempo, meter or length.\n");

    Script bar0;  // the default file's time line in tempo mode
    bar0.ctx.tempoMode = true;
    EXPECT_EQ(bar0.Run("\ntmap\t120\t4\t8\nt\t0\t0\t0\n"), 2);
    EXPECT_EQ(bar0.output, "Error:  Time entry 1 is less than zero\n");
}
