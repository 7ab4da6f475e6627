// The automation state before the first block is mixed.
#pragma once

#include <cstdint>

#include "mixer/utilities/fader_script/fader_tables.hpp"
#include "mixer/utilities/fader_script/start_offsets.hpp"

namespace varnel {

// Saves the entry counts, then positions every fader and VCA at the mix
// start, and every channel with a start offset at the later of its offset and
// the mix start.
void InitPlayback(const ScriptContext& ctx, int64_t mixStart, const StartOffsets& offsets,
                  FaderTables& faders, VcaTables& vcas, Playback& playback);

}  // namespace varnel
