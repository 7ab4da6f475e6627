// Writing the entries back as fader-file text.
#pragma once

#include <string>

#include "adjuster/fader_model.hpp"

namespace ostrand {

// Whole minutes and remaining seconds of a time. Times below 60 s (negative
// ones too) give 0 minutes and the time itself; larger ones are split by a
// floor division, so even huge times split at once.
void SplitMinutes(double time, double& minutes, double& seconds);

// Appends the "t" line of a time in the layout of `timeFields`.
void AppendTimeLine(std::string& text, float time, int timeFields);

// Appends the "v" line of an entry of `slot` and its "rmp" line when the ramp
// is not 0. Master and submix entries keep their "M" and "G" designators.
void AppendLevelLines(std::string& text, int slot, float level, float ramp);

// Ordered by channels: every entry is a block of its own.
void Format1(const EntryTable& times, const EntryTable& levels, const EntryTable& ramps,
             const EntryCounts& counts, std::string& text, int timeFields,
             const std::string& header);

// Ordered by times: one time line per distinct time, in increasing order,
// followed by the level lines of all entries at that time in slot order.
void Format2(const EntryTable& times, const EntryTable& levels, const EntryTable& ramps,
             const EntryCounts& counts, std::string& text, int timeFields,
             const std::string& header);

}  // namespace ostrand
