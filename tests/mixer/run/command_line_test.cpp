// The informational options of varnel: they end the program at once with
// status 0, before any file is read or created.
#include <gtest/gtest.h>

#include "support/test_support.hpp"

using testsupport::FileExists;
using testsupport::RunProgram;
using testsupport::TempDir;

namespace {

const char* kUsage =
    "Usage: varnel [track list [fader file [preferences file]]]\n"
    "\n"
    "Mixes the WAV files named in the track list (default tracks.txt) as the\n"
    "fader file (default faders.txt) directs, with the settings of the\n"
    "preferences file (default prefs.txt). Names are taken from the current\n"
    "directory; a missing preferences file is created with the defaults.\n"
    "\n"
    "  -h, --help   print this help and exit\n"
    "  --version    print the version line and exit\n"
    "\n"
    "The files are described in docs/README.md.\n";

struct InfoCase {
    std::vector<std::string> args;
    std::string output;
};

TEST(VarnelCommandLine, InfoOptionsPrintAndExitZeroWithoutTouchingFiles) {
    const InfoCase cases[] = {
        {{"--help"}, kUsage},
        {{"-h"}, kUsage},
        {{"--version"}, "Varnel version 1.164 (w20e)\n"},
        {{"tracks.txt", "--version"}, "Varnel version 1.164 (w20e)\n"},
        {{"a.txt", "b.txt", "-h"}, kUsage},
    };
    for (const auto& c : cases) {
        TempDir dir;
        auto r = RunProgram(VARNEL_BIN, c.args, dir.path());
        EXPECT_EQ(r.status, 0) << c.args.back();
        EXPECT_EQ(r.output, c.output) << c.args.back();
        EXPECT_FALSE(FileExists(dir.file("prefs.txt"))) << c.args.back();
    }
}

TEST(VarnelCommandLine, OtherArgumentsKeepTheirMeaning) {
    TempDir dir;
    auto r = RunProgram(VARNEL_BIN, {"-x"}, dir.path());
    // "-x" is a track list name like any other: not found, status 2.
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("tracks.txt file was not found.\nCreate the file and run again.\n"),
              std::string::npos)
        << r.output;
}

}  // namespace
