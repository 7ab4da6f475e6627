// The run's output table: temporary names with the process id, stale
// temporaries stepped over, exact refusal messages, the commit that puts
// every output in place at once, the discard that leaves earlier files, and
// the signal handler that removes the temporaries.
#include "mixer/run/run_outputs.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <unistd.h>

#include "mixer/run/output_checks.hpp"
#include "support/test_support.hpp"

using namespace varnel;
using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Pid() { return std::to_string(long(::getpid())); }

std::string Captured(const std::function<void()>& step) {
    testing::internal::CaptureStdout();
    step();
    return testing::internal::GetCapturedStdout();
}

}  // namespace

TEST(RunOutputs, TemporariesThenAllInPlaceAtOnce) {
    TempDir dir;
    const std::string mix = dir.file("mix.wav"), stats = dir.file("stats_mix.txt");
    WriteFile(mix, "earlier mix");
    // Stale temporaries: another process's, the old fixed names, and one of
    // this very process id (a crashed run long ago) that is stepped over.
    WriteFile(mix + ".1.tmp", "stale");
    WriteFile(mix + ".tmp", "stale");
    WriteFile(stats + "." + Pid() + ".tmp", "stale");

    RunOutputs outs;
    EXPECT_EQ(AddRunOutput(outs, "mix file", mix), 0);
    EXPECT_EQ(AddRunOutput(outs, "statistics file", stats), 1);
    ASSERT_EQ(CreateRunOutputs(outs), 0);
    EXPECT_EQ(outs.items[0].tempPath, mix + "." + Pid() + ".tmp");
    EXPECT_EQ(outs.items[1].tempPath, stats + "." + Pid() + "-1.tmp");
    EXPECT_TRUE(FileExists(outs.items[0].tempPath));
    EXPECT_EQ(ReadFile(mix), "earlier mix");

    // Not every output is complete: nothing moves.
    std::string msg = Captured([&] { EXPECT_EQ(CommitRunOutputs(outs), 2); });
    EXPECT_EQ(msg, "Error: the mix file " + mix + " was not complete; no earlier file was replaced.\n");
    const int fd = TakeOutputDescriptor(outs, 0);
    ASSERT_EQ(::write(fd, "new mix", 7), 7);
    ::close(fd);
    MarkOutputWritten(outs, 0);
    ASSERT_TRUE(WriteRunOutput(outs, 1, "new report"));
    ASSERT_EQ(CommitRunOutputs(outs), 0);
    EXPECT_EQ(ReadFile(mix), "new mix");
    EXPECT_EQ(ReadFile(stats), "new report");
    EXPECT_EQ(outs.items[1].state, OutputState::Placed);
    EXPECT_EQ(Names(dir.path()),
              (std::vector<std::string>{"mix.wav", "mix.wav.1.tmp", "mix.wav.tmp", "stats_mix.txt",
                                        "stats_mix.txt." + Pid() + ".tmp"}));
}

TEST(RunOutputs, FailuresLeaveEveryEarlierFileAndNoTemporary) {
    TempDir dir;
    const std::string mix = dir.file("mix.wav");
    WriteFile(mix, "earlier mix");

    // A create that fails names the file it could not create; the temporary
    // made before it is removed.
    RunOutputs outs;
    AddRunOutput(outs, "mix file", mix);
    AddRunOutput(outs, "statistics file", dir.file("gone/stats_mix.txt"));
    std::string msg = Captured([&] { EXPECT_EQ(CreateRunOutputs(outs), 2); });
    EXPECT_EQ(msg, "Error: cannot create the temporary file " + dir.file("gone/stats_mix.txt.") + Pid() +
                       ".tmp for the statistics file " + dir.file("gone/stats_mix.txt") +
                       " (No such file or directory); nothing was written.\n");
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"mix.wav"});

    // A device is written in place; a write it refuses is reported, and the
    // discard removes every temporary.
    if (!FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    std::filesystem::create_symlink("/dev/full", dir.file("stats_mix.txt"));
    RunOutputs more;
    AddRunOutput(more, "mix file", mix);
    AddRunOutput(more, "statistics file", dir.file("stats_mix.txt"));
    ASSERT_EQ(CreateRunOutputs(more), 0);
    EXPECT_EQ(more.items[1].tempPath, "");
    msg = Captured([&] { EXPECT_FALSE(WriteRunOutput(more, 1, "report")); });
    EXPECT_EQ(msg, "Error: could not write the statistics file " + dir.file("stats_mix.txt") +
                       " (No space left on device); no earlier file was replaced.\n");
    DiscardRunOutputs(more);
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"mix.wav", "stats_mix.txt"}));
    EXPECT_EQ(ReadFile(mix), "earlier mix");
}

// Each signal removes the temporaries and ends the process by that signal.
TEST(RunOutputs, SignalRemovesTheTemporaries) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ}) {
        TempDir dir;
        WriteFile(dir.file("mix.wav"), "earlier mix");
        EXPECT_EXIT(
            {
                RunOutputs outs;
                AddRunOutput(outs, "mix file", dir.file("mix.wav"));
                AddRunOutput(outs, "tap file", dir.file("revTap.wav"));
                if (CreateRunOutputs(outs) != 0 || !FileExists(outs.items[1].tempPath)) std::_Exit(3);
                std::raise(sig);
                std::_Exit(4);
            },
            testing::KilledBySignal(sig), "")
            << sig;
        EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"mix.wav"}) << sig;
        EXPECT_EQ(ReadFile(dir.file("mix.wav")), "earlier mix");
    }
}

TEST(MixName, OnlyFileNamesPass) {
    const struct {
        std::string name, message;
    } cases[] = {
        {"song", ""},
        {"my song.v2", ""},
        {".", ""},
        {"...", ""},
        {"", "Error: the mix name \"\" is not a file name: it is empty.\n"},
        {"..", "Error: the mix name \"..\" is not a file name: it is \"..\".\n"},
        {"mixes/song", "Error: the mix name \"mixes/song\" is not a file name: it holds a \"/\".\n"},
        {"../x", "Error: the mix name \"../x\" is not a file name: it holds a \"/\".\n"},
        {"song\r", "Error: the mix name \"song\\r\" is not a file name: it holds a control character.\n"},
        {"a\tb", "Error: the mix name \"a\\tb\" is not a file name: it holds a control character.\n"},
        {std::string("x\x1b\x7f", 3),
         "Error: the mix name \"x\\x1B\\x7F\" is not a file name: it holds a control character.\n"},
    };
    for (const auto& c : cases) {
        int status = -1;
        const std::string out = Captured([&] { status = CheckMixName(c.name); });
        EXPECT_EQ(status, c.message.empty() ? 0 : 2) << c.name;
        EXPECT_EQ(out, c.message) << c.name;
    }
}
