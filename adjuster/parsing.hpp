// Loading a fader file into the adjuster's tables.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "adjuster/fader_model.hpp"

namespace ostrand {

enum class ReadStatus { kRead, kNotFound, kTooLarge, kReadError };

// Reads the whole file into `text` and terminates it with a NUL. Prints
// "File %s not found" when it cannot be opened, and refuses files that do not
// fit the 65536-byte text (NUL included).
ReadStatus ReadFile(const std::string& path, std::vector<char>& text, std::FILE* out);

// Fills the tables from the text, which is cut up in place. The first field
// is the header; "t", "v" and "rmp" lines make the entries, everything else is
// skipped. Entries beyond the tables are refused with a message on `out`.
void ParseBuffer(char* text, EntryTable& times, EntryTable& levels, EntryTable& ramps,
                 EntryCounts& counts, int timeFields, std::string& header, std::FILE* out);

// The smallest entry time above x over every slot (slot order, then entry
// order; on equal times the first found wins). False when none lies above x.
bool ScanTimes(const EntryTable& times, const EntryCounts& counts, double x, float& result);

}  // namespace ostrand
