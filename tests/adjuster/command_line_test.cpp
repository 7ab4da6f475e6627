// The command line of ostrand: the informational options (usage or version,
// status 0, no dialogue and no file read) and the scripted run (its options
// in their order, a save, what changed, status 0 or 2 on any refusal).
#include <gtest/gtest.h>

#include <regex>

#include "support/test_support.hpp"

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::RunProgram;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// Channels 3 and 1 (with a ramp) and VCA 1 at 1.5 s, the master at 62.5 s.
const char* kFaders =
    "begin\nsong\n\nt\t0\t1\t500\nv\t3\t-6\nv\t1\t-3\nrmp\t2\nvca\t1\t0\n"
    "t\t1\t2\t500\nv\tM\t-1\nend\n";

}  // namespace

TEST(OstrandCommandLine, InfoOptionsPrintAndExitZero) {
    TempDir dir;
    const std::string usage = RunProgram(OSTRAND_BIN, {"--help"}, dir.path(), "x\n").output;
    EXPECT_EQ(usage.rfind("Usage: ostrand [options] [fader file [time fields]]\n", 0), 0u);
    const struct {
        std::vector<std::string> args;
        std::string output;
    } cases[] = {
        {{"-h"}, usage},
        {{"--version"}, "Ostrand 1.0\n"},
        {{"faders.txt", "--help"}, usage},
        {{"--nudge", "2", "--version", "--help"}, "Ostrand 1.0\n"},
    };
    for (const auto& c : cases) {
        auto r = RunProgram(OSTRAND_BIN, c.args, dir.path(), "x\n");
        EXPECT_EQ(r.status, 0) << c.args.back();
        EXPECT_EQ(r.output, c.output) << c.args.back();
    }
    // Every option the usage names is one the program takes (an unknown one
    // would be loaded as a file), and the page it points to exists.
    std::smatch m;
    for (std::string rest = usage; std::regex_search(rest, m, std::regex(" (--?[a-z-]+)")); rest = m.suffix()) {
        auto r = RunProgram(OSTRAND_BIN, {m[1].str()}, dir.path(), "x\n");
        EXPECT_NE(r.status, 1) << m[1] << r.output;
    }
    ASSERT_TRUE(std::regex_search(usage, m, std::regex("(docs/[a-z]+\\.md)")));
    EXPECT_TRUE(FileExists(std::string(VARNEL_SOURCE_DIR) + "/" + m[1].str()));
    EXPECT_FALSE(FileExists(dir.file("faders.txt")));
}

TEST(OstrandCommandLine, OtherNamesStillLoadAsFiles) {
    TempDir dir;
    auto r = RunProgram(OSTRAND_BIN, {"-v"}, dir.path(), "x\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("File -v not found\n"), std::string::npos);
}

TEST(OstrandCommandLine, ScriptedRuns) {
    const std::string changedInPlace =
        "begin\nsong\n\n"
        "t\t0\t3\t500\nv\t1\t-6.00\nrmp\t2.000\nv\t3\t-9.00\nvca\t1\t-3.00\n"
        "\nt\t1\t4\t500\nv\tM\t-4.00\n"
        "end\n";
    const std::string byChannels =
        "begin\nsong\n\n"
        "t\t0\t1\t500\nv\t1\t-4.00\nrmp\t2.000\n\n"
        "\nt\t0\t1\t500\nv\t3\t-7.00\n\n"
        "\nt\t1\t2\t500\nv\tM\t-1.00\n\n"
        "\nt\t0\t1\t500\nvca\t1\t0.00\n\n"
        "end\n";
    const std::string misread =
        "The t lines of faders.txt have 3 time fields, but 1 is in use: the times would be "
        "misread\n";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string output;
        std::string faders;  // faders.txt afterwards
        std::string out;     // out.txt afterwards, empty when it must not exist
    } cases[] = {
        {{"--nudge", "2", "--gain=-3", "faders.txt"},
         0,
         "Nudged 4 entries by 2 s\nChanged 4 levels by -3 dB\n"
         "The old file is kept as faders.txt.bak\nWrite complete\n",
         changedInPlace,
         ""},
        {{"--gain", "-3", "faders.txt", "--nudge", "2"},
         0,  // the order is fixed
         "Nudged 4 entries by 2 s\nChanged 4 levels by -3 dB\n"
         "The old file is kept as faders.txt.bak\nWrite complete\n",
         changedInPlace,
         ""},
        {{"--channel-gain", "-1", "--order", "channel", "-o", "out.txt"},
         0,
         "Changed 2 channel levels by -1 dB\nOrdered by channels\nWrite complete\n",
         kFaders,
         byChannels},
        {{"--scale", "1000", "-o", "out.txt"},  // the largest scale: 1.5 s become 25 min
         0,
         "Scaled 4 entries and 1 ramp or offset by 1000\nWrite complete\n",
         kFaders,
         "begin\nsong\n\nt\t25\t0\t0\nv\t1\t-3.00\nrmp\t2000.000\nv\t3\t-6.00\nvca\t1\t0.00\n"
         "\nt\t1041\t40\t0\nv\tM\t-1.00\nend\n"},
        {{"--scale", "2000"},
         2,
         "Refused: the scale factor must lie between 0.001 and 1000.\n",
         kFaders,
         ""},
        {{"--nudge", "2", "--gain", "1001.5", "-o", "out.txt"},
         2,
         "Nudged 4 entries by 2 s\n"
         "Refused: a level would become 1000.50 dB; levels must lie between -1000 and 1000 dB.\n",
         kFaders,
         ""},
        {{"--nudge", "-2"},
         2,
         "Refused: a time would become -0.500 s; times must lie between 0 and 10000000 s.\n",
         kFaders,
         ""},
        {{"--channel-gain", "1004", "--gain", "1"},
         2,  // the gain comes first
         "Changed 4 levels by 1 dB\n"
         "Refused: a level would become 1002.00 dB; levels must lie between -1000 and 1000 dB.\n",
         kFaders,
         ""},
        {{"--fields", "1", "-o", "out.txt"},
         2,
         misread + "Refused: give the number of time fields of the t lines with --fields\n",
         kFaders,
         ""},
        {{"faders.txt", "1", "-o", "out.txt"},
         2,
         misread + "Refused: give the number of time fields of the t lines with --fields\n",
         kFaders,
         ""},
        {{"--nudge", "abc"},
         2,
         "ostrand: --nudge takes a number, not 'abc' (see ostrand --help)\n",
         kFaders,
         ""},
        {{"--order", "up"},
         2,
         "ostrand: --order takes time or channel (see ostrand --help)\n",
         kFaders,
         ""},
        {{"--fields", "4"},
         2,
         "ostrand: --fields takes 1, 2 or 3 (see ostrand --help)\n",
         kFaders,
         ""},
        {{"--gain"}, 2, "ostrand: --gain needs a value (see ostrand --help)\n", kFaders, ""},
        {{"-o", "missing.txt", "none.txt"}, 1, "File none.txt not found\n", kFaders, ""},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir.file("faders.txt"), kFaders);
        auto r = RunProgram(OSTRAND_BIN, c.args, dir.path(), "");
        std::string label = c.args.front() + " " + (c.args.size() > 1 ? c.args[1] : "");
        EXPECT_EQ(r.status, c.status) << label;
        EXPECT_EQ(r.output, c.output) << label;
        EXPECT_EQ(ReadFile(dir.file("faders.txt")), c.faders) << label;
        EXPECT_EQ(FileExists(dir.file("faders.txt.bak")), c.faders != kFaders) << label;
        if (c.faders != kFaders) {
            EXPECT_EQ(ReadFile(dir.file("faders.txt.bak")), kFaders) << label;
        }
        EXPECT_EQ(FileExists(dir.file("out.txt")), !c.out.empty()) << label;
        if (!c.out.empty()) {
            EXPECT_EQ(ReadFile(dir.file("out.txt")), c.out) << label;
        }
    }
}
