// The adjuster's whole life: start-up, loading and the menu dialogue.
#pragma once

#include "adjuster/console.hpp"

namespace ostrand {

constexpr const char* kVersionLine = "Ostrand 1.0";

// Prints the usage shown for "-h" and "--help".
void PrintUsage(std::FILE* out);

// When an argument is "-h", "--help" or "--version", prints the usage or the
// version line to `out`, sets `status` to 0 and returns true. Other arguments
// keep their meaning (file name, time fields).
bool HandleInfoOptions(int argc, const char* const* argv, std::FILE* out, int& status);

// Prints the help text shown when the file cannot be loaded.
void PrintHelp(std::FILE* out);

// Runs the program with its command line ([file name] [time fields]) and
// returns the exit status: 0 after "x" or the end of input, 1 when the file
// cannot be loaded.
int RunAdjuster(int argc, const char* const* argv, Console& console);

}  // namespace ostrand
