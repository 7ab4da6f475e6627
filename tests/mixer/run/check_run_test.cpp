// `varnel --check` and `--strict` as whole runs, and the missing fader file
// without a person at a terminal: what each prints, its status, and that it
// leaves the directory as it found it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "support/session.hpp"

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::RunProgram;
using testsupport::Session;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

std::set<std::string> Listing(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename());
    return names;
}

// The demo session: its three text files and the generated tracks.
void MakeDemo(const TempDir& d) {
    for (const char* f : {"tracks.txt", "faders.txt", "prefs.txt"})
        WriteFile(d.file(f), ReadFile(std::string(DEMO_DIR) + "/" + f));
    ASSERT_EQ(RunProgram(MAKE_DEMO_BIN, {d.path()}, d.path()).status, 0);
}

const char* kDemoSummary =
    "Mix name: demo_mix\n"
    "Output file: demo_mix.wav (24-bit stereo, 48000 Hz)\n"
    "Channels:\n"
    "  1 bass.wav: 24-bit stereo, 48000 Hz, 384000 frames (8.000 s), starts at 0 (0.000 s), switch +\n"
    "  2 pad.wav: 16-bit stereo, 48000 Hz, 384000 frames (8.000 s), starts at 0 (0.000 s), switch +\n"
    "  3 lead.wav: 32-bit float mono, 48000 Hz, 384000 frames (8.000 s), starts at 0 (0.000 s), "
    "switch +\n"
    "  4 hats.wav: 16-bit mono, 48000 Hz, 384000 frames (8.000 s), starts at 0 (0.000 s), switch +\n"
    "  5 kick.wav: 24-bit mono, 48000 Hz, 384000 frames (8.000 s), starts at 0 (0.000 s), switch +\n"
    "Level entries:\n"
    "  master: 2\n"
    "  channel 1: 1\n"
    "  channel 2: 2\n"
    "  channel 3: 1\n"
    "  channel 4: 1\n"
    "  channel 5: 1\n"
    "  submix 1: 1\n"
    "  VCA 1: 2\n"
    "Routing:\n"
    "  master (direct): channel 1, channel 2, channel 3\n"
    "  submix 1: channel 4, channel 5\n"
    "  VCA 1: channel 1, channel 2\n"
    "Effects in run order:\n"
    "  master: lim\n"
    "  channel 1: lshelf, rms\n"
    "  channel 2: hp\n"
    "  channel 3: band2\n"
    "  submix 1: comp\n"
    "Reverbs:\n"
    "  room reverb: return -6.0 dB, room size 60; sends from channel 2 (-6.0 dB), channel 3 "
    "(-10.0 dB)\n"
    "  tap reverb: return -8.0 dB, room size 45, 4 taps; sends from channel 3 (-12.0 dB), "
    "submix 1 (-18.0 dB)\n"
    "  position 37 39 43, width 50, high pass 150 Hz, low pass 9000 Hz\n"
    "Mix window: 0.000 s to 8.000 s, 384000 frames\n"
    "Threads: 1\n";

}  // namespace

TEST(CheckRun, DemoSessionSummaryAndNothingWritten) {
    TempDir d;
    MakeDemo(d);
    const auto before = Listing(d.path());
    auto r = RunProgram(VARNEL_BIN, {"--check"}, d.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, std::string(kDemoSummary) + "0 warnings\n");
    EXPECT_EQ(Listing(d.path()), before);
    // --strict on a clean session mixes as usual.
    auto s = RunProgram(VARNEL_BIN, {"--strict"}, d.path());
    EXPECT_EQ(s.status, 0) << s.output;
    EXPECT_TRUE(FileExists(d.file("demo_mix.wav")));
}

TEST(CheckRun, BrokenSessionsWarningsAndStatus) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string faders;  // "" keeps the demo's
        bool removePrefs;
        int status;
        std::string tail;    // the end of the output
    };
    const std::string demo = ReadFile(std::string(DEMO_DIR) + "/faders.txt");
    const std::string cmop = demo.substr(0, demo.find("end\n")) + "cmop\t1\t-12\n" + "end\n";
    const std::string late = demo.substr(0, demo.find("end\n")) + "t\t0\t9\t0\n" + "end\n";
    std::string bigRoom = demo;
    bigRoom.replace(bigRoom.find("rtn\t-6\t60\n"), 10, "rtn\t-6\t5000\n");
    const int cmopLine = int(std::count(cmop.begin(), cmop.end(), '\n')) - 1;
    const std::string cmopWarning = "Warning: faders.txt:" + std::to_string(cmopLine) +
                                    ": \"cmop\" is not a keyword; the line is ignored.\n";
    const Case cases[] = {
        // A warning alone: the mix would run.
        {"warning", {"--check"}, cmop, false, 0,
         "Mix window: 0.000 s to 8.000 s, 384000 frames\nThreads: 1\n" + cmopWarning + "1 warning\n"},
        {"warning, strict", {"--check", "--strict"}, cmop, false, 2, cmopWarning + "1 warning\n"},
        // A time past the song stops the mix: the error, then the warnings.
        {"error", {"--check"}, late, false, 2,
         "faders.txt:" + std::to_string(cmopLine) +
             ": Error:  Time entry 4 exceeds song length\n0 warnings\n"},
        // A room the reverb cannot build would stop the mix at its first block.
        {"room", {"--check"}, bigRoom, false, 2, "Please reduce room size in reverb!\n0 warnings\n"},
        // A missing preferences file is not created by a check.
        {"no prefs", {"--check"}, "", true, 0,
         "Warning: prefs.txt file was not found... ...the default settings are used.\n1 warning\n"},
        // --strict stops before any file is written, a default one included.
        {"strict", {"--strict"}, cmop, true, 2, "Error: 2 warnings with --strict; nothing was written.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir d;
        MakeDemo(d);
        if (!c.faders.empty()) WriteFile(d.file("faders.txt"), c.faders);
        if (c.removePrefs) std::filesystem::remove(d.file("prefs.txt"));
        const auto before = Listing(d.path());
        auto r = RunProgram(VARNEL_BIN, c.args, d.path());
        EXPECT_EQ(r.status, c.status) << r.output;
        ASSERT_GE(r.output.size(), c.tail.size()) << r.output;
        EXPECT_EQ(r.output.substr(r.output.size() - c.tail.size()), c.tail) << r.output;
        EXPECT_EQ(Listing(d.path()), before);
    }
}

TEST(CheckRun, MissingFaderFileWithoutATerminal) {
    Session s;
    s.AddPcm("a.wav", 1, 16, {1, 2, 3});
    WriteFile(s.Path("tracks.txt"), s.tracks);
    WriteFile(s.Path("prefs.txt"), s.prefs);
    const auto before = Listing(s.dir.path());
    auto r = RunProgram(VARNEL_BIN, {}, s.dir.path(), "-6\n");  // standard input is a pipe
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.output, "faders.txt file was not found\n");
    EXPECT_EQ(Listing(s.dir.path()), before);
}
