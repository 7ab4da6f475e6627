// The time base of the fader file: automation offset, time-field count,
// tempo map, and the conversion of "t" lines to sample positions.
#pragma once

#include <string_view>

#include "mixer/utilities/fader_script/fader_tables.hpp"

namespace varnel {

// "offset" from the preferences: "xlink" takes the mix window's in point,
// otherwise three time fields. Prints "Automation offset by %li samples.\n"
// per line. Returns 0, or 2 when the offset leaves the sample range.
int ReadAutomationOffset(const ScriptContext& ctx, TimeBase& tb);

// "tfields" from the preferences (1 to 3, anything else 3).
void ReadTimeFieldCount(const ScriptContext& ctx, TimeBase& tb);

// "tmap" lines. Returns 0, or 2 for a missing map or a segment that has no
// length (message printed).
int ReadTempoMap(const ScanText& src, const ScriptContext& ctx, TimeBase& tb);

// Tempo map (tempo mode only), then the time-field count.
int BuildTimeBase(const ScanText& src, const ScriptContext& ctx, TimeBase& tb);

// Sample position of bar, beat and tick through the tempo map, without the
// automation offset. The map must hold at least one segment.
double TempoPosition(const TimeBase& tb, float bar, float beat, float tick);

}  // namespace varnel
