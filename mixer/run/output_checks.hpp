// The checks made on the run's outputs before any file is created: the mix
// name is a file name; no output is a file the run reads, nor another output;
// every output's directory exists and takes new files; no directory stands
// where an output goes; an earlier output the user write-protected is kept.
// Each refusal prints one message naming the files and returns status 2.
#pragma once

#include <span>
#include <string>

#include "mixer/run/run_outputs.hpp"

namespace varnel {

// A file the run reads, under the words messages give it ("track of channel
// 3", "track list", "fader file", "preferences file").
struct RunInput {
    std::string role;
    std::string path;
};

// A mix name names files: it may not be empty, hold a "/" or a control
// character, or be "..". Returns 0, or 2 after "Error: the mix name "<name>"
// is not a file name: <reason>." with the control characters made visible.
int CheckMixName(const std::string& name);

// The name with tab, carriage return and line feed written as \t, \r and \n
// and every other control character as \xNN.
std::string VisibleName(const std::string& name);

// Compares every output with every input and with each other output (device
// and inode where the file exists, the resolved path where it does not yet),
// then checks each output's directory and any file already at its name.
// Returns 0, or 2 after the message of the first refusal.
int CheckRunOutputs(const RunOutputs& outs, std::span<const RunInput> inputs);

}  // namespace varnel
