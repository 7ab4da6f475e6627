// Broken lines of the three text files, one table per file: each names the
// exact warnings `varnel --check` lists (file, line and the value used), and
// the mix of the broken session equals the mix of the session written as the
// mixer reads it, so nothing else moved.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/session.hpp"

using testsupport::ReadFile;
using testsupport::Session;

namespace {

std::string CrLf(const std::string& text) {
    std::string s;
    for (char c : text) {
        if (c == '\n') s += '\r';
        s += c;
    }
    return s;
}

// The warnings --check lists after the summary (whose last line names the
// threads), checked against the count line that ends them.
std::vector<std::string> CheckWarnings(Session& s) {
    auto r = s.Run({"--check"});
    EXPECT_EQ(r.status, 0) << r.output;
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < r.output.size()) {
        size_t nl = r.output.find('\n', at);
        if (nl == std::string::npos) nl = r.output.size();
        lines.push_back(r.output.substr(at, nl - at));
        at = nl + 1;
    }
    std::vector<std::string> warnings;
    bool after = false;
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        if (after) warnings.push_back(lines[i]);
        after = after || lines[i].rfind("Threads: ", 0) == 0;
    }
    const size_t n = warnings.size();
    EXPECT_EQ(lines.empty() ? "" : lines.back(),
              n == 1 ? "1 warning" : std::to_string(n) + " warnings")
        << r.output;
    return warnings;
}

// Two mono tracks of 2000 frames with different contents.
void AddTracks(Session& s) {
    std::vector<int32_t> a, b;
    for (int i = 0; i < 2000; ++i) {
        a.push_back((i * 37) % 20000 - 10000);
        b.push_back((i * 101) % 16000 - 8000);
    }
    s.AddPcm("a.wav", 1, 16, a);
    s.AddPcm("b.wav", 1, 16, b);
}

std::string MixOf(Session& s) {
    auto r = s.Run();
    EXPECT_EQ(r.status, 0) << r.output;
    return ReadFile(s.Path("mix.wav"));
}

struct Broken {
    const char* name;
    std::string broken;              // the file as written
    std::vector<std::string> warnings;
    std::string readsAs;             // the same file as the mixer reads it
};

enum class Which { Tracks, Faders, Prefs };

void RunCase(const Broken& c, Which which, const std::string& tracks, const std::string& faders,
             const std::string& prefs) {
    SCOPED_TRACE(c.name);
    auto session = [&](const std::string& text) {
        auto s = std::make_unique<Session>();
        AddTracks(*s);
        s->tracks = which == Which::Tracks ? text : tracks;
        s->faders = which == Which::Faders ? text : faders;
        s->prefs = which == Which::Prefs ? text : prefs;
        return s;
    };
    auto broken = session(c.broken);
    EXPECT_EQ(CheckWarnings(*broken), c.warnings);
    auto fixed = session(c.readsAs);
    EXPECT_EQ(CheckWarnings(*fixed), std::vector<std::string>{});
    EXPECT_TRUE(MixOf(*broken) == MixOf(*fixed)) << "the two mixes differ";
}

const std::string kTracks = "begin\n1 a.wav +\n2 b.wav +\nend\n";
const std::string kPrefs = "begin\ndither\t0\nverbo\t1\nend\n";

std::string Faders(const std::string& line) {
    return "begin\nmix\nt\t0\t0\t0\nv\t1\t-3\nv\t2\t-6\n" + line + "t\t0\t0\t20\nv\t1\t-10\nend\n";
}

}  // namespace

TEST(BrokenLines, FaderFile) {
    const std::string w = "Warning: faders.txt:6: ";
    const Broken cases[] = {
        {"misspelled keyword", Faders("cmop\t1\t-12\t10\t200\t2\n"),
         {w + "\"cmop\" is not a keyword; the line is ignored."}, Faders("")},
        {"spaces for tabs", Faders("v 1 -20\n"),
         {w + "\"v 1 -20\" is not a keyword; fields are separated by tabs."}, Faders("")},
        // The next line's keyword is not taken as the missing seconds.
        {"too few time fields", Faders("t\t0:01\n"),
         {w + "\"0:01\" has text after its number; 0 is used.",
          w + "\"t\" has 1 field and needs 3; the missing ones take their defaults."},
         Faders("t\t0\t0\t0\n")},
        {"missing level", Faders("v\t2\n"),
         {w + "\"v\" has 1 field and needs 2; the missing ones take their defaults."},
         Faders("v\t2\t-144\n")},
        {"keyword alone", Faders("t\t0\t0\t10\nv\t2\t-20\nrmp\n"),
         {"Warning: faders.txt:8: \"rmp\" has no fields and needs 1; the line is ignored."},
         Faders("t\t0\t0\t10\nv\t2\t-20\n")},
        {"junk after a number", Faders("v\t1\t-6dB\n"),
         {w + "\"-6dB\" has text after its number; -6 is used."}, Faders("v\t1\t-6\n")},
        {"no number", Faders("v\t1\tloud\n"), {w + "\"loud\" is not a number; 0 is used."},
         Faders("v\t1\t0\n")},
        {"CR-LF", CrLf(Faders("")),
         {"faders.txt has CR-LF line ends; they are read as plain line ends."}, Faders("")},
        // What the mixer reads draws no warning: an order line, a keyword
        // after another field.
        {"read as written", Faders("order\thp\t1\t2\nx\tp\t2\t50\n"), {},
         Faders("order\thp\t1\t2\np\t2\t50\n")},
    };
    for (const Broken& c : cases) RunCase(c, Which::Faders, kTracks, "", kPrefs);
}

TEST(BrokenLines, Preferences) {
    const std::string w = "Warning: prefs.txt:3: ";
    auto prefs = [](const std::string& line) { return "begin\ndither\t0\n" + line + "end\n"; };
    const Broken cases[] = {
        {"misspelled keyword", prefs("mnoo\t-3\n"),
         {w + "\"mnoo\" is not a keyword; the line is ignored."}, prefs("")},
        {"spaces for tabs", prefs("mono -3\n"),
         {w + "\"mono -3\" is not a keyword; fields are separated by tabs."}, prefs("")},
        {"junk after a number", prefs("mono\t-3dB\n"),
         {w + "\"-3dB\" has text after its number; -3 is used."}, prefs("mono\t-3\n")},
        {"too few time fields", prefs("xin\t0\t0\n"),
         {w + "\"xin\" has 2 fields and needs 3; the missing ones take their defaults."},
         prefs("xin\t0\t0\t0\n")},
        // Read literally, "verbo" would take "mono" as its value.
        {"keyword alone", prefs("verbo\nmono\t-3\n"),
         {w + "\"verbo\" has no fields and needs 1; the line is ignored."}, prefs("mono\t-3\n")},
        {"CR-LF", CrLf(prefs("mono\t-3\n")),
         {"prefs.txt has CR-LF line ends; they are read as plain line ends."}, prefs("mono\t-3\n")},
    };
    for (const Broken& c : cases) RunCase(c, Which::Prefs, kTracks, Faders(""), "");
}

TEST(BrokenLines, TrackList) {
    const std::string w = "Warning: tracks.txt:2: ";
    auto tracks = [](const std::string& first) { return "begin\n" + first + "2 b.wav +\nend\n"; };
    const Broken cases[] = {
        // Channel 2 keeps its line and its file.
        {"missing label", tracks("a.wav +\n"),
         {w + "the line has 2 fields and needs 3; the track is not mixed."}, tracks("1 a.wav -\n")},
        {"bad switch", tracks("1 a.wav on\n"),
         {w + "\"on\" is not a switch (+, ++ or -); the track is not mixed."},
         tracks("1 a.wav -\n")},
        {"missing file", tracks("1 none.wav +\n"),
         {"tracks.txt:2: Cannot find file in track list called none.wav!!"},
         tracks("1 none.wav -\n")},
        {"CR-LF", CrLf(kTracks),
         {"tracks.txt has CR-LF line ends; they are read as plain line ends."}, kTracks},
    };
    for (const Broken& c : cases) RunCase(c, Which::Tracks, "", Faders(""), kPrefs);
}
