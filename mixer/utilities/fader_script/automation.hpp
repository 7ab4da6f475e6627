// The level automation engine: plays the fader tables back against the
// audio, sample by sample.
#pragma once

#include <cstdint>

#include "mixer/utilities/fader_script/fader_tables.hpp"

namespace varnel {

// Scales one block of a slot in place by its fader level, pan gains,
// polarity and, for VCA members, the VCA curve (vcaGain holds the curve of
// VCA v at v * vcaStride, the filled block's length, n when 0; it may be
// null when no VCA is active). A new gain takes
// effect on each side at that side's next sign change. The divisor is 2^19
// for channels (0 dB lifts channel scale by 256) and 2^27 for submixes and
// the master.
void AUTOMATE(AutomateState& state, int64_t blockStart, int n, int slot, FaderTables& tables,
              Playback& playback, int32_t* left, int32_t* right, int polarity, double divisor,
              float panL, float panR, const int* vcaMembership, const double* vcaGain,
              int vcaStride = 0);

// AUTOMATE with its steady path switched on or off. While a fader's level
// stays put (no ramp running, no entry starting), the steady path scales the
// stretch up to the next entry in one pass instead of sample by sample; both
// give the same samples and state bit for bit (the switch is there for the
// tests).
void AutomateBlock(AutomateState& state, int64_t blockStart, int n, int slot,
                   FaderTables& tables, Playback& playback, int32_t* left, int32_t* right,
                   int polarity, double divisor, float panL, float panR,
                   const int* vcaMembership, const double* vcaGain, bool steadyPath,
                   int vcaStride = 0);

// Sets the state of one fader (index `fader` in tables of stride `stride`) as
// it is at time t, so that playback can begin there.
void InterpretLevel(FaderState& st, const int32_t* level, const int32_t* time,
                    const int32_t* ramp, const float* shape, int savedCount, int64_t t,
                    int fader, int stride);

// The level part of InterpretLevel: the state of one fader at time t when k
// is 1 plus the number of entries after the first whose time lies below t (0
// or 1: the first entry holds). The position is left alone, so a caller that
// walks forward in time can keep k itself.
void PlaceInTable(FaderState& st, const int32_t* level, const int32_t* time,
                  const int32_t* ramp, const float* shape, int k, int64_t t, int fader,
                  int stride);

// Starts every entry that is due at sample s, in table order (a ramp of 0 is
// stored as 1 when its entry starts). Shared with the VCA filler.
void StartDueEntries(FaderState& st, const int32_t* level, const int32_t* time, int32_t* ramp,
                     const float* shape, int savedCount, int64_t s, int fader, int stride);

// Level in decibels `progress` samples into the ramp of entry r.
double RampdB(const FaderState& st, int64_t progress, int32_t rampLength, float shape);

}  // namespace varnel
