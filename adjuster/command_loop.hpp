// The adjuster's whole life: start-up, loading and the menu dialogue.
#pragma once

#include "adjuster/console.hpp"

namespace ostrand {

// Prints the help text shown when the file cannot be loaded.
void PrintHelp(std::FILE* out);

// Runs the program with its command line ([file name] [time fields]) and
// returns the exit status: 0 after "x" or the end of input, 1 when the file
// cannot be loaded.
int RunAdjuster(int argc, const char* const* argv, Console& console);

}  // namespace ostrand
