// Round trips through the mixer: a fader file loaded and saved by ostrand
// with no edit, in each layout, mixes to the same bytes as the original and
// keeps every line ostrand does not edit; edits move every time-bound entry
// alike; a 1 MB file loads and saves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "adjuster/field_reading.hpp"
#include "model_helpers.hpp"
#include "support/test_support.hpp"

using namespace ostrand;
using testsupport::ReadFile;
using testsupport::RunProgram;
using testsupport::WriteFile;

namespace {

// Every keyword of the fader file, clock times on whole milliseconds (exact
// at the 24 kHz of the test tracks), a song of 4.25 s (channel 2 starts at
// 0.25 s).
const char* kEveryKeyword =
    "Every keyword of the fader file, for the round trips.\n"
    "begin\n"
    "every_keyword\n"
    "tstamp\t2\t0\t0\t250\n"
    "sstamp\t3\t4800\n"
    "sub\t1\t3,4\n"
    "sub\t0\t1,2,5\n"
    "submu\t2\n"
    "subso\t9\n"
    "VCA:\t1\t1,2\n"
    "VCA:\t2\t3\n"
    "tmap\t120\t4\t8\n"
    "v\t1\t-2\n"
    "p\t5\t25\n"
    "t\t0\t0\t0\n"
    "v\t1\t-3\nv\t2\t-8\nv\t3\t-4\nv\t4\t-10\nv\t5\t-2\nv\tM\t0\nv\tG\t1\t-3\n"
    "vca\t1\t0\nvca\t2\t-1\np\t3\t-30\npol\t4\t-1\n"
    "dp\t2\t40\ntrim\t1\t2\nscale\t0.9\nmtrim\t-1\nfxg\t3\t2\n"
    "t\t0\t1\t500\n"
    "v\t2\t-4\nofs\t0.25\nshape\t2\nrmp\t1.5\n"
    "vca\t1\t-2\nrmp\t1\n"
    "inc\t0.5\n"
    "v\t3\t-6\nrmp\t0.5\np\t1\t10\n"
    "t\t0\t3\t0\n"
    "v\tM\t-20\nrmp\t1\nv\tG\t1\t-6\nrmp\t0.5\n"
    "comp\t4\t-10\t2\t120\t3\nrms\t1\t-12\t10\t200\t2\nnlc\t2\t-20\t64\t2\nlim\tM\t-1\n"
    "hp\t2\t60\nband1\t1\t200\t3\t1\nband2\t3\t2500\t2\t1\nband3\tG\t1\t800\t-2\t0.7\n"
    "band4\tM\t6000\t1\t1\nhshelf\t2\t8000\t2\t0.7\nlshelf\t1\t120\t2\t0.7\n"
    "rev\t2\t-6\nrev\t3\t-10\ntrev\t3\t-12\ntrev\tG\t1\t-18\nrtn\t-6\t60\ntrtn\t-8\t45\t4\n"
    "pos\t30\t40\t50\nwidth\t60\nrhp\t150\nrlp\t9000\norder\tcomp\t4\t1\n"
    "end\n"
    "Notes after the end are kept too.\n";

// Bars, beats and ticks through a tempo map (1200 bpm: 1200 samples a beat);
// "1 70 0" would read as 2:10 in clock time and must stay as written.
const char* kTempo =
    "begin\ntempo_song\ntmap\t1200\t4\t100\n"
    "t\t1\t1\t0\nv\t1\t-3\nv\t2\t-6\n"
    "t\t1\t70\t0\nv\t1\t-9\nrmp\t0.5\n"
    "t\t2\t1\t240\nv\t2\t0\n"
    "end\n";

// A mix session: five tracks of four different kinds, dither off.
struct MixSession {
    testsupport::TempDir dir;
    explicit MixSession(double seconds) {
        const int rate = 24000;  // half the usual rate: half the mixing time
        const int frames = static_cast<int>(seconds * rate);
        auto tone = [&](int channels, int bits, double hz, double noise) {
            std::vector<int32_t> samples;
            double full = bits == 16 ? 20000.0 : 5000000.0;
            uint32_t seed = static_cast<uint32_t>(hz);
            for (int i = 0; i < frames; ++i)
                for (int c = 0; c < channels; ++c) {
                    seed = seed * 1664525u + 1013904223u;
                    double n = (static_cast<double>(seed >> 8) / 16777216.0 - 0.5) * noise;
                    samples.push_back(static_cast<int32_t>(
                        full * (0.5 * std::sin(6.283185307179586 * hz * (i + 7 * c) / rate) + n)));
                }
            return samples;
        };
        testsupport::WriteWavPcm(dir.file("bass.wav"), rate, 1, 16, tone(1, 16, 55, 0.01));
        testsupport::WriteWavPcm(dir.file("pad.wav"), rate, 2, 24, tone(2, 24, 220, 0.05));
        testsupport::WriteWavPcm(dir.file("lead.wav"), rate, 1, 16, tone(1, 16, 660, 0.02));
        testsupport::WriteWavPcm(dir.file("hats.wav"), rate, 1, 24, tone(1, 24, 5000, 0.6));
        testsupport::WriteWavPcm(dir.file("kick.wav"), rate, 2, 16, tone(2, 16, 40, 0.1));
        WriteFile(
            dir.file("tracks.txt"),
            "begin\n1 bass.wav +\n2 pad.wav +\n3 lead.wav +\n4 hats.wav +\n5 kick.wav +\nend\n");
    }
    // The mix of `faders` with `prefs` lines added, as bytes.
    std::string Mix(const std::string& faders, const std::string& mixName,
                    const std::string& prefs) {
        WriteFile(dir.file("f.txt"), faders);
        WriteFile(dir.file("prefs.txt"), "begin\ndither\t0\nverbo\t1\n" + prefs + "end\n");
        std::remove(dir.file(mixName + ".wav").c_str());
        auto r = RunProgram(VARNEL_BIN, {"tracks.txt", "f.txt", "prefs.txt"}, dir.path());
        EXPECT_EQ(r.status, 0) << r.output;
        return ReadFile(dir.file(mixName + ".wav"));
    }
    // ostrand's dialogue on `faders`, then the file it saved.
    std::string Adjust(const std::string& faders, const std::string& input,
                       const std::vector<std::string>& args = {"in.txt"}) {
        WriteFile(dir.file("in.txt"), faders);
        std::remove(dir.file("saved.txt").c_str());
        auto r = RunProgram(OSTRAND_BIN, args, dir.path(), input + "pf\nsaved.txt\nx\n");
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.output.find("Write complete"), std::string::npos) << r.output;
        return ReadFile(dir.file("saved.txt"));
    }
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// Lines ostrand writes back as they were: all but the time, level, ramp and
// offset lines it rewrites (and blank lines, which the layout supplies).
void ExpectKeptLines(const std::string& original, const std::string& saved,
                     const std::string& label) {
    std::vector<std::string> savedLines = Lines(saved);
    for (const std::string& line : Lines(original)) {
        std::vector<std::string> fields = LineFields(line);
        std::size_t k = 0;
        Keyword keyword = FindKeyword(fields, k);
        if (fields.empty() || keyword == Keyword::kTime || keyword == Keyword::kInc ||
            keyword == Keyword::kLevel || keyword == Keyword::kVca || keyword == Keyword::kRamp ||
            keyword == Keyword::kOffset)
            continue;
        EXPECT_NE(std::find(savedLines.begin(), savedLines.end(), line), savedLines.end())
            << label << ": " << line;
    }
}

}  // namespace

TEST(RoundTrip, MixesAsBeforeInEveryLayout) {
    struct Case {
        std::string name;
        std::string faders;
        std::string mixName;
        std::string prefs;
        double seconds;
        bool convert;  // the clock times also convert to the other field counts
    };
    const Case cases[] = {
        {"demo", ReadFile(std::string(VARNEL_SOURCE_DIR) + "/demo/faders.txt"), "demo_mix", "", 8.0,
         true},
        {"every keyword", kEveryKeyword, "every_keyword", "", 4.0, true},
        {"tempo", kTempo, "tempo_song", "tempo\n", 4.0, false},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(c.faders.empty()) << c.name;
        MixSession session(c.seconds);
        const std::string original = session.Mix(c.faders, c.mixName, c.prefs);
        ASSERT_GT(original.size(), 44u) << c.name;
        ASSERT_NE(original.find_first_not_of('\0', 44), std::string::npos) << c.name << ": silent";
        for (int fields = 1; fields <= 3; ++fields) {
            if (fields != 3 && !c.convert) continue;
            for (bool byChannels : {false, true}) {
                std::string label = c.name + (byChannels ? " by channels, " : " by times, ") +
                                    std::to_string(fields) + " fields";
                std::string order = byChannels ? "co\ns\n" : "";
                std::string convert = fields == 3 ? "" : "cf\n" + std::to_string(fields) + "\n";
                // The tempo map makes the dialogue ask before a nudge, never before a save.
                std::string saved = session.Adjust(c.faders, convert + order);
                std::string prefs = c.prefs + "tfields\t" + std::to_string(fields) + "\n";
                EXPECT_EQ(session.Mix(saved, c.mixName, prefs), original) << label << "\n" << saved;
                ExpectKeptLines(c.faders, saved, label);
                // A second round changes nothing more.
                EXPECT_EQ(session.Adjust(saved, order, {"in.txt", std::to_string(fields)}), saved)
                    << label;
            }
        }
    }
}

TEST(RoundTrip, EditsMoveEveryEntryAlike) {
    MixSession session(0.0);
    // The tempo map asks before the nudge and the scale; "o" goes on.
    std::string saved = session.Adjust(kEveryKeyword, "nt\no\n0.5\nst\n1.5\nav\n-2\nac\n-1\n");
    auto before = adjustertest::Parse(kEveryKeyword, 3);
    auto after = adjustertest::Parse(saved, 3);
    EXPECT_TRUE(after->unattached.empty());
    for (int slot = 0; slot < kSlotCount; ++slot) {
        ASSERT_EQ(after->rows[slot].size(), before->rows[slot].size()) << slot;
        for (std::size_t i = 0; i < before->rows[slot].size(); ++i) {
            const Entry& b = before->rows[slot][i];
            const Entry& a = after->rows[slot][i];
            std::string where = SlotLabel(slot) + " entry " + std::to_string(i);
            EXPECT_EQ(a.kind, b.kind) << where;
            EXPECT_NEAR(a.time, (b.time + 0.5) * 1.5, 1e-9) << where;
            EXPECT_NEAR(a.ramp, b.ramp * 1.5, 1e-9) << where;
            EXPECT_NEAR(a.offset, b.offset * 1.5, 1e-9) << where;
            bool channel = slot >= 1 && slot < kChannelCount;
            if (IsLevelEntry(b))
                EXPECT_NEAR(a.level, b.level - 2.0 - (channel ? 1.0 : 0.0), 1e-9) << where;
            else
                EXPECT_EQ(SpanText(*after, a.line), SpanText(*before, b.line)) << where;
            EXPECT_EQ(SpanText(*after, a.shape), SpanText(*before, b.shape)) << where;
        }
    }
    ExpectKeptLines(kEveryKeyword, saved, "edited");
}

TEST(RoundTrip, AMegabyteFile) {
    std::string text = "begin\nbig\n";
    int lines = 0;
    for (int i = 0; text.size() < 1000000; ++i) {
        text += "t\t" + std::to_string(i / 60) + "\t" + std::to_string(i % 60) + "\t250\n";
        text += "v\t" + std::to_string(1 + i % 100) + "\t-" + std::to_string(i % 40) + ".5\n";
        text += "hp\t" + std::to_string(1 + i % 100) + "\t80\n";
        lines += 3;
    }
    text += "end\n";
    testsupport::TempDir dir;
    WriteFile(dir.file("big.txt"), text);
    auto r = RunProgram(OSTRAND_BIN, {"--nudge", "1", "-o", "out.txt", "big.txt"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output,
              "Nudged " + std::to_string(lines / 3) + " entries by 1 s\nWrite complete\n");
    auto before = adjustertest::Parse(text, 3);
    auto after = adjustertest::Parse(ReadFile(dir.file("out.txt")), 3);
    // The kept lines come back; a blank line now stands above the first time line.
    EXPECT_EQ(adjustertest::Leading(*after), adjustertest::Leading(*before) + "\n");
    for (int slot = 1; slot <= 100; ++slot) {
        ASSERT_EQ(after->rows[slot].size(), before->rows[slot].size());
        for (std::size_t i = 0; i < before->rows[slot].size(); ++i)
            ASSERT_NEAR(after->rows[slot][i].time, before->rows[slot][i].time + 1.0, 1e-9);
    }
}
