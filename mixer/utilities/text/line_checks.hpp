// The line warnings given when a text file is loaded: stray tabs and spaces
// on every line, and, inside begin ... end of the preferences and the fader
// file, every line that holds no keyword of its file.
#pragma once

#include <string_view>

#include "mixer/utilities/text/text_scan.hpp"

namespace varnel {

enum class WarningFile { Preferences, Faders, TracksTab, TracksSpace };

// Warns about the lines of `src`. `original` is the content as written when
// the scanned content differs from it (the fader file, whose spaces are
// removed before reading); both have the same lines.
void PrintLineWarnings(const ScanText& src, WarningFile which, std::string_view original = {});

}  // namespace varnel
