// The automation made visible: what each fader's level does over the mix
// window, worked out from the fader tables the way playback follows them
// (steps, ramps, shapes), at a fixed number of columns. Nothing here touches
// audio; the report draws the result.
#pragma once

#include <cstdint>
#include <vector>

#include "mixer/utilities/fader_script/fader_tables.hpp"

namespace varnel {

enum class LaneKind { Channel, Submix, Vca, Master };

struct LaneEntry {
    int64_t time = 0;     // samples, absolute
    double dB = 0.0;      // level the entry reaches (-144 for silence)
    double column = 0.0;  // (time - window start) in columns from the window's left edge
    double dotdB = 0.0;   // the level where the entry's ramp ends, or where its column
                          // ends if that comes first: its mark sits there on the curve
};

// One fader over the window. Column c covers the samples from
// start + c * length / columns up to the next column's first sample.
struct LevelLane {
    LaneKind kind = LaneKind::Channel;
    int number = 0;       // channel, submix or VCA number; 0 for the master
    bool played = false;  // the mix plays this fader (not so for a switched-off channel,
                          // a muted submix, a VCA without a "VCA:" line)
    int vca = 0;          // active VCA the fader belongs to, 0 for none
    std::vector<float> edgedB;  // columns + 1: the level at each column's first sample,
                                // the last one at the window's last sample
    std::vector<float> lowdB;   // columns: lowest and highest level inside each column
    std::vector<float> highdB;
    std::vector<LaneEntry> entries;  // the entries whose time lies inside the window
};

// Where the lanes come from; every table is read, none is changed.
struct LaneSource {
    const FaderTables* faders = nullptr;
    const VcaTables* vcas = nullptr;
    const FaderSettings* settings = nullptr;
    const Routing* routing = nullptr;
    const int* channelActive = nullptr;  // per channel number, after feeder muting
    int trackCount = 0;
    int64_t windowStart = 0;
    int64_t windowLength = 0;
    int columns = 0;
};

// One lane per fader with level entries: channels in number order, then
// submixes, VCAs and the master.
std::vector<LevelLane> AutomationLanes(const LaneSource& src);

// The level curve of one fader (index `fader` in tables of stride `stride`
// holding `count` entries) over the window; kind, number, played and vca are
// left for the caller.
LevelLane FaderLane(const int32_t* level, const int32_t* time, const int32_t* ramp,
                    const float* shape, int count, int fader, int stride, int64_t windowStart,
                    int64_t windowLength, int columns);

}  // namespace varnel
