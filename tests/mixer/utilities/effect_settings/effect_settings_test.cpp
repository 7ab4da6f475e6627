#include "mixer/utilities/effect_settings/effect_settings.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

using namespace varnel;

namespace {

struct Options {
    uint32_t rate = 44100;
    bool percent = false;
    int verbosity = 1;
    int tracks = 127;
    bool masterFxg = false;
    std::string prefs;
    bool mixDirSet = false;
    std::string mixDir;
};

struct Result {
    std::unique_ptr<EffectSettings> fx = std::make_unique<EffectSettings>();
    std::string out;
};

Result Read(const std::string& faders, const Options& o = Options()) {
    Result r;
    testing::internal::CaptureStdout();
    ReadEffectSettings(faders, o.prefs, o.rate, o.percent, o.verbosity, o.tracks, o.masterFxg,
                       o.mixDirSet, o.mixDir, *r.fx);
    r.out = testing::internal::GetCapturedStdout();
    return r;
}

constexpr double k2Pi = 6.283185307179586;
constexpr const char* kSlotMessage = ">>Channel number out of range or not specified!\n";

}  // namespace

TEST(EffectSettings, DefaultsWithoutLines) {
    Result r = Read("\nmix\nv\t1\t0\nend\n");
    const EffectSettings& fx = *r.fx;
    for (int s = 0; s < kFxSlots; ++s) {
        ASSERT_EQ(fx.compOn[s], 0);
        ASSERT_EQ(fx.compThresh[s], 8388608);
        ASSERT_EQ(fx.rmsThresh[s], 8388608);
        ASSERT_EQ(fx.nlcThresh[s], 8388608);
        ASSERT_EQ(fx.limThresh[s], 8388608);
        ASSERT_EQ(fx.hasEffects[s], 0);
        for (int e = 0; e < kChainEffects; ++e) {
            ASSERT_EQ(fx.position[e][s], 11);
            ASSERT_FALSE(EffectEnabled(fx, e, s));
        }
    }
    EXPECT_EQ(fx.master.anyEffect, 0);
    const ReverbSettings& rv = fx.reverb;
    EXPECT_EQ(rv.roomSize, 75.0f);
    EXPECT_EQ(rv.tapSize, 75.0f);
    EXPECT_EQ(rv.tapCount, 1);
    EXPECT_EQ(rv.posX, 37.0f);
    EXPECT_EQ(rv.posY, 39.0f);
    EXPECT_EQ(rv.posZ, 43.0f);
    EXPECT_EQ(rv.width, 50.0f);
    EXPECT_EQ(rv.roomActive + rv.tapActive + rv.rhpOn + rv.rlpOn + rv.tapMode, 0);
    EXPECT_EQ(r.out, "");
}

TEST(EffectSettings, CompressorTimesInSamples) {
    Result r = Read("\ncomp\t1\t-10\t0\t0\t2\ncomp\t2\t-10\t5000\t9000\t2\n"
                    "rms\t3\t-10\t10\t100\t0\nrms\t4\t-10\t-5\t5\t60\n");
    const EffectSettings& fx = *r.fx;
    EXPECT_EQ(fx.compOn[1], 1);
    EXPECT_EQ(fx.compAttack[1], 1);
    EXPECT_EQ(fx.compRelease[1], 10);
    EXPECT_EQ(fx.compAttack[2], 88200);
    EXPECT_EQ(fx.compRelease[2], 220500);
    EXPECT_EQ(fx.compRatio[2], 2.0);
    EXPECT_EQ(fx.rmsOn[3], 1);
    EXPECT_EQ(fx.rmsAttack[3], 441);    // 44.1 samples per ms
    EXPECT_EQ(fx.rmsRelease[3], 4410);
    EXPECT_EQ(fx.rmsRatio[3], 1.0);     // zero ratio
    EXPECT_EQ(fx.rmsAttack[4], 1);
    EXPECT_EQ(fx.rmsRelease[4], 220);
    EXPECT_EQ(fx.rmsRatio[4], 50.0);
}

TEST(EffectSettings, ThresholdsInSlotScale) {
    Result r = Read("\ncomp\t1\t3\t1\t20\t2\ncomp\tM\t3\t1\t20\t2\ncomp\t2\t-200\t1\t20\t2\n"
                    "comp\t3\t-144\t1\t20\t2\ncomp\tG\t1\t-6\t1\t20\t2\ncomp\t4\t-6\t1\t20\t2\n"
                    "lim\tM\t-200\n");
    const EffectSettings& fx = *r.fx;
    EXPECT_EQ(fx.compThresh[1], 8388608);
    EXPECT_EQ(fx.compThresh[0], 2147483647);
    EXPECT_EQ(fx.compThresh[2], 0);
    EXPECT_EQ(fx.compThresh[3], 0);
    EXPECT_EQ(fx.compThresh[4], 4204263);              // trunc(10^-0.3 * 2^23)
    EXPECT_EQ(fx.compThresh[128], 4204263 * 256 - 1);
    EXPECT_EQ(fx.limThresh[0], -1);                    // 0 * 256 - 1
}

TEST(EffectSettings, PercentThresholds) {
    Options o;
    o.percent = true;
    Result r = Read("\nlim\t1\t50\nlim\tM\t50\nlim\t2\t150\nlim\tG\t8\t100\n", o);
    EXPECT_EQ(r.fx->limThresh[1], 4194304);
    EXPECT_EQ(r.fx->limThresh[0], 1073741823);
    EXPECT_EQ(r.fx->limThresh[2], 8388608);
    EXPECT_EQ(r.fx->limThresh[135], 2147483647);
}

TEST(EffectSettings, NlcAndLimiter) {
    Result r = Read("\nnlc\t5\t-6\t256.7\t0\nnlc\t6\t-6\t-3\t70\nlim\t7\t0\n");
    const EffectSettings& fx = *r.fx;
    EXPECT_EQ(fx.nlcOn[5], 1);
    EXPECT_EQ(fx.nlcWindow[5], 256);
    EXPECT_EQ(fx.nlcRatio[5], 1.0);
    EXPECT_EQ(fx.nlcWindow[6], -3);
    EXPECT_EQ(fx.nlcRatio[6], 50.0);
    EXPECT_EQ(fx.nlcThresh[5], 4204263);
    EXPECT_EQ(fx.limOn[7], 1);
    EXPECT_EQ(fx.limThresh[7], 8388608);
}

TEST(EffectSettings, SendLevels) {
    Options pct;
    pct.percent = true;
    Result p = Read("\nrev\t1\t150\nrev\t2\t-5\ntrev\t3\t40\n", pct);
    EXPECT_EQ(p.fx->revOn[1], 1);
    EXPECT_EQ(p.fx->revLevel[1], 1.0f);
    EXPECT_EQ(p.fx->revLevel[2], 0.0f);
    EXPECT_EQ(p.fx->trevOn[3], 1);
    EXPECT_EQ(p.fx->trevLevel[3], 0.4f);
    Result d = Read("\nrev\t1\t6\nrev\t2\t-6\ntrev\t3\t-200\n");
    EXPECT_EQ(d.fx->revLevel[1], 1.0f);
    EXPECT_EQ(d.fx->revLevel[2], float(std::pow(10.0, -0.3)));
    EXPECT_EQ(d.fx->trevLevel[3], float(std::pow(10.0, -7.2)));
    EXPECT_EQ(d.fx->reverb.roomActive, 0);  // channel sends alone activate nothing
}

TEST(EffectSettings, Band2OfSubmix3) {
    Result r = Read("\nband2\tG\t3\t1000\t20\t0.7\n");
    const EffectSettings& fx = *r.fx;
    EXPECT_EQ(fx.eqOn[2][130], 1);
    EXPECT_TRUE(EffectEnabled(fx, kBand2, 130));
    EXPECT_EQ(fx.hasEffects[130], 1);
    double A = std::pow(10.0, 15.0 / 40.0), w = k2Pi * 1000.0 / 44100.0;
    double al = std::sin(w) / 1.4, a0 = 1 + al / A;
    const Biquad& b = fx.eq[2][130];
    EXPECT_DOUBLE_EQ(b.b0, (1 + al * A) / a0);
    EXPECT_DOUBLE_EQ(b.b1, -2 * std::cos(w) / a0);
    EXPECT_DOUBLE_EQ(b.b2, (1 - al * A) / a0);
    EXPECT_DOUBLE_EQ(b.a1, -2 * std::cos(w) / a0);
    EXPECT_DOUBLE_EQ(b.a2, (1 - al / A) / a0);
}

TEST(EffectSettings, ShelvesAndHighPass) {
    Result r = Read("\nhshelf\t1\t8000\t-4\t1\nlshelf\t1\t100\t-30\t0\nhp\t2\t100\nhp\t3\t0\n");
    const EffectSettings& fx = *r.fx;
    EXPECT_EQ(fx.eqOn[5][1], 1);
    EXPECT_EQ(fx.eqOn[6][1], 1);
    double A = std::pow(10.0, -4.0 / 40.0), w = k2Pi * 8000.0 / 44100.0;
    double al = std::sin(w) / 2.0, c = std::cos(w), s = 2 * std::sqrt(A) * al;
    EXPECT_DOUBLE_EQ(fx.eq[5][1].b0, A * ((A + 1) + (A - 1) * c + s) / ((A + 1) - (A - 1) * c + s));
    // low shelf: gain -15 dB, Q 0.01
    double A6 = std::pow(10.0, -15.0 / 40.0), w6 = k2Pi * 100.0 / 44100.0;
    double al6 = std::sin(w6) / 0.02, c6 = std::cos(w6), s6 = 2 * std::sqrt(A6) * al6;
    EXPECT_DOUBLE_EQ(fx.eq[6][1].a2, ((A6 + 1) + (A6 - 1) * c6 - s6) / ((A6 + 1) + (A6 - 1) * c6 + s6));
    double rc = 1.0 / (k2Pi * 100.0);
    EXPECT_DOUBLE_EQ(fx.hpInput[2], rc / (rc + 1.0 / 44100.0));
    EXPECT_DOUBLE_EQ(fx.hpFeedback[2], 43700.0 / 44100.0);
    EXPECT_DOUBLE_EQ(fx.hpFeedback[3], 44096.0 / 44100.0);  // 0 Hz read as 1 Hz
}

TEST(EffectSettings, DesignFrequencyKeptBelowHalfRate) {
    Result r = Read("\nhp\t1\t30000\nband3\t2\t22050\t3\t1\n");
    EXPECT_EQ(r.out, "Resetting hp frequency to 19845 Hz\nResetting band3 frequency to 19845 Hz\n");
    EXPECT_DOUBLE_EQ(r.fx->hpFeedback[1], (44100.0 - 4 * 19845.0) / 44100.0);
    for (double v : {r.fx->eq[3][2].b0, r.fx->eq[3][2].a1, r.fx->eq[3][2].a2})
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_LT(r.fx->eq[3][2].a2, 1.0);
}

TEST(EffectSettings, OutOfRangeChannels) {
    Result r = Read("\ncomp\t200\t-10\t1\t20\t2\ncomp\t-1\t-12\t1\t20\t3\n");
    EXPECT_EQ(r.out, std::string(kSlotMessage) + kSlotMessage);
    EXPECT_EQ(r.fx->compOn[135], 1);
    EXPECT_EQ(r.fx->compRatio[135], 3.0);
}

TEST(EffectSettings, ReverbReturns) {
    Result r = Read("\nrtn\t-6\t100\ntrtn\t0\t60\t5\n");
    const ReverbSettings& rv = r.fx->reverb;
    EXPECT_EQ(rv.roomInput, float(std::pow(10.0, -0.3)));
    EXPECT_EQ(rv.roomSize, 100.0f);
    EXPECT_EQ(rv.roomActive, 1);
    EXPECT_EQ(rv.tapInput, 1.0f);
    EXPECT_EQ(rv.tapSize, 60.0f);
    EXPECT_EQ(rv.tapCount, 5);
    EXPECT_EQ(rv.tapActive, 1);
    Result hi = Read("\nrtn\t12\t80\nrtn\t6\t90\n");
    EXPECT_EQ(hi.fx->reverb.roomInput, 1.0f);  // limited after all lines
    EXPECT_EQ(hi.fx->reverb.roomSize, 90.0f);
    Options pct;
    pct.percent = true;
    Result p = Read("\nrtn\t50\t80\ntrtn\t-20\t70\t2\n", pct);
    EXPECT_EQ(p.fx->reverb.roomInput, 0.5f);
    EXPECT_EQ(p.fx->reverb.tapInput, 0.0f);
}

TEST(EffectSettings, ReverbFilterResets) {
    struct Case { const char* line; const char* msg; int rhp; double freq; } cases[] = {
        {"rhp\t5", "Resetting reverb high pass to 20 Hz\n", 1, 20.0},
        {"rhp\t13000", "Resetting reverb high pass to 12000 Hz\n", 1, 12000.0},
        {"rhp\t200", "", 1, 200.0},
        {"rlp\t300", "Resetting reverb low pass to 500 Hz\n", 0, 500.0},
        {"rlp\t20000", "Resetting reverb low pass to 16000 Hz\n", 0, 16000.0},
    };
    for (const auto& c : cases) {
        Result r = Read(std::string("\n") + c.line + "\n");  // verbosity 1: printed anyway
        EXPECT_EQ(r.out, c.msg) << c.line;
        const ReverbSettings& rv = r.fx->reverb;
        if (c.rhp) {
            EXPECT_EQ(rv.rhpOn, 1);
            EXPECT_EQ(rv.rhpFreq, c.freq);
            double w = k2Pi * c.freq / 44100.0, cs = std::cos(w), a0 = 1 + std::sin(w) / 2;
            EXPECT_DOUBLE_EQ(rv.rhp.b1, -(1 + cs) / a0);
        } else {
            EXPECT_EQ(rv.rlpOn, 1);
            EXPECT_EQ(rv.rlpFreq, c.freq);
            double w = k2Pi * c.freq / 44100.0, cs = std::cos(w), a0 = 1 + std::sin(w) / 2;
            EXPECT_DOUBLE_EQ(rv.rlp.b1, (1 - cs) / a0);
        }
    }
    Options low;
    low.rate = 16000;
    Result r = Read("\nrhp\t12000\nrlp\t16000\n", low);
    EXPECT_EQ(r.out, "Resetting reverb high pass to 7200 Hz\nResetting reverb low pass to 7200 Hz\n");
    EXPECT_EQ(r.fx->reverb.rlpFreq, 7200.0);
    EXPECT_LT(r.fx->reverb.rlp.a2, 1.0);
}

TEST(EffectSettings, PlacementAndWidth) {
    Result r = Read("\npos\t120\t-5\t50\nwidth\t80\n");
    EXPECT_EQ(r.fx->reverb.posX, 100.0f);
    EXPECT_EQ(r.fx->reverb.posY, 0.0f);
    EXPECT_EQ(r.fx->reverb.posZ, 50.0f);
    EXPECT_EQ(r.fx->reverb.width, 80.0f);
}

TEST(EffectSettings, TapPreference) {
    struct Case { const char* faders; const char* prefs; bool dir; int mode; const char* name; } cases[] = {
        {"\nrtn\t0\t75\n", "\ntap\trev\n", true, 1, "out/revTap.wav"},
        {"\nrtn\t0\t75\n", "\ntap\trev\ntap\trtn\n", false, 2, "rtnTap.wav"},
        {"\nrev\tM\t0\n", "\ntap\trtn\n", false, 2, "rtnTap.wav"},
        {"\nrtn\t0\t75\n", "\ntap\trev\ntap\txyz\n", false, 1, "revTap.wav"},
        {"\nrtn\t0\t75\n", "\ntap\txyz\n", false, 0, ""},
        {"\ntrtn\t0\t75\t2\n", "\ntap\trev\n", false, 0, ""},  // room reverb not active
        {"\nrtn\t0\t75\n", "\nend\ntap\trev\n", false, 0, ""},
    };
    for (const auto& c : cases) {
        Options o;
        o.prefs = c.prefs;
        o.mixDirSet = c.dir;
        o.mixDir = "out/";
        Result r = Read(c.faders, o);
        EXPECT_EQ(r.fx->reverb.tapMode, c.mode) << c.faders << c.prefs;
        EXPECT_EQ(r.fx->reverb.tapFileName, c.name) << c.faders << c.prefs;
    }
}

TEST(EffectSettings, OrderLines) {
    Result r = Read("\nhp\t4\t100\ncomp\t4\t-10\t1\t20\t2\norder\tcomp\t4\t1\norder\tlim\tM\t0\n");
    EXPECT_EQ(r.fx->position[kComp][4], 1);
    EXPECT_EQ(r.fx->position[kHp][4], 11);
    EXPECT_EQ(r.fx->position[kLim][0], 0);
    EXPECT_EQ(r.fx->compOn[4], 1);
    EXPECT_EQ(r.fx->compThresh[4], 2652710);  // -10 dB from the effect line, not 1 from the order line
}

TEST(EffectSettings, OrderLineMends) {
    // "ofs" without its value, then an effect line; a mix name beginning with "o".
    Result r = Read("outro\ncomp\t1\t-10\t1\t20\t2\nofs\ncomp\t3\t-10\t10\t100\t4\n"
                    "order\tcomp\t5\t2\n");
    EXPECT_EQ(r.fx->compOn[1], 1);
    EXPECT_EQ(r.fx->compOn[3], 1);
    EXPECT_EQ(r.fx->compOn[5], 0);
    EXPECT_EQ(r.fx->compRatio[3], 4.0);
    EXPECT_EQ(r.fx->position[kComp][1], 11);
    EXPECT_EQ(r.fx->position[kComp][3], 11);
    EXPECT_EQ(r.fx->position[kComp][5], 2);
}

TEST(EffectSettings, ProgressMessages) {
    const std::string groups =
        "Reading effect settings...\n"
        "\tReading peak compressor settings...\n"
        "\tReading NLC compressor settings...\n"
        "\tReading high pass filter settings...\n"
        "\tReading band 1-4 EQ settings...\n"
        "\tReading high and low shelf EQ settings...\n"
        "\tReading reverb settings...\n";
    struct Case { int verbosity; std::string out; } cases[] = {
        {0, ""}, {1, ""}, {2, "Reading effect settings...\n"}, {3, groups},
        {4, "Reading effect settings...\n"},
    };
    for (const auto& c : cases) {
        Options o;
        o.verbosity = c.verbosity;
        EXPECT_EQ(Read("\nmix\n", o).out, c.out) << c.verbosity;
    }
    Options o;
    o.verbosity = 3;
    EXPECT_EQ(Read("\nrhp\t5\n", o).out, groups + "Resetting reverb high pass to 20 Hz\n");
}

TEST(EffectSettings, HasEffectsFlags) {
    Options o;
    o.tracks = 3;
    Result r = Read("\nhp\t2\t100\ncomp\t5\t-3\t1\t20\t2\nlim\tG\t1\t-1\nrev\t3\t-6\n"
                    "nlc\tG\t8\t-6\t10\t2\nlim\tM\t-1\n", o);
    const EffectSettings& fx = *r.fx;
    EXPECT_EQ(fx.hasEffects[1], 0);
    EXPECT_EQ(fx.hasEffects[2], 1);
    EXPECT_EQ(fx.hasEffects[3], 0);  // a send is not a chain effect
    EXPECT_EQ(fx.hasEffects[5], 0);  // beyond the track count
    EXPECT_EQ(fx.hasEffects[128], 1);
    EXPECT_EQ(fx.hasEffects[135], 1);
    EXPECT_EQ(fx.hasEffects[129], 0);
    EXPECT_EQ(fx.hasEffects[0], 0);  // the master has its own flags
}

TEST(EffectSettings, MasterFlags) {
    struct Case { const char* line; int MasterFlags::*flag; } cases[] = {
        {"comp\tM\t-3\t1\t20\t2", &MasterFlags::comp}, {"rms\tM\t-3\t1\t20\t2", &MasterFlags::rms},
        {"nlc\tM\t-3\t10\t2", &MasterFlags::nlc},      {"lim\tM\t-1", &MasterFlags::lim},
        {"hp\tM\t30", &MasterFlags::hp},               {"hshelf\tM\t8000\t2\t1", &MasterFlags::hshelf},
        {"lshelf\tM\t80\t2\t1", &MasterFlags::lshelf}, {"rev\tM\t0", &MasterFlags::rev},
        {"trev\tM\t0", &MasterFlags::trev},
    };
    for (const auto& c : cases) {
        Result r = Read(std::string("\n") + c.line + "\n");
        EXPECT_EQ(r.fx->master.*c.flag, 1) << c.line;
        EXPECT_EQ(r.fx->master.anyEffect, 1) << c.line;
    }
    Result b = Read("\nband3\tM\t1000\t2\t1\n");
    EXPECT_EQ(b.fx->master.band[3], 1);
    EXPECT_EQ(b.fx->master.band[2], 0);

    Result sends = Read("\nrev\tM\t0\ntrev\tM\t0\nlim\tM\t-1\n");
    const MasterFlags& m = sends.fx->master;
    EXPECT_EQ(m.sendsRev + m.sendsTrev + m.limiter, 3);
    EXPECT_EQ(m.fxg, 0);
    EXPECT_EQ(sends.fx->reverb.roomActive, 1);
    EXPECT_EQ(sends.fx->reverb.tapActive, 1);

    Options o;
    o.masterFxg = true;
    Result fxg = Read("\nhp\t1\t30\n", o);
    EXPECT_EQ(fxg.fx->master.fxg, 1);
    EXPECT_EQ(fxg.fx->master.anyEffect, 1);
    EXPECT_EQ(fxg.fx->master.hp, 0);

    Result ch = Read("\nhp\t1\t30\nrev\t2\t0\n");
    EXPECT_EQ(ch.fx->master.anyEffect, 0);
}

TEST(EffectSettings, SecondReadStartsAfresh) {
    auto fx = std::make_unique<EffectSettings>();
    testing::internal::CaptureStdout();
    ReadEffectSettings("\ncomp\tM\t-3\t1\t20\t2\nrtn\t0\t80\norder\thp\t1\t2\n", "\ntap\trev\n",
                       44100, false, 1, 2, true, false, "", *fx);
    ReadEffectSettings("\nmix\n", "", 48000, false, 1, 2, false, false, "", *fx);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(fx->compOn[0], 0);
    EXPECT_EQ(fx->master.anyEffect, 0);
    EXPECT_EQ(fx->master.fxg, 0);
    EXPECT_EQ(fx->reverb.roomActive, 0);
    EXPECT_EQ(fx->reverb.tapMode, 0);
    EXPECT_EQ(fx->reverb.tapFileName, "");
    EXPECT_EQ(fx->position[kHp][1], 11);
}
