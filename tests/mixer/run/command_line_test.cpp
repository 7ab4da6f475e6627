// The command line of varnel: the informational options end the program at
// once with status 0, an unknown option or a fourth file name with the usage
// and status 2; none of them reads or creates a file.
#include <gtest/gtest.h>

#include "support/test_support.hpp"

using testsupport::FileExists;
using testsupport::RunProgram;
using testsupport::TempDir;

namespace {

const std::string kUsage =
    "Usage: varnel [--check] [--strict] [track list [fader file [preferences file]]]\n"
    "\n"
    "Mixes the WAV files named in the track list (default tracks.txt) as the\n"
    "fader file (default faders.txt) directs, with the settings of the\n"
    "preferences file (default prefs.txt). Names are taken from the current\n"
    "directory; a missing preferences file is created with the defaults.\n"
    "\n"
    "  --check      read everything, print what was understood, write nothing\n"
    "  --strict     end with status 2, before any file is written, on a warning\n"
    "  -h, --help   print this help and exit\n"
    "  --version    print the version line and exit\n"
    "\n"
    "The preference \"threads N\" mixes the channels with effects on N threads\n"
    "(0: one per core); the mix is the same byte for byte.\n"
    "\n"
    "The files are described in docs/README.md.\n";

struct ArgCase {
    std::vector<std::string> args;
    int status;
    std::string output;
};

TEST(VarnelCommandLine, OptionsAndRefusalsTouchNoFile) {
    const ArgCase cases[] = {
        {{"--help"}, 0, kUsage},
        {{"-h"}, 0, kUsage},
        {{"--version"}, 0, "Varnel version 1.164 (w20e)\n"},
        {{"tracks.txt", "--version"}, 0, "Varnel version 1.164 (w20e)\n"},
        {{"a.txt", "b.txt", "-h"}, 0, kUsage},
        {{"-q"}, 2, "Unknown option -q.\n" + kUsage},
        {{"tracks.txt", "--chek"}, 2, "Unknown option --chek.\n" + kUsage},
        {{"-"}, 2, "Unknown option -.\n" + kUsage},
        {{"t.txt", "f.txt", "p.txt", "out.wav"}, 2,
         "Too many arguments: out.wav is a fourth file name.\n" + kUsage},
        {{"--check", "t.txt", "f.txt", "p.txt", "x"}, 2,
         "Too many arguments: x is a fourth file name.\n" + kUsage},
    };
    for (const auto& c : cases) {
        TempDir dir;
        auto r = RunProgram(VARNEL_BIN, c.args, dir.path());
        EXPECT_EQ(r.status, c.status) << c.args.back();
        EXPECT_EQ(r.output, c.output) << c.args.back();
        EXPECT_FALSE(FileExists(dir.file("prefs.txt"))) << c.args.back();
    }
}

}  // namespace
