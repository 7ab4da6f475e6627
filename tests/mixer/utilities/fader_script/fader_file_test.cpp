#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "mixer/utilities/fader_script/fader_file.hpp"
#include "support/test_support.hpp"

using namespace varnel;
using testsupport::TempDir;

namespace {

// Runs LoadFaderScript inside `dir` with `answer` on standard input.
struct LoadRun {
    int status = -1;
    std::string output;
    TextFile file;
    LoadRun(const TempDir& dir, const std::string& path, bool named, int tracks,
            const std::string& answer, int verbosity = 2) {
        char old[4096];
        if (!getcwd(old, sizeof old)) return;
        testsupport::WriteFile(dir.file("answer"), answer);
        if (chdir(dir.path().c_str()) != 0) return;
        if (!std::freopen("answer", "r", stdin)) return;
        testing::internal::CaptureStdout();
        status = LoadFaderScript(path, named, tracks, verbosity, file);
        output = testing::internal::GetCapturedStdout();
        if (chdir(old) != 0) status = -2;
    }
};

}  // namespace

TEST(FaderFile, ExistingFileLosesItsSpaces) {
    TempDir d;
    testsupport::WriteFile(d.file("mix.txt"), "notes\nbegin\nmy song\nv\t1\t -6\nv 2 -3\nend\n");
    LoadRun run(d, "mix.txt", true, 2, "");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.file.content, "\nmysong\nv\t1\t-6\nv2-3\nend\n");
    // Line numbers are the file's, also with notes above "begin".
    EXPECT_EQ(run.output,
              "\nmix.txt:4: >>>  Warning: extra space on line 4 of fader file.\n"
              "Warning: mix.txt:5: \"v 2 -3\" is not a keyword; fields are separated by tabs.\n");
    EXPECT_EQ(MixNameFromScript(run.file.content), "mysong");
    EXPECT_EQ(MixNameFromScript("\n\n\n"), "");
}

TEST(FaderFile, DefaultFileFromThePrompt) {
    struct Case {
        const char* answer;
        int tracks;
        const char* firstLevel;
        int lines;
    } cases[] = {{"-6.25\n", 2, "v\t1\t-6.2\n", 2}, {"abc", 1, "v\t1\t0.0\n", 1}, {"", 200, "v\t1\t0.0\n", 127}};
    for (const Case& c : cases) {
        TempDir d;
        LoadRun run(d, "faders.txt", false, c.tracks, c.answer);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.output, "faders.txt file was not found\nEnter the default fader value or -999 to exit.\n");
        std::string text = testsupport::ReadFile(d.file("faders.txt"));
        EXPECT_EQ(text.substr(0, 24), "begin\ntest_mix\n\nt\t0\t0\t0\n");
        EXPECT_NE(text.find(c.firstLevel), std::string::npos) << text;
        EXPECT_EQ(text, DefaultFaderText(c.lines, c.answer[0] == '-' ? -6.25f : 0.0f));
        EXPECT_EQ(run.file.content, "\ntest_mix\n\nt\t0\t0\t0\n" + text.substr(24));
    }
    EXPECT_EQ(DefaultFaderText(1, -6.25f), "begin\ntest_mix\n\nt\t0\t0\t0\nv\t1\t-6.2\nend\n");
}

TEST(FaderFile, ExitAndRefusals) {
    TempDir quit;
    LoadRun q(quit, "faders.txt", false, 2, "-999\n");
    EXPECT_EQ(q.status, 1);
    EXPECT_FALSE(testsupport::FileExists(quit.file("faders.txt")));

    TempDir keep;  // a missing named file never overwrites faders.txt
    testsupport::WriteFile(keep.file("faders.txt"), "begin\nold\n");
    LoadRun k(keep, "other.txt", true, 2, "0\n");
    EXPECT_EQ(k.status, 2);
    EXPECT_EQ(k.output, "The fader file other.txt was not found.\n");
    EXPECT_EQ(testsupport::ReadFile(keep.file("faders.txt")), "begin\nold\n");
}
