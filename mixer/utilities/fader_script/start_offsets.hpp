// Per-channel start offsets from the "tstamp" and "sstamp" lines.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "mixer/utilities/limits.hpp"
#include "mixer/utilities/text/text_scan.hpp"

namespace varnel {

using StartOffsets = std::array<int64_t, kChannelTable>;

// Fills `offsets` (channels 1..127; others stay 0): every "tstamp" line sets
// its channel's offset, then every "sstamp" line adds to it. Returns 0, or 2
// when an offset leaves the range of the sample tables (message printed).
int ReadStartOffsets(const ScanText& src, double rate, StartOffsets& offsets);

// Seconds from minutes, seconds and milliseconds, each rounded to single
// precision first.
double ClockSeconds(double minutes, double seconds, double milliseconds);

}  // namespace varnel
