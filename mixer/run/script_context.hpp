// The preference switches the mix-script passes read, handed over from the
// preferences and the mix window.
#pragma once

#include "mixer/run/prefs.hpp"
#include "mixer/utilities/fader_script/fader_tables.hpp"

namespace varnel {

// Copies verbosity, percent and tempo modes, "dbps", the preferences text,
// the in point, preview mode and the mix start into `ctx`. Rate, song length
// and the per-channel tables are the caller's.
void ScriptSwitchesFromPrefs(const Prefs& p, const MixWindow& window, ScriptContext& ctx);

}  // namespace varnel
