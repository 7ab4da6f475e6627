// Every per-slot effect table of a mix, filled once from the fader file's
// effect lines before the mixing loop runs. Large: allocate it on the heap.
#pragma once

#include <cstdint>
#include <string>

#include "mixer/utilities/effect_settings/filter_design.hpp"
#include "mixer/utilities/limits.hpp"
#include "mixer/utilities/fader_script/order_lines.hpp"
#include "mixer/utilities/effect_settings/reverb_settings.hpp"
#include "mixer/utilities/text/text_scan.hpp"

namespace varnel {

constexpr int kEqSettingStages = 7;     // stages 1..4 bands, 5 high shelf, 6 low shelf (0 unused)
constexpr int kHighShelfStage = 5;
constexpr int kLowShelfStage = 6;
constexpr int kUnityThreshold = 8388608;  // 0 dB at channel scale

// Flags set when a keyword's line names the master "M".
struct MasterFlags {
    int comp = 0, rms = 0, nlc = 0, lim = 0, hp = 0;
    int band[5] = {0, 0, 0, 0, 0};  // 1..4
    int hshelf = 0, lshelf = 0, rev = 0, trev = 0;
    int anyEffect = 0;   // any of the above, or a master "fxg"
    int sendsRev = 0;    // master feeds the room reverb
    int sendsTrev = 0;   // master feeds the tap reverb
    int limiter = 0;     // master limiter on
    int fxg = 0;         // master post-effects gain set
};

struct EffectSettings {
    // Peak compressor "comp". The on-switches here stay as read; the
    // processors keep their modes and first-use flags in their own state.
    int compOn[kSlots];
    int32_t compThresh[kFxSlots];
    int32_t compAttack[kFxSlots];   // samples
    int32_t compRelease[kFxSlots];  // samples
    double compRatio[kFxSlots];
    // RMS compressor "rms".
    int rmsOn[kSlots];
    int32_t rmsThresh[kFxSlots];
    int32_t rmsAttack[kFxSlots];
    int32_t rmsRelease[kFxSlots];
    double rmsRatio[kFxSlots];
    // NLC compressor "nlc".
    int nlcOn[kSlots];
    int32_t nlcThresh[kFxSlots];
    int32_t nlcWindow[kFxSlots];  // samples
    double nlcRatio[kFxSlots];
    // Limiter "lim".
    int limOn[kSlots];
    int32_t limThresh[kFxSlots];
    // High-pass filter "hp".
    int hpOn[kSlots];
    double hpFeedback[kFxSlots];
    double hpInput[kFxSlots];
    // EQ stages [stage][slot]: "band1".."band4", "hshelf", "lshelf".
    int eqOn[kEqSettingStages][kSlots];
    Biquad eq[kEqSettingStages][kFxSlots];
    // Reverb sends "rev" (room) and "trev" (tap).
    int revOn[kSlots];
    float revLevel[kFxSlots];
    int trevOn[kSlots];
    float trevLevel[kFxSlots];
    // Chain position of each effect per slot, 1..11 (outside: never runs).
    int position[kChainEffects][kSlots];
    // Slot has any chain effect on (channels and submixes).
    int hasEffects[kSlots];
    MasterFlags master;
    ReverbSettings reverb;

    EffectSettings();
};

// Every effect off, thresholds at 0 dB, positions at 11, reverb defaults.
void ResetEffectSettings(EffectSettings& fx);

// True when the chain effect is switched on for the slot.
bool EffectEnabled(const EffectSettings& fx, int effect, int slot);

// Reads every effect line of the fader content (spaces already removed) and
// the "tap" preference into `out`, printing the progress and reset messages.
void ReadEffectSettings(const ScanText& faderContent, const ScanText& prefsContent,
                        uint32_t rate, bool percentMode, int verbosity, int trackCount,
                        bool masterFxg, bool mixDirSet, const std::string& mixDir,
                        EffectSettings& out);

}  // namespace varnel
