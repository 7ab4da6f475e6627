// The files a run writes, as one table the run driver owns. Every output is
// planned first (its role and final name), checked against the run's inputs
// and against the others (output_checks.hpp), then created as a temporary
// file beside its final name, written, and only when every output is complete
// renamed into place, all in one step. Any failure, and any of the signals of
// interrupt_cleanup.hpp, removes every temporary file, so an earlier mix and
// its reports are never replaced by part of a run.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace varnel {

constexpr int kMaxRunOutputs = 8;

enum class OutputState {
    Planned,  // named, nothing on disk yet
    Created,  // its temporary file exists (or its device is open)
    Written,  // every byte is in the temporary file, which is closed
    Placed,   // renamed over its final name (or written to its device)
};

struct RunOutput {
    std::string role;      // what messages call it: "mix file", "statistics file", ...
    std::string path;      // the final name, as the run formed it
    std::string tempPath;  // "<path>.<process id>.tmp"; empty for a device written in place
    int fd = -1;           // open on the temporary file (or device) until handed on
    int cleanupSlot = -1;  // its entry in the signal handler's list
    OutputState state = OutputState::Planned;
};

struct RunOutputs {
    std::array<RunOutput, kMaxRunOutputs> items;
    int count = 0;
};

// Plans one more output; returns its index (-1 when the table is full, which
// the fixed set of outputs never reaches).
int AddRunOutput(RunOutputs& outs, std::string role, std::string path);

// Creates every planned output's temporary file, exclusively and with the
// process id in its name, so neither a stale temporary of another run nor
// any other file is ever opened; an existing device or pipe is opened to be
// written in place instead. Returns 0, or 2 after a message naming the file
// that could not be created (and nothing is left behind).
int CreateRunOutputs(RunOutputs& outs);

// Hands the open descriptor of output `index` to its writer, which closes it.
int TakeOutputDescriptor(RunOutputs& outs, int index);

// Records that the writer of output `index` closed it with every byte in.
void MarkOutputWritten(RunOutputs& outs, int index);

// Writes the whole of `text` as output `index` and closes it. On failure
// prints "Error: could not write the <role> <path> (<reason>); no earlier file
// was replaced." and returns false.
bool WriteRunOutput(RunOutputs& outs, int index, std::string_view text);

// Renames every written temporary file over its final name, with the signals
// held back meanwhile. Returns 0, or 2 after a message.
int CommitRunOutputs(RunOutputs& outs);

// Closes and removes every temporary file that is left; an earlier file of
// the same name stays as it was.
void DiscardRunOutputs(RunOutputs& outs);

}  // namespace varnel
