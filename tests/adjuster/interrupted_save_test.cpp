// A save interrupted by a signal leaves the old file as it was and no
// temporary behind, and the program ends by that signal. The child runs
// traced, stopping at every system call; once its temporary exists the
// signal is sent, and it is delivered as the child leaves that call, so the
// save is caught in the middle every time. SIGXFSZ comes from a file-size
// limit, as it does in use.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/test_support.hpp"

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

constexpr int kHandled[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ};
constexpr int kCannotTrace = 125;

// Starts `ostrand -o out.txt big.txt` in `dir`, its streams on /dev/null,
// with default signal handling and no core files; traced, or with a
// file-size limit.
pid_t StartSave(const std::string& dir, bool traced, rlim_t fileLimit) {
    std::vector<std::string> args = {OSTRAND_BIN, "-o", "out.txt", "big.txt"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid != 0) return pid;
    if (chdir(dir.c_str()) != 0) _exit(126);
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    for (int sig : kHandled) signal(sig, SIG_DFL);
    struct rlimit none = {0, 0};
    setrlimit(RLIMIT_CORE, &none);
    if (fileLimit != 0) {
        struct rlimit limit = {fileLimit, fileLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (traced && ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(kCannotTrace);
    execv(argv[0], argv.data());
    _exit(127);
}

// Runs the traced child until `temp` exists, sends `sig`, lets it be
// delivered and returns the child's final wait status.
int InterruptWhenCreated(pid_t pid, const std::string& temp, int sig) {
    int status = 0;
    waitpid(pid, &status, 0);  // stopped at its exec, or ended
    if (!WIFSTOPPED(status)) return status;
    ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
    bool sent = false;
    long pass = 0;  // a signal of the child's own, passed on
    for (;;) {
        ptrace(PTRACE_SYSCALL, pid, nullptr, pass);
        pass = 0;
        waitpid(pid, &status, 0);
        if (!WIFSTOPPED(status)) return status;
        int stop = WSTOPSIG(status);
        if (stop == (SIGTRAP | 0x80)) {
            if (!sent && FileExists(temp)) {
                kill(pid, sig);
                sent = true;
            }
        } else if (sent && stop == sig) {
            ptrace(PTRACE_DETACH, pid, nullptr, sig);
            waitpid(pid, &status, 0);
            return status;
        } else {
            pass = stop;
        }
    }
}

bool AnyTemporary(const std::string& dir) {
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".tmp") return true;
    return false;
}

}  // namespace

TEST(InterruptedSave, LeavesTheOldFileAndNoTemporary) {
    testsupport::TempDir dir;
    std::string big = "begin\nbig\n";
    for (int i = 0; i < 2000; ++i) big += std::string(1000, 'n') + "\n";
    WriteFile(dir.file("big.txt"), big + "t\t0\t0\t0\nv\t1\t0\nend\n");
    for (int sig : kHandled) {
        // The old file exists, so its copy is made first; the save's own
        // temporary comes after it.
        WriteFile(dir.file("out.txt"), "old\n");
        int status = 0;
        if (sig == SIGXFSZ) {
            pid_t pid = StartSave(dir.path(), false, 1 << 20);
            waitpid(pid, &status, 0);
        } else {
            pid_t pid = StartSave(dir.path(), true, 0);
            status =
                InterruptWhenCreated(pid, dir.file("out.txt." + std::to_string(pid) + ".tmp"), sig);
            if (WIFEXITED(status) && WEXITSTATUS(status) == kCannotTrace)
                GTEST_SKIP() << "processes cannot be traced here";
        }
        EXPECT_TRUE(WIFSIGNALED(status)) << sig << " status " << status;
        if (WIFSIGNALED(status)) {
            EXPECT_EQ(WTERMSIG(status), sig);
        }
        EXPECT_EQ(ReadFile(dir.file("out.txt")), "old\n") << sig;
        EXPECT_FALSE(AnyTemporary(dir.path())) << sig;
    }
}
