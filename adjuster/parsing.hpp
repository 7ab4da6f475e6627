// Loading a fader file into the adjuster's model.
#pragma once

#include <cstdio>
#include <string>

#include "adjuster/fader_model.hpp"

namespace ostrand {

enum class ReadStatus { kRead, kNotFound, kTooLarge, kReadError };

// Reads the whole file into `text`. Prints "File %s not found" when it cannot
// be opened, and refuses files larger than 16 MiB.
ReadStatus ReadFile(const std::string& path, std::string& text, std::FILE* out);

// Builds the model from the file's text, reading "t" lines with `timeFields`
// fields. Lines up to the one holding the first "begin", and every line that
// is not time-bound, are kept to be written first; "end" and what follows it
// to be written last; the "t", "inc", "v", "vca", "rmp", "ofs", "shape", "p"
// and "pol" lines become entries. An "rmp", "ofs" or "shape" line belongs to
// the level entry just above it (blank lines and the entry's other such lines
// may stand between); any other one is kept unattached.
void ParseBuffer(std::string text, int timeFields, FaderModel& model);

// The mixer's clock time of a "t" line's values read with `timeFields` fields.
double ClockSeconds(const float values[3], int timeFields);

// How the "t" lines agree with the time-field count the times were read with.
struct FieldCheck {
    bool mismatch = false;  // some "t" line has another number of fields
    int fileFields = 0;     // the count every "t" line has, 0 when they differ
    std::string counts;     // the counts found, for messages: "3", "1 and 3"
};
FieldCheck CheckTimeFields(const FaderModel& model);

}  // namespace ostrand
