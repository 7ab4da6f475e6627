#include "mixer/utilities/fader_script/playback_init.hpp"

#include <algorithm>

#include "mixer/utilities/fader_script/automation.hpp"
#include "mixer/utilities/fader_script/level_math.hpp"

namespace varnel {

namespace {

template <int N>
void PlaceFader(FaderState& st, LevelTables<N>& tables, int fader, int64_t mixStart) {
    if (mixStart != 0) {
        InterpretLevel(st, tables.level.data(), tables.time.data(), tables.ramp.data(),
                       tables.shape.data(), tables.savedCount[size_t(fader)], mixStart, fader, N);
        return;
    }
    st.applied = st.target = tables.level[size_t(fader)];
    st.startdB = LevelTodB(tables.level[size_t(fader)]);
}

}  // namespace

void InitPlayback(const ScriptContext& ctx, int64_t mixStart, const StartOffsets& offsets,
                  FaderTables& faders, VcaTables& vcas, Playback& playback) {
    faders.savedCount = faders.count;
    vcas.savedCount = vcas.count;
    playback = Playback{};
    PlaceFader(playback.slot[0], faders, 0, mixStart);
    for (int ch = 1; ch <= std::min(ctx.trackCount, kMaxChannels); ++ch)
        PlaceFader(playback.slot[size_t(ch)], faders, ch, mixStart);
    for (int slot = kSubmixBase + 1; slot < kSlots; ++slot)
        PlaceFader(playback.slot[size_t(slot)], faders, slot, mixStart);
    for (int v = 0; v < kVcas; ++v) PlaceFader(playback.vca[size_t(v)], vcas, v, mixStart);
    // A channel is first played in the block where its audio begins.
    for (int ch = 1; ch <= kMaxChannels; ++ch) {
        if (offsets[size_t(ch)] == 0) continue;
        InterpretLevel(playback.slot[size_t(ch)], faders.level.data(), faders.time.data(),
                       faders.ramp.data(), faders.shape.data(), faders.savedCount[size_t(ch)],
                       std::max(offsets[size_t(ch)], mixStart), ch, kSlots);
    }
}

}  // namespace varnel
