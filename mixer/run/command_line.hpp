// The mixer's command line: up to three positional arguments (track list,
// fader file, preferences file) and the options.
#pragma once

#include <cstdio>
#include <string>

namespace varnel {

constexpr const char* kVersionLine = "Varnel version 1.164 (w20e)";

struct CommandLine {
    std::string tracks = "tracks.txt";
    std::string faders = "faders.txt";
    std::string prefs = "prefs.txt";
    bool fadersGiven = false;  // the fader file was named
    bool check = false;        // --check: read everything, print what was understood, write nothing
    bool strict = false;       // --strict: any warning ends the run before a file is written
};

// Prints the usage text to `out`.
void PrintUsage(std::FILE* out);

// Reads the arguments into `cl`. Returns -1 when the run goes on; otherwise
// the program ends with the returned status after what was printed to `out`:
// 0 for "-h", "--help" and "--version" (wherever they stand), 2 with the
// usage for an unknown option (any other argument beginning with "-") or a
// fourth positional argument.
int ParseCommandLine(int argc, const char* const* argv, std::FILE* out, CommandLine& cl);

}  // namespace varnel
