// The run's record of its warnings. Every warning the mixer gives about its
// input (a line of a text file it did not understand or read differently, a
// value reset or clamped, a track left out) is printed and recorded here, one
// line of text with the file and line it is about. The run driver owns one
// record for the whole run and passes it down; `--check` lists it, `--strict`
// stops on it, and the reports can write it out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varnel {

struct Warning {
    std::string file;      // the file it is about, as named on the command line; empty: none
    int line = 0;          // its line in that file, from 1; 0: about no single line
    std::string text;      // the message on one line, location included, no newline
    bool printed = true;   // false: the verbosity or --check kept it off the console
};

struct Diagnostics {
    std::vector<Warning> warnings;  // in the order they arose
    int count = 0;                  // warnings.size()
    bool strict = false;            // --strict: a warning stops the run before any file is written
    bool deferPrinting = false;     // --check: warnings are listed at the end, not as they arise
};

// Records a warning and prints `message` (the text exactly as the console
// shows it, newlines included) unless `show` is false or printing is deferred.
void AddWarning(Diagnostics& d, std::string_view file, int line, std::string_view message,
                bool show);

// `message` on one line: surrounding newlines dropped, inner line breaks
// (with the spaces around them) made one space.
std::string OneLine(std::string_view message);

// "1 warning", "N warnings".
std::string WarningCountLine(int count);

}  // namespace varnel
