#include "mixer/run/prefs.hpp"

#include <gtest/gtest.h>

#include "support/test_support.hpp"

using namespace varnel;

namespace {

Prefs FromText(const std::string& text) {
    Prefs p;
    p.file.whole = text;
    p.file.content = ContentAfterBegin(text);
    return p;
}

struct WindowCase {
    const char* name;
    std::string prefs;
    int64_t song;
    double rate;
    int status;
    int64_t start, length;
    std::string message = {};  // printed text the case must contain; none: no warning or error
};

}  // namespace

TEST(MixWindow, Cases) {
    const int64_t song60 = 60 * 48000;
    const WindowCase cases[] = {
        {"default whole song", kDefaultPrefsText, song60, 48000, 0, 0, song60},
        {"head 2 tail 3", "begin\nhead\t2\ntail\t3\nend\n", song60, 48000, 0, 96000, 2640000},
        {"xin 10 one field", "begin\nxfields\t1\nxin\t10\nend\n", song60, 48000, 0, 480000,
         song60 - 480000},
        {"xin and xout three fields", "begin\nxin\t0\t1\t500\nxout\t0\t3\t0\nend\n", song60, 48000,
         0, 72000, 72000},
        {"out before in", "begin\nxout\t0\t1\t0\nxin\t0\t2\t0\nend\n", song60, 48000, 2, 0, 0},
        {"preview whole", "begin\npre\ton\nend\n", song60, 48000, 0, 0, song60},
        {"preview start length", "begin\npre\ton\nstart\t0\t1\t0\nlength\t2\nend\n", song60, 48000,
         0, 48000, 96000},
        {"preview length 0", "begin\npre\ton\nstart\t0\t0\t0\nlength\t0\nend\n", song60, 48000, 0,
         0, 0},
        {"start above pre is not read", "begin\nstart\t0\t5\t0\npre\ton\nend\n", song60, 48000, 0,
         0, song60},
        {"preview start past song", "begin\npre\ton\nstart\t5\t0\t0\nend\n", song60, 48000, 2, 0,
         0, "Error: Preview start time in preferences file exceeds song length\n"},
        {"preview start negative", "begin\npre\ton\nstart\t0\t-1\t0\nend\n", song60, 48000, 2, 0,
         0, "Error: Preview start time in preferences is less than zero.\n"},
        {"no song", kDefaultPrefsText, 0, 48000, 2, 0, 0, "Head or tail set incorrectly"},
        // A window never runs past the song's end: it is cut there, with a warning.
        {"preview length past the end", "begin\npre\ton\nstart\t0\t1\t0\nlength\t1000000\nend\n",
         song60, 48000, 0, 48000, song60 - 48000,
         "Warning: the mix window ends past the song's end; it is cut at 1:00.000.\n"},
        {"preview length 1e13", "begin\npre\ton\nlength\t1e13\nend\n", song60, 48000, 0, 0, song60,
         "Warning: the mix window ends past the song's end; it is cut at 1:00.000.\n"},
        {"preview length to the end", "begin\npre\ton\nstart\t0\t1\t0\nlength\t59\nend\n", song60,
         48000, 0, 48000, song60 - 48000},
        {"preview length nan", "begin\npre\ton\nlength\tnan\nend\n", song60, 48000, 2, 0, 0,
         "Head or tail set incorrectly in preferences!\n"},
        {"preview length a word", "begin\npre\ton\nlength\tall\nend\n", song60, 48000, 2, 0, 0,
         "Head or tail set incorrectly in preferences!\n"},
        {"preview length inf", "begin\npre\ton\nlength\tinf\nend\n", song60, 48000, 0, 0, song60,
         "Warning: the mix window ends past the song's end; it is cut at 1:00.000.\n"},
        {"preview start at the end", "begin\npre\ton\nstart\t1\t0\t0\nend\n", song60, 48000, 2, 0,
         0, "Error: Preview start time in preferences file exceeds song length\n"},
        {"preview start just before the end", "begin\npre\ton\nstart\t0\t59\t999\nend\n", song60,
         48000, 0, song60 - 48, 48,
         "Warning: the mix window ends past the song's end; it is cut at 1:00.000.\n"},
        {"xout past the end", "begin\nxout\t1000000\t0\t0\nend\n", song60, 48000,
         0, 0, song60, "Warning: the mix window ends past the song's end; it is cut at 1:00.000.\n"},
        {"xout at the end", "begin\nxout\t1\t0\t0\nend\n", song60, 48000, 0, 0, song60},
        {"song of 7.5 s", "begin\nxout\t0\t8\t0\nend\n", 360000, 48000, 0, 0, 360000,
         "Warning: the mix window ends past the song's end; it is cut at 0:07.500.\n"},
        // A head or tail that leaves nothing of the song is reported.
        {"head at the end", "begin\nhead\t60\nend\n", song60, 48000, 2, 0, 0,
         "Error: the head of 1:00.000 is not shorter than the song (1:00.000).\n"},
        {"head before the end", "begin\nhead\t59.5\nend\n", song60, 48000, 0, song60 - 24000, 24000},
        {"tail past the end", "begin\ntail\t61\nend\n", song60, 48000, 2, 0, 0,
         "Error: the tail of 1:01.000 is not shorter than the song (1:00.000).\n"},
    };
    for (const auto& c : cases) {
        Prefs p = FromText(c.prefs);
        MixWindow w;
        testing::internal::CaptureStdout();
        int st = ComputeMixWindow(p, c.song, c.rate, w);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(st, c.status) << c.name << "\n" << out;
        if (c.message.empty()) {
            EXPECT_EQ(out.find("Warning"), std::string::npos) << c.name << "\n" << out;
            EXPECT_EQ(out.find("Error"), std::string::npos) << c.name << "\n" << out;
        } else {
            EXPECT_NE(out.find(c.message), std::string::npos) << c.name << "\n" << out;
        }
        if (st == 0) {
            EXPECT_EQ(w.start, c.start) << c.name;
            EXPECT_EQ(w.length, c.length) << c.name;
        }
    }
}

TEST(MixWindow, MessagesAndPreviewName) {
    Prefs p = FromText("begin\npre\ton\nstart\t5\t0\t0\nend\n");
    p.mixDirSet = true;
    p.mixDir = "mixes/";
    MixWindow w;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ComputeMixWindow(p, 100, 48000, w), 2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Checking Preferences...\nRunning in Preview Mode\n"
              "Error: Preview start time in preferences file exceeds song length\n");
    EXPECT_EQ(p.outputName, "mixes/preview.wav");

    Prefs q = FromText("begin\nverbo\t3\nend\n");
    q.verbosity = 3;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ComputeMixWindow(q, 100, 48000, w), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Preview mode not specified.\n");
}

TEST(OutputSwitches, ValuesAndRanges) {
    struct Case {
        std::string text;
        int dither, offset, span, bits;
        bool mono;
        double gain;
    };
    const Case cases[] = {
        {"begin\nend\n", 1, 1, 3, 24, false, 1.0},
        {"begin\ndither\t4\ndither\t9\nend\n", 4, 8, 17, 24, false, 1.0},
        {"begin\ndither\t0\noutbits\t16\nend\n", 0, 0, 0, 16, false, 1.0},
        {"begin\noutbits\t20\nend\n", 1, 1, 3, 24, false, 1.0},
        {"begin\nend\noutbits\t16\n", 1, 1, 3, 16, false, 1.0},  // read to the end of the text
        {"begin\nmono\t3\nend\n", 1, 1, 3, 24, true, 0.5},
        {"begin\nmono\t-20\nend\n", 1, 1, 3, 24, true, 0.5},
        {"begin\nmono\t-3\nend\n", 1, 1, 3, 24, true, 0.70794578438413791},
        {"begin\nmono\t0\nend\n", 1, 1, 3, 24, true, 1.0},  // the highest gain
        {"begin\ndither\t8\nend\n", 8, 128, 257, 24, false, 1.0},
    };
    for (const auto& c : cases) {
        Prefs p = FromText(c.text);
        testing::internal::CaptureStdout();
        ReadOutputSwitches(p);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(p.dither, c.dither) << c.text;
        EXPECT_EQ(p.ditherOffset, c.offset) << c.text;
        EXPECT_EQ(p.ditherSpan, c.span) << c.text;
        EXPECT_EQ(p.outBits, c.bits) << c.text;
        EXPECT_EQ(p.mono, c.mono) << c.text;
        EXPECT_DOUBLE_EQ(p.monoGain, c.gain) << c.text;
    }
    Prefs p = FromText("begin\ndither\t9\nv=percent\ntempo\nlaunch\techo\nend\n");
    testing::internal::CaptureStdout();
    ReadOutputSwitches(p);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Faders using percent.\nTempo mode on.\nDither is set out of range (0-8)\n");
    EXPECT_TRUE(p.launchSet);
    EXPECT_EQ(p.launch, "echo");
}

TEST(OutputSwitches, ThreadsFromZeroToSixtyFourAndTheLastAcceptedLineCounts) {
    struct Case {
        std::string lines;
        int threads;
        std::string message;
    };
    const std::string range = "Threads is set out of range (0-64)\n";
    const Case cases[] = {
        {"", 1, ""},
        {"threads\t0\n", 0, ""},
        {"threads\t64\n", 64, ""},
        {"threads\t65\n", 1, range},
        {"threads\t-1\n", 1, range},
        {"threads\tall\n", 1, range},
        {"threads\t3x\n", 1, range},
        {"threads\t\n", 1, "Warning: \"threads\" has no fields and needs 1; the line is ignored.\n"},
        {"threads\t4\nthreads\t100\n", 4, range},
        {"threads\t4\nthreads\t2\n", 2, ""},
    };
    for (const auto& c : cases) {
        Prefs p = FromText("begin\n" + c.lines + "end\n");
        testing::internal::CaptureStdout();
        ReadOutputSwitches(p);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message) << c.lines;
        EXPECT_EQ(p.threads, c.threads) << c.lines;
    }
}

TEST(Preferences, FirstGroup) {
    testsupport::TempDir d;
    testsupport::WriteFile(d.file("p.txt"),
                           "comment\nbegin\nverbo\t1\ntlist\t1\ntlist\t2\ntlist=tab\n"
                           "mixdir\tout/\nwavdir\twav/\nend\n");
    Prefs p;
    Diagnostics diag;
    testing::internal::CaptureStdout();
    LoadPreferences(d.file("p.txt"), p, diag);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(p.verbosity, 1);
    EXPECT_EQ(p.trackListMode, 1);
    EXPECT_EQ(p.separator, '\t');
    EXPECT_TRUE(p.mixDirSet);
    EXPECT_EQ(p.mixDir, "out/");
    EXPECT_EQ(p.wavDir, "wav/");
    EXPECT_FALSE(p.bakDirSet);
}

TEST(Preferences, TimeFieldsAndNames) {
    auto timeOf = [](const char* line, int fields, double rate) {
        int64_t at = -1;
        ScanKeyword(line, "xin", [&](KeywordLine& k) {
            at = ReadTimeFields(k, fields, rate);
            return false;
        });
        return at;
    };
    EXPECT_EQ(timeOf("xin\t1\t30\t250\n", 3, 48000.0), 4332000);
    EXPECT_EQ(timeOf("xin\t1\t30\n", 2, 44100.0), 3969000);
    EXPECT_EQ(timeOf("xin\t83.5\n", 1, 48000.0), 4008000);

    Prefs p = FromText("begin\noname\tmy song\nend\n");
    p.mixDirSet = true;
    p.mixDir = "m/";
    EXPECT_EQ(ReadOutputName(p, "ignored"), 0);
    EXPECT_EQ(p.outputName, "m/my song.wav");
    Prefs q = FromText("begin\nend\n");
    EXPECT_EQ(ReadOutputName(q, "song"), 0);
    EXPECT_EQ(q.outputName, "song.wav");
    Prefs r = FromText("begin\nend\n");
    testing::internal::CaptureStdout();
    EXPECT_EQ(ReadOutputName(r, std::string(200, 'x')), 2);
    testing::internal::GetCapturedStdout();
    // A name that is no file name is refused first, shown with its control
    // characters visible, whatever its length.
    testing::internal::CaptureStdout();
    EXPECT_EQ(ReadOutputName(r, std::string(200, 'x') + "\r"), 2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error: the mix name \"" + std::string(200, 'x') +
                  "\\r\" is not a file name: it holds a control character.\n");
}

TEST(Preferences, SeedValuesAndWarnings) {
    struct Case {
        std::string text;
        bool set;
        uint32_t seed;
        std::string out;
    };
    const std::string warn = "Warning: the seed \"%\" is not a whole number from 0 to 4294967295; "
                             "the line is ignored.\n";
    auto Warn = [&](const std::string& v) {
        std::string w = warn;
        return w.replace(w.find('%'), 1, v);
    };
    const Case cases[] = {
        {"begin\nend\n", false, 0, ""},
        {"begin\nseed\t0\nend\n", true, 0, ""},
        {"begin\nseed\t4294967295\nend\n", true, 4294967295u, ""},
        {"begin\nseed\t4294967296\nend\n", false, 0, Warn("4294967296")},
        {"begin\nseed\t-1\nend\n", false, 0, Warn("-1")},
        {"begin\nseed\t12x\nend\n", false, 0, Warn("12x")},
        {"begin\nseed\nverbo\t1\nend\n", false, 0, Warn("")},  // no value: the next line is not it
        {"begin\nseed\t7\nseed\tabc\nend\n", true, 7, Warn("abc")},
        {"begin\nseed\t7\nseed\t8\nend\n", true, 8, ""},
    };
    for (const auto& c : cases) {
        Prefs p = FromText(c.text);
        testing::internal::CaptureStdout();
        ReadSeed(p);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out) << c.text;
        EXPECT_EQ(p.seedSet, c.set) << c.text;
        EXPECT_EQ(p.seed, c.seed) << c.text;
    }
}

TEST(Preferences, LoudnessTargetValuesAndWarnings) {
    struct Case {
        std::string text;
        bool set;
        double lufs, tpmax;
        std::string out;
    };
    auto Warn = [](const std::string& what, const std::string& v, const std::string& range) {
        return "Warning: the " + what + " \"" + v + "\" is not a number from " + range +
               "; the line is ignored.\n";
    };
    auto Target = [&](const std::string& v) { return Warn("loudness target", v, "-70 to 0 LUFS"); };
    auto Ceiling = [&](const std::string& v) { return Warn("true-peak ceiling", v, "-20 to 0 dBTP"); };
    const Case cases[] = {
        {"begin\nend\n", false, 0.0, -1.0, ""},
        {"begin\nlufs\t-16\nend\n", true, -16.0, -1.0, ""},
        {"begin\nlufs\t-70\nend\n", true, -70.0, -1.0, ""},
        {"begin\nlufs\t-70.01\nend\n", false, 0.0, -1.0, Target("-70.01")},
        {"begin\nlufs\t0\nend\n", true, 0.0, -1.0, ""},
        {"begin\nlufs\t0.01\nend\n", false, 0.0, -1.0, Target("0.01")},
        {"begin\nlufs\t-16dB\nend\n", false, 0.0, -1.0, Target("-16dB")},
        {"begin\nlufs\tnan\nend\n", false, 0.0, -1.0, Target("nan")},
        {"begin\nlufs\nverbo\t1\nend\n", false, 0.0, -1.0, Target("")},  // the next line is not it
        {"begin\nlufs\t-23\nlufs\t-14\nlufs\tloud\nend\n", true, -14.0, -1.0, Target("loud")},
        {"begin\nlufs\t-23\ntpmax\t-2\nend\n", true, -23.0, -2.0, ""},
        {"begin\ntpmax\t-20\nend\n", false, 0.0, -20.0, ""},
        {"begin\ntpmax\t-20.01\nend\n", false, 0.0, -1.0, Ceiling("-20.01")},
        {"begin\ntpmax\t0\nend\n", false, 0.0, 0.0, ""},
        {"begin\ntpmax\t0.1\ntpmax\t-3\nend\n", false, 0.0, -3.0, Ceiling("0.1")},
    };
    for (const auto& c : cases) {
        Prefs p = FromText(c.text);
        testing::internal::CaptureStdout();
        ReadLoudnessTarget(p);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.out) << c.text;
        EXPECT_EQ(p.lufsSet, c.set) << c.text;
        EXPECT_EQ(p.lufs, c.lufs) << c.text;
        EXPECT_EQ(p.tpmax, c.tpmax) << c.text;
    }
}
