// Edits applied to every entry of every fader, in slot order. Each edit
// checks all its results first and changes nothing when one of them would
// leave the range the mixer can use.
#pragma once

#include <string>

#include "adjuster/fader_model.hpp"

namespace ostrand {

constexpr double kLatestTime = 1e7;       // seconds; times lie in [0, kLatestTime]
constexpr double kLoudestLevel = 1000.0;  // dB; levels lie in [-kLoudestLevel, kLoudestLevel]

struct EditOutcome {
    bool refused = false;
    std::string reason;  // why, when refused
    int entries = 0;     // entries the edit applied to
    int ramps = 0;       // ramps and offsets it applied to (scaling only)
};

// The largest entry time, starting from 0 (so never below 0).
double FindMax(const FaderModel& model);

// The smallest entry time, starting from `start`.
double FindMin(const FaderModel& model, double start);

// Every time += d (ramps and offsets unchanged).
EditOutcome MoveTimes(FaderModel& model, double d);

// Every time, ramp and offset *= k. The caller checks the range of k.
EditOutcome ScaleTimes(FaderModel& model, double k);

// Every level of every fader ("v" and "vca" entries) += g dB.
EditOutcome AdjustVolumes(FaderModel& model, double g);

// Every level of a channel fader (not the master, submixes or VCAs) += g dB.
EditOutcome AdjustChannelVolumes(FaderModel& model, double g);

}  // namespace ostrand
