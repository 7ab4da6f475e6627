// Numbers and times written so that the mixer reads back what the adjuster
// holds: the layout's decimals when they suffice, more when they do not.
#pragma once

#include <string>

namespace ostrand {

// How close an edited value must read back: edits are typed in decimals, so
// the rounding noise of the arithmetic is not worth digits.
constexpr double kEditedTolerance = 1e-12;

// The number with `decimals` decimals, or with the fewest more that read back
// as `value` (exactly, or within the tolerance above when `edited`).
std::string NumberText(double value, int decimals, bool edited);

// Whole minutes and remaining seconds of a time. Times below 60 s (negative
// ones too) give 0 minutes and the time itself; larger ones are split by a
// floor division, so even huge times split at once.
void SplitMinutes(double time, double& minutes, double& seconds);

// The fields of a "t" line (tab-separated, without the keyword) for `time`
// in the layout of `timeFields`: seconds "%.3f"; minutes and seconds
// "%.0f\t%.3f"; minutes, whole seconds and milliseconds "%.0f\t%.0f\t%.0f".
// `extraDecimals` adds decimals to the last field.
std::string TimeFieldsText(double time, int timeFields, int extraDecimals = 0);

// The clock time the mixer reads from such fields.
double TimeFieldsSeconds(const std::string& fields, int timeFields);

// The layout's fields for `time`, or with the fewest extra decimals that read
// back as `time` (exactly, or within the tolerance when `edited`); when none
// does, the closest.
std::string TimeFieldsFor(double time, int timeFields, bool edited);

}  // namespace ostrand
