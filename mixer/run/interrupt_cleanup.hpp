// Removing the run's temporary files when a signal ends the process: SIGINT,
// SIGTERM, SIGHUP, SIGQUIT, SIGPIPE and SIGXFSZ remove every temporary file
// still listed, then end the process with the signal's own default action, so
// the exit status stays 128 + signal and every earlier file stays as it was.
#pragma once

#include <csignal>

namespace varnel {

// Temporary files that can be listed at once, and the longest path kept.
constexpr int kCleanupSlots = 16;
constexpr int kCleanupPathBytes = 4096;

// Installs the handler for the six signals, once per process. A signal the
// process was started with ignored (`nohup`, a shell ignoring SIGPIPE) stays
// ignored.
void InstallInterruptCleanup();

// Lists `path` for removal on a signal; returns its slot, or -1 when the
// list is full or the path too long (the caller then refuses the file). List
// a path before the file is created, so no moment exists in which the file
// is there and unlisted.
int ListTemporary(const char* path);

// Takes a slot off the list (a negative slot is ignored).
void UnlistTemporary(int slot);

// Holds the six signals back while a group of renames runs, so a signal
// finds either every temporary file or none; releasing delivers any signal
// that arrived meanwhile.
void HoldInterrupts(sigset_t& saved);
void ReleaseInterrupts(const sigset_t& saved);

}  // namespace varnel
