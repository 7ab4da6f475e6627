#include "adjuster/temporary_cleanup.hpp"

#include <atomic>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace ostrand {

namespace {

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ};

// The only state a signal handler may reach: the pending temporary's name,
// valid while the flag is set. The name is written before the flag.
char gPendingPath[4096];
volatile sig_atomic_t gPendingSet = 0;

// Only async-signal-safe calls: unlink, signal, sigprocmask, raise.
extern "C" void RemovePendingAndDie(int sig) {
    if (gPendingSet) unlink(gPendingPath);
    signal(sig, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
}

}  // namespace

void InstallTemporaryCleanup() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = RemovePendingAndDie;
    sigemptyset(&action.sa_mask);
    for (int sig : kCleanupSignals) sigaddset(&action.sa_mask, sig);
    for (int sig : kCleanupSignals) {
        struct sigaction old;
        // A signal ignored by whoever started the program stays ignored.
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaction(sig, &action, nullptr);
    }
}

bool SetPendingTemporary(const std::string& path) {
    gPendingSet = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (path.size() >= sizeof gPendingPath) return false;
    std::memcpy(gPendingPath, path.c_str(), path.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    gPendingSet = 1;
    return true;
}

void ClearPendingTemporary() { gPendingSet = 0; }

}  // namespace ostrand
