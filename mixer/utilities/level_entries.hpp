// The passes after the time entries: delay pan, trims, scale, master trim,
// post-effects gain, pan and level checks, time ordering, automatic ramps,
// ramp limiting and the pan gains.
#pragma once

#include <string_view>

#include "mixer/utilities/fader_tables.hpp"

namespace varnel {

// Returns 0, or 2 when an automatic ramp cannot be held (message printed).
int ApplyAfterEntries(std::string_view content, const ScriptContext& ctx, FaderTables& faders,
                      VcaTables& vcas, FaderSettings& settings);

// The single steps, in the order ApplyAfterEntries runs them.
void ReadDelayPans(std::string_view content, FaderSettings& settings);
void ApplyTrims(std::string_view content, bool percentMode, FaderTables& faders,
                FaderSettings& settings);
void ApplyScale(std::string_view content, FaderTables& faders);
void ApplyMasterTrim(std::string_view content, FaderTables& faders);
void ReadPostEffectsGains(std::string_view content, FaderSettings& settings);
void CheckPansAndLevels(FaderTables& faders, FaderSettings& settings);
// Stable sort of every fader's and VCA's entries by time, with a warning for
// each table whose order changed.
void SortEntriesByTime(FaderTables& faders, VcaTables& vcas);
int AddAutomaticRamps(const ScriptContext& ctx, FaderTables& faders);
void LimitRamps(int trackCount, FaderTables& faders, VcaTables& vcas);
// Pan law from the first "pan" preference (3.0 when missing or out of range).
float ReadPanLaw(std::string_view prefs);
void ComputePanGains(const ScriptContext& ctx, FaderSettings& settings);

}  // namespace varnel
