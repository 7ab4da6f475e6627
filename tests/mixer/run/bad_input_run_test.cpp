// Whole runs of the built mixer on damaged text files: each of the three
// files without "begin", without "end", empty, binary junk, with a line of
// 100 000 characters, with CR-LF line ends and with more than 4096 lines.
// No run may crash or hang; each ends with its documented result.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/session.hpp"

using testsupport::FileExists;
using testsupport::ReadWavSamples;
using testsupport::Session;

namespace {

enum class Damage { NoBegin, NoEnd, Empty, Junk, LongLine, CrLf, ManyLines };

std::string Damaged(const std::string& good, Damage d) {
    const std::string body = good.substr(good.find("begin\n") + 6);
    std::string s;
    switch (d) {
        case Damage::NoBegin: return body;
        case Damage::NoEnd: return good.substr(0, good.rfind("end\n"));
        case Damage::Empty: return "";
        case Damage::Junk:
            for (int i = 0; i < 5000; ++i) s.push_back(char((i * 37 + 11) % 256));
            return s;
        case Damage::LongLine: return "begin\n" + std::string(100000, 'x') + "\n" + body;
        case Damage::CrLf:
            for (char c : good) {
                if (c == '\n') s.push_back('\r');
                s.push_back(c);
            }
            return s;
        case Damage::ManyLines:
            s = good.substr(0, good.rfind("end\n"));
            for (int i = 0; i < 5000; ++i) s += "line" + std::to_string(i) + "\tq\n";
            return s + "end\n";
    }
    return good;
}

enum class File { Tracks, Faders, Prefs };

struct BadCase {
    std::string name;
    File file;
    Damage damage;
    int status;
    std::string output;   // name of the mix written, empty when none
    bool silent = false;  // the mix holds zeros only
    std::string message = {};
    int tolerance = 0;  // 1 when the default dither of one step applies
};
// The case's name alone, so that test lists stay readable.
void PrintTo(const BadCase& c, std::ostream* os) { *os << c.name; }

const std::string kNoTrack = "Error: no track of the track list can be mixed.\n";

class BadInput : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadInput, EndsWithTheDocumentedResult) {
    const BadCase& c = GetParam();
    Session s;
    std::vector<int32_t> in;
    for (int i = 0; i < 600; ++i) in.push_back((i % 2 ? -1 : 1) * (1000 + i));
    s.AddPcm("a.wav", 2, 24, in);
    std::string& text = c.file == File::Tracks ? s.tracks : c.file == File::Faders ? s.faders : s.prefs;
    text = Damaged(text, c.damage);
    auto r = s.Run();
    ASSERT_NE(r.status, -1) << "the run did not end normally";
    EXPECT_EQ(r.status, c.status) << r.output.substr(0, 400);
    if (!c.message.empty()) {
        EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output.substr(0, 400);
    }
    if (c.output.empty()) {
        EXPECT_FALSE(FileExists(s.Path("mix.wav")));
        return;
    }
    auto out = ReadWavSamples(s.Path(c.output));
    ASSERT_EQ(out.size(), in.size());
    for (size_t i = 0; i < out.size(); ++i) {
        ASSERT_NEAR(out[i], c.silent ? 0 : in[i], c.tolerance) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadInput,
    ::testing::Values(
        // A track list whose only line is read from the start, or to its end.
        BadCase{"TracksWithoutBegin", File::Tracks, Damage::NoBegin, 0, "mix.wav"},
        BadCase{"TracksWithoutEnd", File::Tracks, Damage::NoEnd, 0, "mix.wav"},
        // No usable track: the run says so, track by track.
        BadCase{"TracksEmpty", File::Tracks, Damage::Empty, 2, "", false,
                kNoTrack + "tracks.txt holds no track line.\n"},
        BadCase{"TracksJunk", File::Tracks, Damage::Junk, 2, "", false, kNoTrack},
        // The long line is channel 1 (not a WAV file); the track is channel
        // 2, which has no level entry: silence.
        BadCase{"TracksLongLine", File::Tracks, Damage::LongLine, 0, "mix.wav", true},
        // Carriage returns are removed when the file is loaded.
        BadCase{"TracksCrLf", File::Tracks, Damage::CrLf, 0, "mix.wav"},
        BadCase{"TracksManyLines", File::Tracks, Damage::ManyLines, 0, "mix.wav", false,
                "Warning: tracks.txt:129: the track list has 5001 tracks; only the first 127 are "
                "mixed.\n"},
        // Without "begin" the first line is the mix name.
        BadCase{"FadersWithoutBegin", File::Faders, Damage::NoBegin, 0, "mix.wav"},
        BadCase{"FadersWithoutEnd", File::Faders, Damage::NoEnd, 0, "mix.wav"},
        // No mix name: no file can be named after it.
        BadCase{"FadersEmpty", File::Faders, Damage::Empty, 2, "", false,
                "Error: the mix name \"\" is not a file name: it is empty.\n"},
        // The 100 000 characters are the mix name, too long for a file name.
        BadCase{"FadersLongLine", File::Faders, Damage::LongLine, 2, "", false,
                "is longer than 127 characters.\n"},
        // Carriage returns are removed when the file is loaded.
        BadCase{"FadersCrLf", File::Faders, Damage::CrLf, 0, "mix.wav"},
        BadCase{"FadersManyLines", File::Faders, Damage::ManyLines, 0, "mix.wav"},
        BadCase{"PrefsWithoutBegin", File::Prefs, Damage::NoBegin, 0, "mix.wav"},
        BadCase{"PrefsWithoutEnd", File::Prefs, Damage::NoEnd, 0, "mix.wav"},
        // Defaults: verbosity 2 and dither of one step.
        BadCase{"PrefsEmpty", File::Prefs, Damage::Empty, 0, "mix.wav", false, "Counted 1 track\n", 1},
        BadCase{"PrefsJunk", File::Prefs, Damage::Junk, 0, "mix.wav", false, "", 1},
        BadCase{"PrefsLongLine", File::Prefs, Damage::LongLine, 0, "mix.wav"},
        BadCase{"PrefsCrLf", File::Prefs, Damage::CrLf, 0, "mix.wav"},
        BadCase{"PrefsManyLines", File::Prefs, Damage::ManyLines, 0, "mix.wav"}),
    [](const auto& info) { return info.param.name; });

// Junk as the fader file: its first line would be the mix name, but it holds
// control characters, so nothing is written.
TEST(BadInputJunk, JunkFaderFileNamesNoFile) {
    Session s;
    s.AddPcm("a.wav", 2, 24, {1000, -1000, 2000, -2000});
    s.faders = Damaged(s.faders, Damage::Junk);
    auto r = s.Run();
    EXPECT_EQ(r.status, 2) << r.output.substr(0, 400);
    EXPECT_NE(r.output.find("\" is not a file name: it "), std::string::npos) << r.output.substr(0, 400);
    EXPECT_EQ(r.output.find("Done!"), std::string::npos);
}

}  // namespace
