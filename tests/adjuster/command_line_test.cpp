// The informational options of ostrand: usage or version, status 0, no
// dialogue and no file read.
#include <gtest/gtest.h>

#include "support/test_support.hpp"

using testsupport::RunProgram;
using testsupport::TempDir;

namespace {

const char* kUsage =
    "Usage: ostrand [fader file [time fields]]\n"
    "\n"
    "Loads a fader file (default faders.txt) and offers a menu to nudge\n"
    "or scale its times, adjust its volumes, change the number of time\n"
    "fields (1, 2 or 3; default 3) or the ordering, and print or save it.\n"
    "\n"
    "  -h, --help   print this help and exit\n"
    "  --version    print the version line and exit\n"
    "\n"
    "The dialogue is described in docs/ostrand.md.\n";

TEST(OstrandCommandLine, InfoOptionsPrintAndExitZero) {
    const struct {
        std::vector<std::string> args;
        std::string output;
    } cases[] = {
        {{"--help"}, kUsage},
        {{"-h"}, kUsage},
        {{"--version"}, "Ostrand 1.0\n"},
        {{"faders.txt", "--help"}, kUsage},
    };
    for (const auto& c : cases) {
        TempDir dir;
        auto r = RunProgram(OSTRAND_BIN, c.args, dir.path(), "x\n");
        EXPECT_EQ(r.status, 0) << c.args.back();
        EXPECT_EQ(r.output, c.output) << c.args.back();
    }
}

TEST(OstrandCommandLine, OtherNamesStillLoadAsFiles) {
    TempDir dir;
    auto r = RunProgram(OSTRAND_BIN, {"-v"}, dir.path(), "x\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("File -v not found\n"), std::string::npos);
}

}  // namespace
