// Loading the fader file (the mix script), with the interactive creation of a
// default one when it is missing.
#pragma once

#include <string>

#include "mixer/utilities/text/text_scan.hpp"

namespace varnel {

// What a missing fader file leads to: the question for a default level (a
// person at a terminal, a run that may write files), or the end of the run.
enum class MissingFaders { Prompt, Refuse };

// Loads the fader file into `out`; out.content is the script body without
// spaces, its line warnings given (to `diag` when given). Returns 0, or the
// exit status the run must end with: 1 when the user answers -999 at the
// default-level prompt, 2 when no usable file exists and none may or can be
// created without overwriting one.
int LoadFaderScript(const std::string& path, bool nameGivenOnCommandLine, int trackCount,
                    int verbosity, TextFile& out, Diagnostics* diag = nullptr,
                    MissingFaders missing = MissingFaders::Prompt);

// Text of the default fader file for `channels` channels at `level` dB.
std::string DefaultFaderText(int channels, float level);

// The first non-empty line of the script body.
std::string MixNameFromScript(const std::string& content);

}  // namespace varnel
