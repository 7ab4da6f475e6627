// The command line of varnel: the informational options end the program at
// once with status 0, an unknown option or a fourth file name with the usage
// and status 2; none of them reads or creates a file.
#include <gtest/gtest.h>

#include <regex>

#include "support/test_support.hpp"

using testsupport::FileExists;
using testsupport::RunProgram;
using testsupport::TempDir;

namespace {

struct ArgCase {
    std::vector<std::string> args;
    int status;
    std::string output;
};

TEST(VarnelCommandLine, OptionsAndRefusalsTouchNoFile) {
    const std::string kUsage = RunProgram(VARNEL_BIN, {"--help"}, TempDir().path()).output;
    ASSERT_EQ(kUsage.rfind("Usage: varnel [--check] [--strict] [track list [fader file "
                           "[preferences file]]]\n", 0), 0u);
    // Every option the usage names is one the program takes.
    std::smatch m;
    for (std::string rest = kUsage; std::regex_search(rest, m, std::regex("[ \\[](--?[a-z]+)"));
         rest = m.suffix()) {
        TempDir dir;
        EXPECT_EQ(RunProgram(VARNEL_BIN, {m[1].str()}, dir.path()).output.find("Unknown option"),
                  std::string::npos) << m[1];
    }
    const ArgCase cases[] = {
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
