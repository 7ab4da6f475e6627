// The mix script from loading to the finished fader tables and effect
// settings, every pass in the run's order, without mixing. The bytes up to the
// first NUL are the fader file; the bytes after it, the preferences.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz_support.hpp"
#include "mixer/run/prefs.hpp"
#include "mixer/run/script_context.hpp"
#include "mixer/utilities/effect_settings/effect_settings.hpp"
#include "mixer/utilities/fader_script/fader_file.hpp"
#include "mixer/utilities/fader_script/fader_tables.hpp"
#include "mixer/utilities/fader_script/level_entries.hpp"
#include "mixer/utilities/fader_script/playback_init.hpp"
#include "mixer/utilities/fader_script/routing.hpp"
#include "mixer/utilities/fader_script/start_offsets.hpp"
#include "mixer/utilities/fader_script/tempo_map.hpp"
#include "mixer/utilities/fader_script/time_entries.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::SilenceStdout();
    return 0;
}

namespace {

struct Tables {
    varnel::Diagnostics diag;
    varnel::Prefs prefs;
    varnel::TextFile faders;
    varnel::StartOffsets offsets{};
    varnel::ScriptContext ctx;
    varnel::Routing routing;
    varnel::TimeBase timeBase;
    varnel::FaderTables faderTables;
    varnel::VcaTables vcaTables;
    varnel::FaderSettings settings;
    varnel::EffectSettings fx;
    varnel::Playback playback;
};

// Four tracks of ten seconds at 48 kHz: two mono, two stereo.
constexpr int kTracks = 4;
constexpr uint32_t kRate = 48000;
constexpr int64_t kTrackFrames = 10 * int64_t(kRate);

int Interpret(Tables& r) {
    using namespace varnel;
    Prefs& p = r.prefs;
    // The fader file as the run reads it: through its field index, into the record.
    const ScanText script = ScanOf(r.faders, &r.diag, true);
    if (int st = ReadStartOffsets(script, double(kRate), r.offsets)) return st;
    int64_t songLength = 0;
    for (int ch = 1; ch <= kTracks; ++ch)
        songLength = std::max(songLength, kTrackFrames + r.offsets[size_t(ch)]);
    if (int st = ReadOutputName(p, MixNameFromScript(r.faders.content))) return st;
    MixWindow window;
    if (int st = ComputeMixWindow(p, songLength, double(kRate), window)) return st;
    ReadOutputSwitches(p);

    ScriptContext& ctx = r.ctx;
    ctx.rate = kRate;
    ctx.songLength = songLength;
    ctx.trackCount = kTracks;
    for (int ch = 1; ch <= kTracks; ++ch) {
        ctx.channels[size_t(ch)] = (ch & 1) ? 1 : 2;
        ctx.active[size_t(ch)] = 1;
    }
    ScriptSwitchesFromPrefs(p, window, ctx);
    if (int st = RoutingPass(script, ctx, r.routing)) return st;
    if (int st = VcaPass(script, r.routing)) return st;
    if (int st = ReadAutomationOffset(ctx, r.timeBase)) return st;
    if (int st = BuildTimeBase(script, ctx, r.timeBase)) return st;
    if (int st = ReadTimeEntries(script, ctx, r.timeBase, r.faderTables, r.vcaTables, r.settings))
        return st;
    if (int st = ApplyAfterEntries(script, ctx, r.faderTables, r.vcaTables, r.settings)) return st;
    ReadEffectSettings(script, ctx.prefs, kRate, p.percentMode, p.verbosity, kTracks,
                       r.settings.masterHasEffects, p.mixDirSet, p.mixDir, r.fx);
    InitPlayback(ctx, window.start, r.offsets, r.faderTables, r.vcaTables, r.playback);
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace varnel;
    const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t scriptSize = nul ? size_t(nul - data) : size;
    const size_t prefsStart = nul ? scriptSize + 1 : size;
    const std::string faderPath = fuzzsupport::WriteScratch("faders", data, scriptSize);
    const std::string prefsPath =
        fuzzsupport::WriteScratch("prefs", data + prefsStart, size - prefsStart);

    auto r = std::make_unique<Tables>();
    LoadPreferences(prefsPath, r->prefs, r->diag, false);
    if (LoadFaderScript(faderPath, true, kTracks, r->prefs.verbosity, r->faders, &r->diag,
                        MissingFaders::Refuse) != 0)
        return 0;
    Interpret(*r);
    return 0;
}
