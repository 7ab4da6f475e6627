// Writing the model back as fader-file text. Both layouts write the kept
// lines first (the lines above the first "t" line, then the position-free
// lines found later, in file order), then the entries that stood above every
// "t" line (without a time line), then the timed entries, and last the "end"
// line, the unattached lines and whatever followed "end".
#pragma once

#include <string>

#include "adjuster/fader_model.hpp"

namespace ostrand {

// Appends the "t" line of a time in the layout of `timeFields`, with the
// layout's decimals: "\nt\t...\n".
void AppendTimeLine(std::string& text, double time, int timeFields);

// The fields of an entry's "t" line. A time nobody edited, written with the
// count it was read with, keeps its line's values: the layout's fields when
// they read the same, otherwise the fields as written (bars and beats, or
// seconds beyond 59, stay as they were).
std::string EntryTimeFields(const FaderModel& model, const Entry& entry, int timeFields);

// Appends an entry's lines: "v" or "vca" with the level, then its "ofs",
// "shape" and "rmp" lines; "p" and "pol" lines as written.
void AppendEntryLines(std::string& text, const FaderModel& model, const Entry& entry);

// Format1, ordered by channel: the slots in order, each entry of a slot as a
// block of its own (blank line, time line, entry lines, blank line).
void Format1(const FaderModel& model, std::string& text, int timeFields);

// Format2, ordered by time: one time line per distinct time, in increasing
// order, followed by the lines of all entries at that time in slot order.
void Format2(const FaderModel& model, std::string& text, int timeFields);

}  // namespace ostrand
