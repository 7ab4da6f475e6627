// Turns what a run gathered into the figures of its HTML report: the header,
// the waveform from the output columns, the loudness curves from the meter's
// 100 ms sub-blocks, the master limiter's reduction, the automation lanes from
// the fader tables and the strip meters, in the same figures the text report
// prints.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "mixer/run/mix_buffers.hpp"
#include "mixer/run/prefs.hpp"
#include "mixer/run/report_columns.hpp"
#include "mixer/run/track_list.hpp"
#include "mixer/stringout/html_figures.hpp"
#include "mixer/utilities/text/diagnostics.hpp"
#include "mixer/utilities/effect_settings/effect_settings.hpp"
#include "mixer/utilities/fader_script/fader_tables.hpp"

namespace varnel {

struct HtmlSources {
    const Prefs* prefs = nullptr;
    const TrackList* tracks = nullptr;
    const ScriptContext* script = nullptr;  // the channels' activity after feeder muting
    const FaderTables* faders = nullptr;
    const VcaTables* vcas = nullptr;
    const FaderSettings* settings = nullptr;
    const Routing* routing = nullptr;
    const EffectSettings* fx = nullptr;
    const MixMeters* meters = nullptr;
    const OutputColumns* columns = nullptr;
    const Diagnostics* diag = nullptr;
    uint32_t rate = 0;
    MixWindow window;
    int64_t songLength = 0;
    bool hasDitherSeed = false;  // the seed the dither used, when the run records one
    uint32_t ditherSeed = 0;
    std::time_t date = 0;        // when the mix was made
    LoudnessFigures loudness;    // as the text report prints them
    LoudnessTarget target;       // the loudness target of a two-pass run
};

HtmlFigures BuildHtmlFigures(const HtmlSources& s);

}  // namespace varnel
