// The passes after the time entries: delay pan, trims, scale, master trim,
// post-effects gain, pan and level checks, time ordering, automatic ramps,
// ramp limiting and the pan gains.
#pragma once

#include <string_view>

#include "mixer/utilities/fader_script/fader_tables.hpp"

namespace varnel {

// Returns 0, or 2 when an automatic ramp cannot be held (message printed).
int ApplyAfterEntries(const ScanText& src, const ScriptContext& ctx, FaderTables& faders,
                      VcaTables& vcas, FaderSettings& settings);

// The single steps, in the order ApplyAfterEntries runs them.
// A missing value leaves the line's setting as it was, except a missing
// delay pan, which reads as 0.
void ReadDelayPans(const ScanText& src, FaderSettings& settings);
void ApplyTrims(const ScanText& src, bool percentMode, FaderTables& faders,
                FaderSettings& settings);
void ApplyScale(const ScanText& src, FaderTables& faders);
void ApplyMasterTrim(const ScanText& src, FaderTables& faders);
void ReadPostEffectsGains(const ScanText& src, FaderSettings& settings);
// The messages name the line of the "p" line or level entry concerned.
void CheckPansAndLevels(const ScanText& src, FaderTables& faders, FaderSettings& settings);
// Stable sort of every fader's and VCA's entries by time, with a warning for
// each table whose order changed.
void SortEntriesByTime(const ScanText& src, FaderTables& faders, VcaTables& vcas);
int AddAutomaticRamps(const ScanText& src, const ScriptContext& ctx, FaderTables& faders);
void LimitRamps(int trackCount, FaderTables& faders, VcaTables& vcas);
// Pan law from the first "pan" preference (3.0 when missing or out of range).
float ReadPanLaw(const ScanText& prefs);
void ComputePanGains(const ScriptContext& ctx, FaderSettings& settings);

}  // namespace varnel
