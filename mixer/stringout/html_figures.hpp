// Everything the HTML report shows, as plain figures. The mixer fills it
// while and after mixing; the writer only draws it. Per-column arrays all
// have `columns` values, column c standing for the samples from
// windowStart + c * windowLength / columns up to the next column's first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mixer/utilities/metering/loudness_meter.hpp"
#include "mixer/utilities/metering/loudness_target.hpp"

namespace varnel {

// One automation lane: the level of a fader in dB (-144 for silence).
struct HtmlLane {
    std::string label;           // "Ch 3 Bass", "Sub 2", "VCA 1", "Master"
    std::string note;            // said after the label ("in VCA 2", "not played"), may be empty
    bool played = true;          // false: drawn grey, the mix does not play this fader
    std::vector<float> edgedB;   // columns + 1: the level at each column's left edge, then the end
    std::vector<float> lowdB;    // columns: lowest and highest level inside each column
    std::vector<float> highdB;
    std::vector<double> entryColumn;  // each entry's position in columns from the left edge
    std::vector<float> entrydB;       // each entry's level
};

// One row of the meters: a channel, submix or reverb send.
struct HtmlStrip {
    std::string label;
    double peakdBL = -144.0;  // dB below full scale, as the text report prints them
    double peakdBR = -144.0;
    bool clip = false;        // clipped after its effects
};

struct HtmlFigures {
    // Header.
    std::string mixName;
    std::string outputFile;
    std::string format;        // e.g. "WAV, 24-bit PCM, stereo, 48000 Hz"
    std::string date;          // when the mix was made, as the driver words it
    uint32_t rate = 0;
    int64_t windowStart = 0;   // samples
    int64_t windowLength = 0;
    int64_t songLength = 0;
    bool hasDitherSeed = false;  // the driver sets both when the run has a dither seed
    uint64_t ditherSeed = 0;
    LoudnessFigures loudness;
    LoudnessTarget target;       // the loudness target and its gain, when "lufs" was given
    std::vector<std::string> warnings;

    // Output peaks, as in the text report.
    double peakOutdBL = -144.0;
    double peakOutdBR = -144.0;
    int64_t peakOutPosL = 0;   // absolute sample numbers
    int64_t peakOutPosR = 0;

    // Per column.
    int columns = 0;
    bool mono = false;                 // the right-side arrays repeat the left
    std::vector<float> minL, maxL;     // the written output, full scale = 1
    std::vector<float> minR, maxR;
    std::vector<uint8_t> fullScaleL;   // 1 where a written sample reached full scale
    std::vector<uint8_t> fullScaleR;
    std::vector<float> momentary;      // LUFS; NaN where no value exists yet
    std::vector<float> shortTerm;
    std::vector<float> limiterdB;      // largest gain reduction (dB, >= 0); empty without
                                       // a master limiter

    std::vector<HtmlLane> lanes;
    std::vector<HtmlStrip> strips;     // in track-list order, then submixes and sends
};

}  // namespace varnel
