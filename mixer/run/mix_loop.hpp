// The block-by-block mixing loop: channels through their effect chains and
// faders into the buses and reverb sends, submixes, reverbs, then the master
// stage, which writes each block before the next one starts.
#pragma once

#include <cstdint>

#include "mixer/run/effect_chain.hpp"
#include "mixer/run/input_stage.hpp"
#include "mixer/run/mix_buffers.hpp"
#include "mixer/run/output_stage.hpp"
#include "mixer/run/prefs.hpp"
#include "mixer/run/report_columns.hpp"
#include "mixer/utilities/effect_settings/effect_settings.hpp"
#include "mixer/utilities/fader_script/fader_tables.hpp"
#include "mixer/utilities/wav/output_file.hpp"

namespace varnel {

struct ChannelThreads;

// Everything the loop reads and writes; the run driver owns all of it.
struct MixRun {
    uint32_t rate = 0;
    int trackCount = 0;
    int verbosity = 2;
    MixWindow window;
    OutputSettings output;
    InputStage* input = nullptr;
    FaderTables* faders = nullptr;
    VcaTables* vcas = nullptr;
    FaderSettings* settings = nullptr;
    Routing* routing = nullptr;
    Playback* playback = nullptr;
    AutomateState* automate = nullptr;
    const EffectSettings* fx = nullptr;  // read only: the processors keep their state apart
    ProcessorStates* processors = nullptr;
    MixBuffers* buffers = nullptr;
    MixMeters* meters = nullptr;
    OutputFile* out = nullptr;
    OutputFile* tap = nullptr;  // null without a tap file
    DitherRandom* dither = nullptr;
    ChannelThreads* threads = nullptr;  // null, or one lane: the channels on this thread
    // A loudness target mixes the window twice. The first pass measures the
    // master into `firstPass` as it would be written before dither and writes
    // nothing; the second scales the master by `masterGain` (1: none) after
    // its limiter and post-effects gain.
    LoudnessState* firstPass = nullptr;
    double masterGain = 1.0;
    OutputColumns* columns = nullptr;  // what the HTML report draws; null without one
};

// Mixes the whole window. Returns 0, or the exit status after a fatal error
// (1 for an impossible reverb room, 2 for a failed write).
int RunMixingLoop(MixRun& run);

// One block, exposed for tests: s is the block's first absolute sample.
int MixBlock(MixRun& run, int64_t s, int n);

}  // namespace varnel
