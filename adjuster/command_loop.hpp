// The adjuster's whole life: the command line, loading, and either the menu
// dialogue or a scripted run.
#pragma once

#include "adjuster/command_line.hpp"
#include "adjuster/console.hpp"

namespace ostrand {

// Runs the program with its command line and returns the exit status: 0
// after "x", the end of input or a complete scripted run; 1 when the file
// cannot be loaded; 2 when a scripted run refuses something.
int RunAdjuster(int argc, const char* const* argv, Console& console);

// The menu dialogue on the command line's file.
int RunDialogue(const CommandLine& commandLine, Console& console);

// The scripted run: the options in their order, a save, no dialogue.
int RunScripted(const CommandLine& commandLine, Console& console);

}  // namespace ostrand
