// The adjuster's command line: the file and its time fields, the editing
// options of a scripted run, and the informational options.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace ostrand {

constexpr const char* kVersionLine = "Ostrand 1.0";

struct CommandLine {
    bool help = false;      // "-h" or "--help"
    bool version = false;   // "--version"
    bool scripted = false;  // any editing option: no dialogue
    bool nudge = false, scale = false, gain = false, channelGain = false;
    double nudgeSeconds = 0.0, scaleFactor = 1.0, gainDb = 0.0, channelGainDb = 0.0;
    int fields = 0;                       // "--fields", 0 when not given
    int ordering = 0;                     // "--order" as an Ordering, 0 when not given
    std::string output;                   // "-o", empty when not given
    std::vector<std::string> positional;  // [fader file [time fields]]
    std::string error;                    // a malformed option, for the message
};

// Options and their values ("--nudge 2" or "--nudge=2") may stand anywhere;
// every other argument is positional.
CommandLine ParseCommandLine(int argc, const char* const* argv);

// The fader file to load: the first positional argument, or "faders.txt".
std::string FilePath(const CommandLine& commandLine);

// The time-field setting: "--fields", else the second positional argument
// when it is 1, 2 or 3 (any other value means 3), else 3.
int TimeFieldsSetting(const CommandLine& commandLine);

// Prints the usage shown for "-h" and "--help".
void PrintUsage(std::FILE* out);

// Prints the help text shown when the file cannot be loaded.
void PrintHelp(std::FILE* out);

}  // namespace ostrand
