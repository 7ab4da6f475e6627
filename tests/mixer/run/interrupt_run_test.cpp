// A child varnel ended by a signal in the middle of a mix: by kill (stopped
// first, so the signal lands while every temporary file exists), by a
// standard output whose reader has gone (varnel | head -1), and by a file
// size limit. Each must end by that signal (status 128 + signal in a shell),
// leave no temporary file and leave the earlier mix and reports as they were.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/session.hpp"

using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

enum class Trigger { Kill, ReaderGone, FileSizeLimit };

struct SignalCase {
    std::string name;
    int signal;
    Trigger trigger;
    bool threaded = false;   // the channel pass on two threads
};
// The case's name alone, so that test lists stay readable.
void PrintTo(const SignalCase& c, std::ostream* os) { *os << c.name; }

std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Threads of a running process, from /proc (0 where it cannot be read).
int ThreadCount(pid_t pid) {
    std::error_code ec;
    int n = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        ++n;
    return n;
}

bool AnyTemporary(const std::string& dir) {
    for (const std::string& n : Names(dir))
        if (n.size() > 4 && n.compare(n.size() - 4, 4, ".tmp") == 0) return true;
    return false;
}

// 127 channels of one 30-second stereo track: long enough to be caught mixing.
// Threaded, every channel has a limiter and the channel pass runs on two
// threads, so the signal finds worker threads running.
void LongSession(testsupport::Session& s, bool talkative, bool threaded = false) {
    const int frames = 30 * 48000;
    std::vector<int32_t> samples(size_t(frames) * 2);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = int32_t((i * 7919) % 65536) - 32768;
    testsupport::WriteWavPcm(s.Path("a.wav"), 48000, 2, 24, samples);
    s.tracks = "begin\n";
    s.faders = "begin\nmix\nt\t0\t0\t0\n";
    for (int ch = 1; ch <= 127; ++ch) {
        s.tracks += std::to_string(ch) + " a.wav +\n";
        s.faders += "v\t" + std::to_string(ch) + "\t-40\n";
        if (threaded) s.faders += "lim\t" + std::to_string(ch) + "\t-1\n";
    }
    s.tracks += "end\n";
    s.faders += "end\n";
    s.prefs = std::string("begin\ndither\t0\nverbo\t") + (talkative ? "2" : "1") +
              (threaded ? "\nthreads\t2" : "") + "\nend\n";
    WriteFile(s.Path("tracks.txt"), s.tracks);
    WriteFile(s.Path("faders.txt"), s.faders);
    WriteFile(s.Path("prefs.txt"), s.prefs);
}

// Starts varnel in `dir` as a shell would: default signal actions, nothing
// blocked, no core files. `out` becomes its standard output.
pid_t StartVarnel(const std::string& dir, int out, rlim_t fileSizeLimit) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ}) std::signal(s, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    if (fileSizeLimit != RLIM_INFINITY) {
        const rlimit size{fileSizeLimit, fileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &size);
    }
    const int in = ::open("/dev/null", O_RDONLY);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    ::execl(VARNEL_BIN, VARNEL_BIN, static_cast<char*>(nullptr));
    ::_exit(127);
}

class Interrupted : public ::testing::TestWithParam<SignalCase> {};

TEST_P(Interrupted, LeavesNoTemporaryAndTheEarlierMix) {
    const SignalCase& c = GetParam();
    testsupport::Session s;
    LongSession(s, c.trigger == Trigger::ReaderGone, c.threaded);
    WriteFile(s.Path("mix.wav"), "the earlier mix");
    WriteFile(s.Path("stats_mix.txt"), "its statistics");
    WriteFile(s.Path("faders_mix.txt"), "its fader copy");
    const std::vector<std::string> before = Names(s.dir.path());

    int out = ::open("/dev/null", O_WRONLY);
    if (c.trigger == Trigger::ReaderGone) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        ::close(fds[0]);  // the reader is gone before the first progress line
        out = fds[1];
    }
    const rlim_t limit = c.trigger == Trigger::FileSizeLimit ? rlim_t(1) << 20 : RLIM_INFINITY;
    const pid_t pid = StartVarnel(s.dir.path(), out, limit);
    ::close(out);
    ASSERT_GT(pid, 0);

    if (c.trigger == Trigger::Kill) {
        // Wait for the temporaries (and, threaded, for the workers), stop the
        // child among them, then signal.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while ((!AnyTemporary(s.dir.path()) || (c.threaded && ThreadCount(pid) < 2)) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        ::kill(pid, SIGSTOP);
        int stopped = 0;
        ASSERT_EQ(::waitpid(pid, &stopped, WUNTRACED), pid);
        ASSERT_TRUE(WIFSTOPPED(stopped)) << "the mix ended before it could be interrupted";
        ASSERT_TRUE(AnyTemporary(s.dir.path()));
        if (c.threaded) {
            ASSERT_EQ(ThreadCount(pid), 2);
        }
        ::kill(pid, c.signal);
        ::kill(pid, SIGCONT);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    EXPECT_EQ(128 + WTERMSIG(status), 128 + c.signal);  // as a shell reports it

    EXPECT_EQ(Names(s.dir.path()), before);
    EXPECT_EQ(ReadFile(s.Path("mix.wav")), "the earlier mix");
    EXPECT_EQ(ReadFile(s.Path("stats_mix.txt")), "its statistics");
    EXPECT_EQ(ReadFile(s.Path("faders_mix.txt")), "its fader copy");
}

INSTANTIATE_TEST_SUITE_P(
    Signals, Interrupted,
    ::testing::Values(SignalCase{"Int", SIGINT, Trigger::Kill}, SignalCase{"Term", SIGTERM, Trigger::Kill},
                      SignalCase{"Hup", SIGHUP, Trigger::Kill}, SignalCase{"Quit", SIGQUIT, Trigger::Kill},
                      SignalCase{"Pipe", SIGPIPE, Trigger::Kill}, SignalCase{"Xfsz", SIGXFSZ, Trigger::Kill},
                      SignalCase{"PipeWithoutReader", SIGPIPE, Trigger::ReaderGone},
                      SignalCase{"XfszAtTheSizeLimit", SIGXFSZ, Trigger::FileSizeLimit},
                      SignalCase{"TermOnTwoThreads", SIGTERM, Trigger::Kill, true},
                      SignalCase{"IntOnTwoThreads", SIGINT, Trigger::Kill, true}),
    [](const auto& info) { return info.param.name; });

// Temporaries left by crashed runs (the old fixed names, another process's)
// never block a mix, and are left alone.
TEST(InterruptedRuns, StaleTemporariesNeverBlockAMix) {
    testsupport::Session s;
    s.AddPcm("a.wav", 2, 24, {1, 2, 3, 4});
    std::vector<std::string> stale = {"mix.wav.tmp", "mix.wav.1.tmp", "stats_mix.txt.1.tmp"};
    for (int k = 1; k < 100; ++k) stale.push_back("mix.wav.tmp" + std::to_string(k));
    for (const std::string& name : stale) WriteFile(s.Path(name), "stale");
    auto r = s.Run();
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(testsupport::ReadWavSamples(s.Path("mix.wav")), (std::vector<int32_t>{1, 2, 3, 4}));
    for (const std::string& name : stale) EXPECT_EQ(ReadFile(s.Path(name)), "stale") << name;
    EXPECT_EQ(Names(s.dir.path()).size(), stale.size() + 8);  // + a.wav, 3 inputs, 4 outputs
}

}  // namespace
