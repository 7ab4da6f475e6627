#include "mixer/run/script_context.hpp"

namespace varnel {

void ScriptSwitchesFromPrefs(const Prefs& p, const MixWindow& window, ScriptContext& ctx) {
    ctx.verbosity = p.verbosity;
    ctx.percentMode = p.percentMode;
    ctx.tempoMode = p.tempoMode;
    ctx.dbps = p.dbps;
    ctx.prefs = PrefsText(p);
    ctx.inPoint = p.inPoint;
    ctx.preview = p.preview;
    ctx.mixStart = window.start;
}

}  // namespace varnel
