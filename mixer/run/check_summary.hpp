// What `varnel --check` prints: the session as the mixer understood it, then
// every warning and their count.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mixer/run/prefs.hpp"
#include "mixer/run/track_list.hpp"
#include "mixer/utilities/text/diagnostics.hpp"
#include "mixer/utilities/effect_settings/effect_settings.hpp"
#include "mixer/utilities/fader_script/fader_tables.hpp"
#include "mixer/utilities/fader_script/start_offsets.hpp"
#include "mixer/utilities/wav/wav_reader.hpp"

namespace varnel {

// Everything the summary reads, all filled by the reading phases of the run.
struct CheckView {
    const Prefs* prefs = nullptr;
    const TrackList* tracks = nullptr;
    const TrackHeaders* headers = nullptr;
    const StartOffsets* offsets = nullptr;
    const ScriptContext* ctx = nullptr;      // rate, song length, channels fed after routing
    const FaderTables* faders = nullptr;
    const VcaTables* vcas = nullptr;
    const Routing* routing = nullptr;
    const EffectSettings* fx = nullptr;
    MixWindow window;
    int threads = 1;   // the channel pass's threads (LanesForRun)
};

// The summary: mix name and output file; per channel its file, format,
// length, start offset and switch; level entries per fader; routing and VCA
// members; per strip its effects in run order; the reverbs; the mix window;
// the threads of the channel pass.
void PrintCheckSummary(const CheckView& v);

// Every recorded warning, one a line, then "N warnings".
void PrintWarningList(const Diagnostics& d);

// The name of a slot in messages: "master", "channel 3", "submix 2".
std::string SlotName(int slot);

}  // namespace varnel
