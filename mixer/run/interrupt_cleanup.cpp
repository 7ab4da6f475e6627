#include "mixer/run/interrupt_cleanup.hpp"

#include <atomic>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace varnel {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ};

// The one process-wide table of the mixer. A signal handler receives nothing
// but the signal number, so the paths it must remove have to sit where it can
// reach them without a pointer from the run; and it may not allocate or take
// a lock, so they are plain character arrays in fixed slots. A slot counts
// only while `live` is 1, which is set after its path is complete.
struct CleanupSlot {
    char path[kCleanupPathBytes];
    std::atomic<int> live;
};
CleanupSlot gSlots[kCleanupSlots];
std::atomic<int> gInstalled{0};

static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the flags without locks");

extern "C" void RemoveTemporariesAndDie(int signal) {
    for (CleanupSlot& s : gSlots)
        if (s.live.load(std::memory_order_relaxed) != 0) ::unlink(s.path);
    // The handler was installed with SA_RESETHAND and SA_NODEFER: the signal's
    // default action is back in place and nothing blocks it.
    ::raise(signal);
}

sigset_t HandledSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kSignals) sigaddset(&set, s);
    return set;
}

}  // namespace

void InstallInterruptCleanup() {
    if (gInstalled.exchange(1) != 0) return;
    for (int s : kSignals) {
        struct sigaction old;
        if (sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        struct sigaction sa;
        std::memset(&sa, 0, sizeof sa);
        sa.sa_handler = RemoveTemporariesAndDie;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESETHAND | SA_NODEFER;
        sigaction(s, &sa, nullptr);
    }
}

int ListTemporary(const char* path) {
    const size_t length = std::strlen(path);
    if (length >= size_t(kCleanupPathBytes)) return -1;
    for (int i = 0; i < kCleanupSlots; ++i) {
        CleanupSlot& s = gSlots[i];
        if (s.live.load() != 0) continue;
        std::memcpy(s.path, path, length + 1);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        s.live.store(1);
        return i;
    }
    return -1;
}

void UnlistTemporary(int slot) {
    if (slot < 0 || slot >= kCleanupSlots) return;
    gSlots[slot].live.store(0);
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

void HoldInterrupts(sigset_t& saved) {
    const sigset_t set = HandledSet();
    pthread_sigmask(SIG_BLOCK, &set, &saved);
}

void ReleaseInterrupts(const sigset_t& saved) { pthread_sigmask(SIG_SETMASK, &saved, nullptr); }

}  // namespace varnel
