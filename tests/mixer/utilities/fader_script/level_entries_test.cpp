#include <gtest/gtest.h>

#include "mixer/utilities/fader_script/level_entries.hpp"
#include "script_fixture.hpp"

using scripttest::DB;
using scripttest::Level;
using scripttest::Script;

TEST(LevelLines, DecibelAndPercentClamps) {
    Script s;
    ASSERT_EQ(s.Run("\nt\t0\t0\t0\nv\t1\t15\nv\t2\t-200\nv\tM\t-6\nv\tG\t2\t0\nv\t0\t0\nv\t3\t12.02\n"), 0);
    EXPECT_EQ(s.level(1, 0), 535562158);  // 12.02 dB
    EXPECT_EQ(s.level(3, 0), 535562158);  // the highest level, not warned about
    EXPECT_EQ(s.level(2, 0), Level(-144.0));
    EXPECT_EQ(s.level(0, 0), Level(-6.0));
    EXPECT_EQ(s.level(129, 0), 134217728);
    EXPECT_EQ(s.faders->count[0], 2);
    EXPECT_EQ(s.settings.hasLevels[0], 1);
    EXPECT_EQ(s.settings.hasLevels[129], 1);
    EXPECT_EQ(s.output, ">> Warning: fader 1 (entry 1) set above 12.02 dB\n");

    Script p;
    p.ctx.percentMode = true;
    ASSERT_EQ(p.Run("\nt\t0\t0\t0\nv\t1\t50\nv\t2\t450\nv\t3\t-1\n"), 0);
    EXPECT_EQ(p.level(1, 0), 67108864);
    EXPECT_EQ(p.level(2, 0), 4 * 134217728);
    EXPECT_EQ(p.level(3, 0), 0);
    EXPECT_EQ(p.output,
              ">> Warning: fader 2 (entry 1) set above 400 percent\n"
              ">> Warning: fader 3 (entry 1) set below 0 percent\n");
}

TEST(LevelLines, DesignatorsAndTheirRange) {
    struct Case {
        const char* designator;
        int slot;
        bool refused;  // reported, and the entry lands on the last slot
    };
    const Case cases[] = {{"127", 127, false}, {"128", 128, false}, {"G\t8", 135, false},
                          {"135", 135, false}, {"136", 135, true},  {"G\t9", 135, true},
                          {"-1", 135, true},   {"M", 0, false},     {"0", 0, false}};
    for (const Case& c : cases) {
        Script s;
        ASSERT_EQ(s.Run(std::string("\nt\t0\t0\t0\nv\t") + c.designator + "\t-6\n"), 0);
        EXPECT_EQ(s.faders->count[size_t(c.slot)], 1) << c.designator;
        EXPECT_EQ(s.level(c.slot, 0), Level(-6.0)) << c.designator;
        EXPECT_EQ(s.output, c.refused ? ">>Channel number out of range or not specified!\n" : "")
            << c.designator;
    }
}

TEST(RampLines, ChecksAndOffsets) {
    Script s;
    s.ctx.songLength = 48000 * 30;
    ASSERT_EQ(s.Run("\nt\t0\t0\t0\nv\t1\t0\nrmp\t1\nv\t2\t0\nv\t2\t-6\nrmp\t1\n"
                    "t\t0\t10\t0\nv\t1\t-6\nofs\t-0.5\nrmp\t2\nshape\t2\nshape\t0.1\n"
                    "t\t0\t29\t0\nv\t1\t0\nrmp\t2\nshape\t0.125\nshape\t9\n"
                    "vca\t8\t0\nt\t0\t29\t500\nvca\t8\t-6\nrmp\t2\n"),
              0);
    EXPECT_EQ(s.ramp(1, 0), 0);
    EXPECT_EQ(s.time(1, 1), 456000);           // moved to 9.5 s
    EXPECT_EQ(s.ramp(1, 1), 96000);
    EXPECT_EQ(s.shape(1, 1), 2.0f);
    EXPECT_EQ(s.ramp(1, 2), 48000);            // cut to the song's end
    EXPECT_EQ(s.shape(1, 2), 0.125f);           // the lowest shape; 0.1 and 9 are ignored
    EXPECT_EQ(s.vcas->count[8], 2);
    EXPECT_EQ(s.vcas->ramp[1 * 9 + 8], 24000);
    // A ramp at time 0 is refused, whichever entry it follows.
    EXPECT_EQ(s.output,
              "Error:  A ramp was found under an initial volume entry (channel 1).\n"
              "This is for initial volume only.\n"
              "Error:  A ramp was found under an initial volume entry (channel 2).\n"
              "This is for initial volume only.\n"
              "Adjusted volume ramp that exceeded song length (channel 1)\n"
              "Adjusted vca ramp that exceeded song length (channel 8)\n");
}

TEST(RampLines, AutomaticRampsAndLimiting) {
    const double span = std::fabs(DB(Level(-6.0)));  // 0 dB -> -6 dB
    struct Case {
        float dbps;
        int32_t expected;
    } cases[] = {{0.0f, int32_t(span * 250.0)}, {6.0f, int32_t(span * 8000.0)}};
    for (const Case& c : cases) {
        Script s;  // on channel 4, the last track
        s.ctx.dbps = c.dbps;
        ASSERT_EQ(s.Run("\nt\t0\t10\t0\nv\t4\t0\nt\t0\t20\t0\nv\t4\t-6\n"), 0);
        EXPECT_EQ(s.ramp(4, 0), 0);  // the first entry never ramps
        EXPECT_EQ(s.ramp(4, 1), c.expected);
    }
    EXPECT_EQ(int32_t(span * 250.0), 1500);

    Script cut;  // a ramp running into the next entry ends at its time
    ASSERT_EQ(cut.Run("\nt\t0\t0\t0\nv\t1\t0\nt\t0\t1\t0\nv\t1\t-6\nrmp\t2\nt\t0\t2\t0\nv\t1\t-12\nrmp\t0.5\n"), 0);
    EXPECT_EQ(cut.ramp(1, 1), 48000);
    EXPECT_EQ(cut.ramp(1, 2), 24000);
}

TEST(RampLines, OutOfOrderEntriesAreSorted) {
    Script s;
    ASSERT_EQ(s.Run("\nt\t0\t2\t0\nv\t1\t-6\nt\t0\t1\t0\nv\t1\t0\nv\t1\t-3\nt\t0\t3\t0\nv\t2\t0\n"), 0);
    EXPECT_EQ(s.time(1, 0), 48000);
    EXPECT_EQ(s.level(1, 0), Level(0));
    EXPECT_EQ(s.time(1, 1), 48000);
    EXPECT_EQ(s.level(1, 1), Level(-3));
    EXPECT_EQ(s.ramp(1, 0), 0);
    EXPECT_EQ(s.ramp(1, 1), int32_t(std::fabs(DB(Level(-3))) * 250.0));
    EXPECT_EQ(s.time(1, 2), 96000);
    EXPECT_EQ(s.level(1, 2), Level(-6));
    EXPECT_EQ(s.output,
              "Warning: the level entries of fader 1 were out of time order and have been sorted.\n");
}

TEST(StaticLines, TrimsScaleMasterTrimAndEffectGain) {
    Script s;
    ASSERT_EQ(s.Run("\nt\t0\t0\t0\nv\t1\t0\nv\t2\t0\nv\t3\t0\nv\tM\t0\n"
                    "trim\t1\t30\ntrim\t1\t6\ntrim\tM\t-6\ntrim\t3\t24\ntrim\t3\t0\n"
                    "scale\t9\nscale\t8\nscale\t0.5\nscale\t-1\nmtrim\t30\nmtrim\t-6\n"
                    "fxg\tM\t6\nfxg\t2\t30\n"),
              0);
    const double trim6 = std::pow(10.0, 0.3), half = 0.5, m6 = std::pow(10.0, -0.3);
    int32_t ch1 = int32_t(std::trunc(134217728.0 * trim6));
    ch1 = int32_t(std::trunc(ch1 * half));
    ch1 = int32_t(std::trunc(ch1 * m6));
    EXPECT_EQ(s.level(1, 0), ch1);
    EXPECT_EQ(s.level(2, 0), int32_t(std::trunc(int32_t(134217728 * half) * m6)));
    EXPECT_EQ(s.level(0, 0), int32_t(std::trunc(134217728.0 * m6)));  // master: its trim only
    EXPECT_DOUBLE_EQ(s.settings.postGain[0], std::pow(10.0, 0.3));
    EXPECT_TRUE(s.settings.masterHasEffects);
    EXPECT_EQ(s.settings.postGain[2], 1.0);
    EXPECT_EQ(s.output,
              "Channel 1 volume trim set above 24 dB. Trim bypassed.\n"
              "Scale function value is set above 8.  Scale bypassed\n"
              "Scale function value is zero or negative.  Scale bypassed\n"
              "Master Trim is set above allowed value of 24 dB\n Master trim bypassed\n");
}

TEST(StaticLines, PolarityPanChecksAndLevelCheck) {
    Script s;
    ASSERT_EQ(s.Run("\nt\t0\t0\t0\nv\t1\t12\nv\t2\t0\npol\t1\t-1\npol\t2\t2\np\t3\t150\n"
                    "trim\t1\t6\n"),
              0);
    EXPECT_EQ(s.settings.polarity[1], -1);
    EXPECT_EQ(s.settings.polarity[2], 1);
    EXPECT_EQ(s.settings.pan[3], 0);
    EXPECT_EQ(s.level(1, 0), 0);  // beyond +12.04 dB after the trim
    EXPECT_EQ(s.output,
              "Pan on channel 3 appears to be set wrong.  Setting to 0.\n"
              ">> Warning! Volume entry 1 on channel 1 is above +12 dB.  \nEntry reset to -144 dB\n");
}

TEST(PanGains, LawsBalanceAndDelayPan) {
    const float c3 = float(std::pow(10.0, -3.0 / 20.0));
    const float c602 = float(std::pow(10.0, double(-6.02f) / 20.0));
    struct Case {
        const char* prefs;
        int channels;
        int pan;
        int dp;
        float left, right;
    } cases[] = {
        {"", 2, 0, 0, 1.0f, 1.0f},
        {"", 2, 50, 0, 0.5f, 1.0f},
        {"", 2, -25, 0, 1.0f, 0.75f},
        {"", 1, 0, 0, c3, c3},
        {"", 1, 100, 0, 0.0f, float(double(c3) * std::pow(10.0, 3.0 / 20.0))},
        {"", 1, -50, 0, float(double(c3) * std::pow(10.0, 1.5 / 20.0)), c3 * 50.0f / 100.0f},
        {"pan\t6\n", 1, 0, 0, float(std::pow(10.0, -6.0 / 20.0)), float(std::pow(10.0, -6.0 / 20.0))},
        {"pan\t7\npan\t6\n", 1, 0, 0, c3, c3},  // out of range: 3 dB; only the first line counts
        {"pan\t6.02\n", 1, 0, 0, c602, c602},     // the highest law
        {"pan\t0\n", 1, 40, 0, 1.0f, 1.0f},
        {"", 1, 40, -30, 1.0f, 1.0f},
    };
    for (const Case& c : cases) {
        Script s;
        s.ctx.prefs = c.prefs;
        s.ctx.channels[1] = c.channels;
        std::string script = "\np\t1\t" + std::to_string(c.pan) + "\n";
        if (c.dp) script += "dp\t1\t" + std::to_string(c.dp) + "\n";
        ASSERT_EQ(s.Run(script), 0);
        EXPECT_EQ(s.settings.panLeft[1], c.left) << c.prefs << c.pan;
        EXPECT_EQ(s.settings.panRight[1], c.right) << c.prefs << c.pan;
        if (c.dp) {
            EXPECT_EQ(s.settings.pan[1], c.dp);
        }
    }
    EXPECT_NEAR(float(double(c3) * std::pow(10.0, 3.0 / 20.0)), 1.0f, 1e-7);
}
