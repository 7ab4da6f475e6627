// The informational options of the mixer's command line. They are looked at
// before anything else runs; every other argument keeps its positional
// meaning (track list, fader file, preferences file).
#pragma once

#include <cstdio>

namespace varnel {

constexpr const char* kVersionLine = "Varnel version 1.164 (w20e)";

// Prints the usage text to `out`.
void PrintUsage(std::FILE* out);

// When an argument is "-h", "--help" or "--version", prints the usage or the
// version line to `out`, sets `status` to 0 and returns true: the program
// ends there. Otherwise returns false and leaves `status` alone.
bool HandleInfoOptions(int argc, const char* const* argv, std::FILE* out, int& status);

}  // namespace varnel
