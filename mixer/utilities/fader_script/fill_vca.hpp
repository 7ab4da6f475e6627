// Per-block gain curve of a VCA group.
#pragma once

#include <cstdint>

#include "mixer/utilities/fader_script/fader_tables.hpp"

namespace varnel {

// Writes n curve values of VCA v (a plain ratio, 1.0 at 0 dB) to
// gain[v * n + i]; the buffer holds 9 x 131072 doubles.
void FillVCA(int64_t blockStart, int n, int v, VcaTables& tables, Playback& playback,
             double* gain);

}  // namespace varnel
