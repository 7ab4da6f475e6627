#include "mixer/run/run_outputs.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "mixer/run/interrupt_cleanup.hpp"

namespace varnel {

namespace {

// A stale temporary of this same process id (left by a crashed run long ago)
// is stepped over by a counter; no other name can collide.
constexpr int kTempNameTries = 100;

std::string TempName(const std::string& path, int attempt) {
    char tail[48];
    if (attempt > 0)
        std::snprintf(tail, sizeof tail, ".%ld-%d.tmp", long(::getpid()), attempt);
    else
        std::snprintf(tail, sizeof tail, ".%ld.tmp", long(::getpid()));
    return path + tail;
}

// An existing file that is neither a regular file nor a directory (a device,
// a pipe) is written in place: renaming over it would replace the node
// instead of writing to it.
bool WrittenInPlace(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

int CreateTemporary(RunOutput& o) {
    for (int attempt = 0; attempt < kTempNameTries; ++attempt) {
        const std::string name = TempName(o.path, attempt);
        // Listed before it exists, so a signal can never find it unlisted.
        const int slot = ListTemporary(name.c_str());
        if (slot < 0) return ENAMETOOLONG;
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            o.tempPath = name;
            o.cleanupSlot = slot;
            o.fd = fd;
            return 0;
        }
        const int err = errno;
        UnlistTemporary(slot);
        if (err != EEXIST) {
            o.tempPath = name;
            return err;
        }
    }
    o.tempPath = TempName(o.path, kTempNameTries - 1);
    return EEXIST;
}

void RemoveTemporary(RunOutput& o) {
    if (o.fd >= 0) ::close(o.fd);
    o.fd = -1;
    if (o.cleanupSlot >= 0) {
        ::unlink(o.tempPath.c_str());
        UnlistTemporary(o.cleanupSlot);
        o.cleanupSlot = -1;
    }
}

}  // namespace

int AddRunOutput(RunOutputs& outs, std::string role, std::string path) {
    if (outs.count >= kMaxRunOutputs) return -1;
    RunOutput& o = outs.items[size_t(outs.count)];
    o = RunOutput{};
    o.role = std::move(role);
    o.path = std::move(path);
    return outs.count++;
}

int CreateRunOutputs(RunOutputs& outs) {
    InstallInterruptCleanup();
    for (int i = 0; i < outs.count; ++i) {
        RunOutput& o = outs.items[size_t(i)];
        if (WrittenInPlace(o.path)) {
            o.fd = ::open(o.path.c_str(), O_WRONLY | O_CLOEXEC);
            if (o.fd < 0) {
                std::printf("Error: cannot open the %s %s (%s); nothing was written.\n",
                            o.role.c_str(), o.path.c_str(), std::strerror(errno));
                DiscardRunOutputs(outs);
                return 2;
            }
        } else if (int err = CreateTemporary(o)) {
            std::printf("Error: cannot create the temporary file %s for the %s %s (%s); nothing "
                        "was written.\n",
                        o.tempPath.c_str(), o.role.c_str(), o.path.c_str(), std::strerror(err));
            DiscardRunOutputs(outs);
            return 2;
        }
        o.state = OutputState::Created;
    }
    return 0;
}

int TakeOutputDescriptor(RunOutputs& outs, int index) {
    if (index < 0 || index >= outs.count) return -1;
    const int fd = outs.items[size_t(index)].fd;
    outs.items[size_t(index)].fd = -1;
    return fd;
}

void MarkOutputWritten(RunOutputs& outs, int index) {
    if (index >= 0 && index < outs.count) outs.items[size_t(index)].state = OutputState::Written;
}

bool WriteRunOutput(RunOutputs& outs, int index, std::string_view text) {
    if (index < 0 || index >= outs.count) return false;
    RunOutput& o = outs.items[size_t(index)];
    int err = o.fd < 0 ? EBADF : 0;
    size_t done = 0;
    while (err == 0 && done < text.size()) {
        const ssize_t n = ::write(o.fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) err = n < 0 ? errno : EIO;
        else done += size_t(n);
    }
    if (o.fd >= 0 && ::close(o.fd) != 0 && err == 0) err = errno;
    o.fd = -1;
    if (err != 0) {
        std::printf("Error: could not write the %s %s (%s); no earlier file was replaced.\n",
                    o.role.c_str(), o.path.c_str(), std::strerror(err));
        return false;
    }
    o.state = OutputState::Written;
    return true;
}

int CommitRunOutputs(RunOutputs& outs) {
    for (int i = 0; i < outs.count; ++i) {
        if (outs.items[size_t(i)].state != OutputState::Written) {
            std::printf("Error: the %s %s was not complete; no earlier file was replaced.\n",
                        outs.items[size_t(i)].role.c_str(), outs.items[size_t(i)].path.c_str());
            return 2;
        }
    }
    sigset_t saved;
    HoldInterrupts(saved);
    int status = 0;
    for (int i = 0; i < outs.count && status == 0; ++i) {
        RunOutput& o = outs.items[size_t(i)];
        if (o.cleanupSlot >= 0 && std::rename(o.tempPath.c_str(), o.path.c_str()) != 0) {
            std::printf("Error: could not put the %s %s in place (%s).\n", o.role.c_str(),
                        o.path.c_str(), std::strerror(errno));
            status = 2;
            break;
        }
        UnlistTemporary(o.cleanupSlot);
        o.cleanupSlot = -1;
        o.state = OutputState::Placed;
    }
    if (status != 0) DiscardRunOutputs(outs);
    ReleaseInterrupts(saved);
    return status;
}

void DiscardRunOutputs(RunOutputs& outs) {
    for (int i = 0; i < outs.count; ++i) RemoveTemporary(outs.items[size_t(i)]);
}

}  // namespace varnel
