// Plain tables of the mix script: the level entries of every fader and VCA,
// the static per-fader values that go with them, the routing, the time base
// and the playback state of the automation. The run driver owns one of each
// for the whole run and hands them to the phase functions.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "mixer/utilities/limits.hpp"
#include "mixer/utilities/text/text_scan.hpp"

namespace varnel {

template <class T, size_t N>
constexpr std::array<T, N> FilledArray(T value) {
    std::array<T, N> a{};
    a.fill(value);
    return a;
}

// Level entries of N faders; entry e of fader f lives at e * N + f.
template <int N>
struct LevelTables {
    static constexpr int kStride = N;
    static constexpr size_t kSize = size_t(kMaxEntries) * size_t(N);
    std::vector<int32_t> time = std::vector<int32_t>(kSize, 0);   // samples
    std::vector<int32_t> level = std::vector<int32_t>(kSize, 0);  // 2^27 = 0 dB
    std::vector<int32_t> ramp = std::vector<int32_t>(kSize, 0);   // samples
    std::vector<float> shape = std::vector<float>(kSize, 1.0f);   // ramp exponent
    std::vector<int32_t> line = std::vector<int32_t>(kSize, 0);   // fader-file line, for messages
    std::array<int, N> count{};       // entries read; the playback bound after saving
    std::array<int, N> savedCount{};  // copy of count taken before playback
};
using FaderTables = LevelTables<kSlots>;  // slots 0..136
using VcaTables = LevelTables<kVcas>;     // VCAs 0..8 (0 never acts)

// Static per-fader values set by the level lines and their later passes.
struct FaderSettings {
    std::array<int, kSlots> pan{};                                  // -100..100
    std::array<int, kSlots> panLine{};                              // line of the last "p"
    std::array<int, kSlots> polarity = FilledArray<int, kSlots>(1);  // +1 or -1
    std::array<double, kSlots> trim = FilledArray<double, kSlots>(1.0);
    std::array<int, kSlots> trimSet{};
    std::array<double, kSlots> postGain = FilledArray<double, kSlots>(1.0);  // "fxg"
    std::array<float, kSlots> panLeft = FilledArray<float, kSlots>(1.0f);
    std::array<float, kSlots> panRight = FilledArray<float, kSlots>(1.0f);
    std::array<int, kChannelTable> delayPan{};                      // channels 1..127
    std::array<int, kSlots> hasLevels{};  // master (0) and submixes (128..135)
    bool masterHasEffects = false;        // an "fxg" line named the master
    float panLaw = 3.0f;                  // decibels, from the preferences
};

// What the script passes need from the run driver.
struct ScriptContext {
    uint32_t rate = 0;        // mix rate
    int64_t songLength = 0;   // samples
    int trackCount = 0;
    std::array<int, kChannelTable> channels{};  // 1 mono, 2 stereo, per channel
    std::array<int, kChannelTable> active{};    // cleared by feeder muting
    int verbosity = 2;
    bool percentMode = false;  // "v=percent"
    bool tempoMode = false;    // "tempo"
    float dbps = 0.0f;         // automatic ramp rate, 0 = default
    ScanText prefs;            // the preferences ("tfields", "pan", "offset")
    int64_t inPoint = 0;       // in point of the mix window ("offset" with "xlink")
    bool preview = false;
    int64_t mixStart = 0;      // first sample of the mix window
};

struct TempoSegment {
    double samplesPerBeat = 0.0;
    int beatsPerBar = 0;
    int bars = 0;
    int64_t lengthSamples = 0;
};

struct TimeBase {
    int64_t automationOffset = 0;  // added to every "t" time
    int timeFields = 3;            // fields of a "t" line
    std::array<TempoSegment, kMaxTempoSegments> segments{};
    int segmentCount = 0;
    int64_t currentTime = 0;       // set by "t", moved by "inc"
    int entryCount = 0;            // "t" lines read
};

struct Routing {
    int route[kChannelTable][kBuses] = {};  // channel x bus
    std::array<int, kBuses> busActive{};
    std::array<int, kBuses> solo{};
    std::array<std::string, kBuses> subList{};
    std::array<int, kBuses> subLine{};    // fader-file line of each list, for messages
    std::array<int, kVcas> vcaActive{};
    std::array<std::string, kVcas> vcaList{};
    std::array<int, kVcas> vcaLine{};
    std::array<int, kSlots> vcaMember{};  // VCA number of each slot, 0 none
    bool nineBuses = false;               // any submix bus is active
};

// Playback state of one fader or VCA.
struct FaderState {
    int position = 0;         // next entry to start
    int32_t applied = 0;      // level the gains were last computed from
    int32_t target = 0;       // level of the entry that started last
    int32_t rampStart = 0;    // level of the entry before it
    double startdB = 0.0;
    double targetdB = 0.0;
    double slope = 0.0;       // dB per sample, shape 1.0
    double delta = 0.0;       // dB span, other shapes
    int64_t progress = 0;     // samples into the ramp
};

struct Playback {
    std::array<FaderState, kSlots> slot{};
    std::array<FaderState, kVcas> vca{};
};

// Gains and input signs an automated slot carries from sample to sample.
struct AutomateState {
    std::array<int, kSlots> OldPolarL{};
    std::array<int, kSlots> OldPolarR{};
    std::array<double, kSlots> ApplyLeft{};
    std::array<double, kSlots> ApplyRight{};
};

}  // namespace varnel
