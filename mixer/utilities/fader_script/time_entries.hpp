// The ordered time-entry pass of the fader file: "t", "inc", "v", "vca",
// "rmp", "ofs", "shape", "p" and "pol", read in file order.
#pragma once

#include <string_view>

#include "mixer/utilities/fader_script/fader_tables.hpp"

namespace varnel {

// Level value of a "v" or "vca" value, with its clamps and warnings; `fader`
// and `entry` (1-based) name it in the warnings.
// The warnings name `line` of `src`.
int32_t CheckFader(double value, bool percentMode, int fader, int entry,
                   const ScanText& src = ScanText(), int line = 0);

// Fills the fader and VCA tables, pans and polarities. Returns 0, or 2 when a
// time lies outside the song (its message printed).
int ReadTimeEntries(const ScanText& src, const ScriptContext& ctx, TimeBase& tb,
                    FaderTables& faders, VcaTables& vcas, FaderSettings& settings);

}  // namespace varnel
